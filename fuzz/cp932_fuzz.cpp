// The code page conversions on arbitrary bytes, read as CP932, as UTF-8 and as UTF-16:
// - CP932 to UTF-16 and to UTF-8 agree, and a text converted to UTF-16 survives the way back
//   to CP932 and again to UTF-16 unchanged;
// - UTF-16 to CP932 gives one character per character (a surrogate pair being one);
// - the UTF-8 helpers agree with iconv on well-formed input, and make well-formed output of
//   anything.

#include "fuzz/FuzzSupport.h"
#include "support/IconvAll.h"
#include "text/Cp932.h"
#include "text/Sjis.h"
#include "text/Utf8.h"

#include <cstdint>
#include <string>

namespace {

using kven::fuzzing::check;

std::size_t characters(std::u16string_view wide)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < wide.size(); ++i, ++count)
        if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF)
            ++i;
    return count;
}

std::size_t characters(std::string_view sjis)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < sjis.size(); i += kven::sjis::charLength(sjis, i))
        ++count;
    return count;
}

bool wellFormed(std::u16string_view wide)
{
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] >= 0xDC00 && wide[i] <= 0xDFFF)
            return false;
        if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF) {
            if (i + 1 == wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF)
                return false;
            ++i;
        }
    }
    return true;
}

std::string bytesOf(std::u16string_view wide)
{
    std::string bytes;
    for (const char16_t unit : wide) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace cp932 = kven::cp932;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::u16string wide = cp932::toWide(bytes);
    check(wide.size() <= bytes.size(), "CP932 to UTF-16 gives at most one unit per byte");
    check(cp932::toUtf8(bytes) == cp932::wideToUtf8(wide), "CP932 to UTF-8 and to UTF-16 agree");
    check(cp932::toWide(cp932::fromWide(wide)) == wide, "CP932 text survives the way back");

    const std::u16string units = kven::fuzzing::unitsOf(data, size);
    check(characters(cp932::fromWide(units)) == characters(units), "UTF-16 to CP932 gives one character per character");

    const std::u16string fromUtf8 = cp932::utf8ToWide(bytes);
    check(wellFormed(fromUtf8) && kven::utf8::isValid(cp932::wideToUtf8(units)),
          "the UTF-8 helpers make well-formed text");
    if (kven::utf8::isValid(bytes)) {
        check(bytesOf(fromUtf8) == kven::testing::iconvAll("UTF-16LE", "UTF-8", bytes), "UTF-8 to UTF-16 as iconv");
        check(cp932::wideToUtf8(fromUtf8) == bytes, "UTF-8 survives the way through UTF-16");
    }
    if (wellFormed(units))
        check(cp932::wideToUtf8(units) == kven::testing::iconvAll("UTF-8", "UTF-16LE", bytesOf(units)),
              "UTF-16 to UTF-8 as iconv");
    return 0;
}
