// The launcher's reading of the mount table: only mount points at or below the folder, the
// deepest first.
#include "MountTable.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::string home = "/home/kiosk";
    const auto points = MountTable::pointsAtOrBelow(text, home);
    for (size_t i = 0; i < points.size(); ++i) {
        const bool below = points[i] == home || points[i].rfind(home + "/", 0) == 0;
        const bool ordered = i == 0 || points[i - 1].size() >= points[i].size();
        if (!below || !ordered) {
            std::fprintf(stderr, "invariant broken: mount point \"%s\" at %zu\n", points[i].c_str(),
                         i);
            std::abort();
        }
    }
    return 0;
}
