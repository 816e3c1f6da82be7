#pragma once

#include <string>
#include <vector>

// The mount points of the kernel's mount table (the text of /proc/self/mountinfo), read without
// trusting what the kiosk account may have named its folders.
namespace MountTable {

// The mount points at or below path (an absolute folder, no trailing slash but for "/"), the
// deepest first, with the table's escapes ("\040" for a blank) turned back into characters.
std::vector<std::string> pointsAtOrBelow(const std::string &table, const std::string &path);

// The text of /proc/self/mountinfo, whole (up to 16 MiB: a user's many mounts must not push the
// ones that matter out of what is read).
std::string ofThisProcess();

} // namespace MountTable
