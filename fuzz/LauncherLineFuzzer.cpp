// What the launcher reads on TimoraDesk's socket: whole lines of bounded length, and a session's
// minutes only from a line that says exactly that.
#include "core/linux/LauncherProtocol.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    LauncherProtocol::LineReader reader;
    // In pieces of the sizes the first bytes give, as reads from a socket come.
    size_t at = 0;
    const size_t piece = size > 0 ? 1 + data[0] % 17 : 1;
    while (at < size) {
        const size_t length = std::min(piece, size - at);
        reader.take(reinterpret_cast<const char *>(data) + at, length, [](const std::string &line) {
            const LauncherProtocol::Message message = LauncherProtocol::parse(line);
            const bool session = message.kind == LauncherProtocol::Message::Kind::Session;
            if (line.find('\n') != std::string::npos || line.size() > LauncherProtocol::MaxLine ||
                (session && LauncherProtocol::sessionLine(message.minutes) != line) ||
                (!session && message.minutes != 0)) {
                std::fprintf(stderr, "invariant broken: line \"%s\"\n", line.c_str());
                std::abort();
            }
        });
        at += length;
    }
    return 0;
}
