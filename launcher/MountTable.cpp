#include "MountTable.h"

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace MountTable {

namespace {

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// "\040" and the like back to their characters; anything else as it is.
std::string unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && isOctal(text[i + 1]) &&
            isOctal(text[i + 2]) && isOctal(text[i + 3])) {
            out.push_back(static_cast<char>(((text[i + 1] - '0') << 6) |
                                            ((text[i + 2] - '0') << 3) | (text[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

} // namespace

std::vector<std::string> pointsAtOrBelow(const std::string &table, const std::string &path)
{
    std::vector<std::string> points;
    const std::string below = path == "/" ? path : path + "/";
    size_t start = 0;
    while (start < table.size()) {
        size_t end = table.find('\n', start);
        if (end == std::string::npos)
            end = table.size();
        // The fifth field is the mount point.
        std::vector<std::string> fields;
        size_t at = start;
        while (at < end && fields.size() < 5) {
            size_t space = table.find(' ', at);
            if (space == std::string::npos || space > end)
                space = end;
            fields.push_back(table.substr(at, space - at));
            at = space + 1;
        }
        start = end + 1;
        if (fields.size() < 5)
            continue;
        const std::string point = unescape(fields[4]);
        if (point == path || point.rfind(below, 0) == 0)
            points.push_back(point);
    }
    std::stable_sort(points.begin(), points.end(), [](const std::string &a, const std::string &b) {
        return a.size() > b.size();
    });
    return points;
}

std::string ofThisProcess()
{
    const int fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buffer[65536];
    ssize_t got;
    while (text.size() < (16u << 20) && (got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    close(fd);
    return text;
}

} // namespace MountTable
