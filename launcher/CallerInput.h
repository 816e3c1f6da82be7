#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// What the launcher takes from its caller and the machine before it trusts any of it: the
// display's name, the locale file's settings and the groups of an account. Plain decisions over
// the text and numbers given, so that they are tested and fuzzed without root.
namespace CallerInput {

// A local display only: ":N" or ":N.S", N of at most four digits and S of at most two. A host
// name, a path or anything longer could point TimoraDesk at another server than the kiosk's.
bool isLocalDisplay(const char *display);

// The display's number of a local display (":12.0" gives "12").
std::string displayNumber(const std::string &display);

// The locale settings (LANG, LANGUAGE, LC_*) of the text of a locale file such as
// /etc/default/locale, as "NAME=value" with the quotes taken off; a value is taken only when it
// holds letters, digits and "_.@:-" alone (no shell, no path), anything else is ignored.
std::vector<std::string> localeSettings(const std::string &text);

// Whether an account whose primary group is primary and whose other groups are groups belongs to
// group: the one check of the kiosk group, for the caller (its process's groups) and for an
// account named to the display manager's set-up (its groups in the group database).
bool memberOf(gid_t group, gid_t primary, const std::vector<gid_t> &groups);

} // namespace CallerInput
