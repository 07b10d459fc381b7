// toSjis on arbitrary bytes: never longer than its source, the same as converting pair by
// pair through jisToSjis, and on a text of ASCII, JIS X 0208 and half-width katakana alone the
// same as glibc iconv wherever iconv converts the whole text.

#include "fuzz/FuzzSupport.h"
#include "support/IconvAll.h"
#include "text/EucJp.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool asciiJisX0208AndKana(const kven::EucJp& conv, const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char b = data[i];
        if (b < 0x80)
            continue;
        if (i + 1 == size)
            return false;
        const unsigned char next = data[++i];
        if (!(conv.isLead(b) && conv.isLead(next)) && !(b == 0x8E && conv.isKanaTrail(next)))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const kven::EucJp conv;
    const std::string out = conv.toSjis(source);
    if (out.size() > source.size())
        std::abort();

    std::string expected;
    for (std::size_t i = 0; i < size;) {
        const unsigned char b = data[i];
        if (conv.isLead(b)) {
            if (i + 1 < size)
                expected += conv.jisToSjis(static_cast<unsigned char>(b - 0x80),
                                           static_cast<unsigned char>(data[i + 1] - 0x80));
            i += 2;
        } else if (b == 0x8E && i + 1 < size && conv.isKanaTrail(data[i + 1])) {
            expected += static_cast<char>(data[i + 1]);
            i += 2;
        } else {
            expected += static_cast<char>(b);
            ++i;
        }
    }
    if (out != expected)
        std::abort();

    if (asciiJisX0208AndKana(conv, data, size)) {
        const auto reference = kven::testing::iconvAll("CP932", "EUC-JP", source);
        kven::fuzzing::check(!reference || out == *reference, "JIS X 0208 text converts as iconv converts it");
    }
    return 0;
}
