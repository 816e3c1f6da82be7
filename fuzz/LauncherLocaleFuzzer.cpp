// The launcher's reading of the locale file: every setting it takes is a locale name and a plain
// value, and stood as such on a line of the file.
#include "CallerInput.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    for (const std::string &setting : CallerInput::localeSettings(text)) {
        const size_t equals = setting.find('=');
        const std::string name = setting.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : setting.substr(equals + 1);
        const bool known = name == "LANG" || name == "LANGUAGE" || name.rfind("LC_", 0) == 0;
        const bool plain =
            !value.empty() && value.size() <= 64 &&
            value.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUV"
                                    "WXYZ0123456789_.@:-") == std::string::npos;
        const bool inFile = text.find(setting) != std::string::npos ||
                            text.find(name + "=\"" + value + "\"") != std::string::npos ||
                            text.find(name + "='" + value + "'") != std::string::npos;
        if (!known || !plain || !inFile) {
            std::fprintf(stderr, "invariant broken: the locale file gave \"%s\"\n",
                         setting.c_str());
            std::abort();
        }
    }
    return 0;
}
