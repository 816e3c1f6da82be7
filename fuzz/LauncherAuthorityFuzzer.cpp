// The launcher's reading of the caller's X authority file: a cookie it finds is 16 bytes that
// stand in the file, and a file it writes reads back the same.
#include "XServerAccess.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::string cookie = XServerAccess::cookieFromAuthority(text, "0");
    if (!cookie.empty() && (cookie.size() != 16 || text.find(cookie) == std::string::npos)) {
        std::fprintf(stderr, "invariant broken: a cookie of %zu bytes\n", cookie.size());
        std::abort();
    }
    if (size >= 16) {
        const std::string own = text.substr(0, 16);
        const std::string file = XServerAccess::authorityFor(text.substr(16, 64), "0", own);
        if (XServerAccess::cookieFromAuthority(file, "0") != own) {
            std::fprintf(stderr, "invariant broken: a written cookie did not read back\n");
            std::abort();
        }
    }
    return 0;
}
