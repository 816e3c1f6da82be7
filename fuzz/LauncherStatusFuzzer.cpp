// The launcher's reading of a thread's status: a thread it finds alive names the account among
// its user ids and is no zombie.
#include "ProcessTable.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    if (!ProcessTable::liveThreadOf(text, 1000))
        return 0;
    const std::string lined = "\n" + text;
    const size_t state = lined.find("\nState:\t");
    if (lined.find("\nUid:\t") == std::string::npos || lined.find("1000") == std::string::npos ||
        state == std::string::npos || lined[state + 8] == 'Z' || lined[state + 8] == 'X') {
        std::fprintf(stderr, "invariant broken: a live thread of 1000 in \"%s\"\n", text.c_str());
        std::abort();
    }
    return 0;
}
