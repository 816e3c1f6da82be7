#include "XServerAccess.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace XServerAccess {

namespace {

constexpr const char *CookieName = "MIT-MAGIC-COOKIE-1";
constexpr unsigned FamilyLocal = 256;
constexpr unsigned FamilyWild = 65535;
constexpr int ReplyTimeoutMs = 5000;

std::string socketPath(const std::string &number)
{
    return "/tmp/.X11-unix/X" + number;
}

// A connected stream socket to the display's socket file (abstract: the abstract name of that
// path instead), or -1.
int connectTo(const std::string &path, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() + 2 > sizeof address.sun_path)
        return -1;
    const size_t offset = abstract ? 1 : 0;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    // A path with its final NUL; an abstract name after its leading one.
    const socklen_t length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

long peerUid(int fd)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return -1;
    return static_cast<long>(credentials.uid);
}

unsigned readCard16(const std::string &text, size_t &at, bool &ok)
{
    if (at + 2 > text.size()) {
        ok = false;
        return 0;
    }
    const unsigned value =
        (static_cast<unsigned char>(text[at]) << 8) | static_cast<unsigned char>(text[at + 1]);
    at += 2;
    return value;
}

std::string readCounted(const std::string &text, size_t &at, bool &ok)
{
    const unsigned length = readCard16(text, at, ok);
    if (!ok || at + length > text.size()) {
        ok = false;
        return {};
    }
    std::string value = text.substr(at, length);
    at += length;
    return value;
}

void appendCard16(std::string &out, unsigned value)
{
    out.push_back(static_cast<char>((value >> 8) & 0xff));
    out.push_back(static_cast<char>(value & 0xff));
}

void appendCounted(std::string &out, const std::string &value)
{
    appendCard16(out, static_cast<unsigned>(value.size()));
    out += value;
}

// Little-endian CARD16 for the requests, which the connection announces as 'l'.
void appendLe16(std::string &out, unsigned value)
{
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
}

void pad(std::string &out)
{
    while (out.size() % 4 != 0)
        out.push_back('\0');
}

bool writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Reads exactly size bytes, waiting at most ReplyTimeoutMs for each part.
bool readExactly(int fd, char *buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, ReplyTimeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

} // namespace

std::string cookieFromAuthority(const std::string &authority, const std::string &number)
{
    size_t at = 0;
    bool ok = true;
    while (ok && at < authority.size()) {
        const unsigned family = readCard16(authority, at, ok);
        readCounted(authority, at, ok);
        const std::string display = readCounted(authority, at, ok);
        const std::string name = readCounted(authority, at, ok);
        const std::string data = readCounted(authority, at, ok);
        if (!ok)
            break;
        const bool local = family == FamilyLocal || family == FamilyWild;
        if (local && (display == number || display.empty()) && name == CookieName &&
            data.size() == 16)
            return data;
    }
    return {};
}

std::string authorityFor(const std::string &host, const std::string &number,
                         const std::string &cookie)
{
    std::string out;
    appendCard16(out, FamilyLocal);
    appendCounted(out, host);
    appendCounted(out, number);
    appendCounted(out, CookieName);
    appendCounted(out, cookie);
    return out;
}

long serverOwner(const std::string &number, std::string &why)
{
    const std::string path = socketPath(number);
    struct stat folder
    {};
    if (lstat("/tmp/.X11-unix", &folder) != 0 || !S_ISDIR(folder.st_mode) || folder.st_uid != 0) {
        why = "/tmp/.X11-unix is not a folder of root's";
        return -1;
    }
    struct stat info
    {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        why = "no X server listens on " + path;
        return -1;
    }
    const int fd = connectTo(path, false);
    if (fd < 0) {
        why = "no X server listens on " + path;
        return -1;
    }
    const long owner = peerUid(fd);
    close(fd);
    if (owner < 0 || static_cast<uid_t>(owner) != info.st_uid) {
        why = "the X server of " + path + " is not the socket's owner";
        return -1;
    }
    // Programs of the X library try the abstract socket of the same name first: it must lead to
    // the same server's owner, or to nothing.
    const int abstract = connectTo(path, true);
    if (abstract >= 0) {
        const long abstractOwner = peerUid(abstract);
        close(abstract);
        if (abstractOwner != owner) {
            why = "another program than the X server listens on the abstract socket of " + path;
            return -1;
        }
    }
    return owner;
}

int grantLocalUser(const std::string &number, const std::string &cookie, const std::string &account,
                   std::string &why)
{
    const int fd = connectTo(socketPath(number), false);
    if (fd < 0) {
        why = "cannot connect to the X server";
        return -1;
    }
    // The connection set-up, little-endian, protocol 11.0.
    std::string setup;
    setup.push_back('l');
    setup.push_back('\0');
    appendLe16(setup, 11);
    appendLe16(setup, 0);
    const std::string name = cookie.empty() ? std::string() : std::string(CookieName);
    appendLe16(setup, static_cast<unsigned>(name.size()));
    appendLe16(setup, static_cast<unsigned>(cookie.size()));
    appendLe16(setup, 0);
    setup += name;
    pad(setup);
    setup += cookie;
    pad(setup);
    char head[8];
    if (!writeAll(fd, setup) || !readExactly(fd, head, sizeof head)) {
        why = "the X server did not answer";
        close(fd);
        return -1;
    }
    const unsigned extra =
        (static_cast<unsigned char>(head[6]) | (static_cast<unsigned char>(head[7]) << 8)) * 4u;
    std::vector<char> rest(extra);
    if (extra > 0 && !readExactly(fd, rest.data(), extra)) {
        why = "the X server's answer broke off";
        close(fd);
        return -1;
    }
    if (head[0] != 1) {
        why = "the X server refused the launcher's connection";
        close(fd);
        return -1;
    }

    // ChangeHosts (Insert, ServerInterpreted "localuser"), then GetInputFocus, whose reply
    // follows any error of the first request.
    std::string address = std::string("localuser") + '\0' + account;
    std::string request;
    request.push_back(static_cast<char>(109));
    request.push_back('\0');
    const size_t padded = (address.size() + 3) / 4 * 4;
    appendLe16(request, static_cast<unsigned>(2 + padded / 4));
    request.push_back(5);
    request.push_back('\0');
    appendLe16(request, static_cast<unsigned>(address.size()));
    request += address;
    pad(request);
    request.push_back(static_cast<char>(43));
    request.push_back('\0');
    appendLe16(request, 1);
    char answer[32];
    if (!writeAll(fd, request) || !readExactly(fd, answer, sizeof answer)) {
        why = "the X server did not answer the access request";
        close(fd);
        return -1;
    }
    if (answer[0] == 0) {
        why = "the X server refused to let " + account + " in (error " +
              std::to_string(static_cast<unsigned char>(answer[1])) + ")";
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace XServerAccess
