// EucToSjis on arbitrary bytes: never longer than its source, and the same as converting pair by
// pair through JisToSjis.

#include "pzconv/PzConv.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const kven::TPzConv conv;
    const std::string out = conv.EucToSjis(source);
    if (out.size() > source.size())
        std::abort();

    std::string expected;
    for (std::size_t i = 0; i < size;) {
        const unsigned char b = data[i];
        if (conv.IsEucLead(b)) {
            if (i + 1 < size)
                expected += conv.JisToSjis(static_cast<unsigned char>(b - 0x80),
                                           static_cast<unsigned char>(data[i + 1] - 0x80));
            i += 2;
        } else if (b == 0x8E && i + 1 < size && conv.IsEucKanaTrail(data[i + 1])) {
            expected += static_cast<char>(data[i + 1]);
            i += 2;
        } else {
            expected += static_cast<char>(b);
            ++i;
        }
    }
    if (out != expected)
        std::abort();
    return 0;
}
