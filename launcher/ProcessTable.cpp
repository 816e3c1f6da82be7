#include "ProcessTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The names in a folder that are numbers.
std::vector<long> numbersIn(const std::string &path)
{
    std::vector<long> numbers;
    DIR *folder = opendir(path.c_str());
    if (!folder)
        return numbers;
    while (const dirent *entry = readdir(folder)) {
        char *end = nullptr;
        const long number = std::strtol(entry->d_name, &end, 10);
        if (number > 0 && *end == '\0')
            numbers.push_back(number);
    }
    closedir(folder);
    return numbers;
}

} // namespace

bool ProcessTable::liveThreadOf(const std::string &status, uid_t uid)
{
    // Each field is a line of its own, the first one included.
    const std::string text = "\n" + status;
    const size_t state = text.find("\nState:\t");
    if (state == std::string::npos || state + 8 >= text.size())
        return false;
    const char code = text[state + 8];
    if (code == 'Z' || code == 'X')
        return false;
    const size_t line = text.find("\nUid:\t");
    if (line == std::string::npos)
        return false;
    unsigned long ids[3] = {};
    if (std::sscanf(text.c_str() + line + 6, "%lu %lu %lu", &ids[0], &ids[1], &ids[2]) != 3)
        return false;
    return std::any_of(std::begin(ids), std::end(ids),
                       [uid](unsigned long id) { return id == uid; });
}

bool ProcessTable::anyLiveThread(uid_t uid, pid_t except) const
{
    for (const long pid : processes()) {
        if (pid == except)
            continue;
        for (const long thread : threads(pid)) {
            if (liveThreadOf(status(pid, thread), uid))
                return true;
        }
    }
    return false;
}

std::vector<long> ProcProcessTable::processes() const
{
    return numbersIn("/proc");
}

std::vector<long> ProcProcessTable::threads(long pid) const
{
    return numbersIn("/proc/" + std::to_string(pid) + "/task");
}

std::string ProcProcessTable::status(long pid, long thread) const
{
    const std::string path =
        "/proc/" + std::to_string(pid) + "/task/" + std::to_string(thread) + "/status";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buffer[4096];
    ssize_t got;
    while (text.size() < 65536 && (got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    close(fd);
    return text;
}
