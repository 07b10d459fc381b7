// Line breaks on arbitrary bytes: normalising leaves only CR LF and the same lines, and the lines
// joined again with CR LF are the normalised text with a line break after its last line.

#include "fuzz/FuzzSupport.h"
#include "text/TextOps.h"

#include <cstdint>
#include <string>

using kven::fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string normal = kven::normalizeLineBreaks(text);
    for (std::size_t i = 0; i < normal.size(); ++i) {
        if (normal[i] == '\r')
            check(i + 1 < normal.size() && normal[i + 1] == '\n', "a CR is followed by LF");
        if (normal[i] == '\n')
            check(i > 0 && normal[i - 1] == '\r', "an LF follows a CR");
    }
    const std::vector<std::string> lines = kven::splitLines(text);
    check(kven::splitLines(normal) == lines, "normalising keeps the lines");
    const bool open = !text.empty() && text.back() != '\r' && text.back() != '\n';
    check(kven::joinLinesCrLf(lines) == normal + (open ? "\r\n" : ""), "the lines joined are the normalised text");
    return 0;
}
