// The launcher's display check: what passes is a local display of bounded digits, nothing else.
#include "CallerInput.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    // The launcher gets it from the environment: a C string, up to its first NUL.
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();
    if (!CallerInput::isLocalDisplay(text.c_str()))
        return 0;
    // ":" N{1,4} ("." S{1,2})?, and the number is what comes before the dot.
    const size_t dot = text.find('.');
    const std::string number =
        text.substr(1, dot == std::string::npos ? std::string::npos : dot - 1);
    const std::string screen = dot == std::string::npos ? "0" : text.substr(dot + 1);
    const bool digits = number.find_first_not_of("0123456789") == std::string::npos &&
                        screen.find_first_not_of("0123456789") == std::string::npos;
    if (text[0] != ':' || number.empty() || number.size() > 4 || screen.empty() ||
        screen.size() > 2 || !digits || CallerInput::displayNumber(text) != number) {
        std::fprintf(stderr, "invariant broken: \"%s\" passed as a local display\n", text.c_str());
        std::abort();
    }
    return 0;
}
