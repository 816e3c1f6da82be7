#include "CallerInput.h"

#include <algorithm>
#include <cstring>

namespace CallerInput {

namespace {

bool isDigits(const char *text, size_t length, size_t maxLength)
{
    if (length == 0 || length > maxLength)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

bool isLocaleValue(const std::string &value)
{
    if (value.empty() || value.size() > 64)
        return false;
    for (char c : value) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') ||
                           (c != '\0' && std::strchr("_.@:-", c) != nullptr);
        if (!plain)
            return false;
    }
    return true;
}

bool isLocaleName(const std::string &key)
{
    return key == "LANG" || key == "LANGUAGE" ||
           (key.rfind("LC_", 0) == 0 && key.size() > 3 &&
            key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == std::string::npos);
}

} // namespace

bool isLocalDisplay(const char *display)
{
    if (!display || display[0] != ':')
        return false;
    const char *number = display + 1;
    const char *dot = std::strchr(number, '.');
    if (!dot)
        return isDigits(number, std::strlen(number), 4);
    return isDigits(number, static_cast<size_t>(dot - number), 4) &&
           isDigits(dot + 1, std::strlen(dot + 1), 2);
}

std::string displayNumber(const std::string &display)
{
    return display.substr(1, display.find('.') - 1);
}

std::vector<std::string> localeSettings(const std::string &text)
{
    std::vector<std::string> settings;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (isLocaleName(key) && isLocaleValue(value))
            settings.push_back(key + "=" + value);
    }
    return settings;
}

bool memberOf(gid_t group, gid_t primary, const std::vector<gid_t> &groups)
{
    return primary == group || std::find(groups.begin(), groups.end(), group) != groups.end();
}

} // namespace CallerInput
