// The full-width map on arbitrary bytes and limits: no half-width character is left, a second
// pass changes nothing, and a limited result is the unlimited one cut at the last character
// that fits.

#include "fuzz/FuzzSupport.h"
#include "text/FullWidth.h"
#include "text/Sjis.h"

#include <cstdint>
#include <limits>
#include <string>

using kven::fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto limit = static_cast<std::size_t>(data[0] | data[1] << 8) % 2048;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string full = kven::toFullWidth(text, std::numeric_limits<std::size_t>::max());

    for (std::size_t i = 0; i < full.size(); i += kven::sjis::charLength(full, i)) {
        const auto b = static_cast<unsigned char>(full[i]);
        const bool halfWidth = (b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF);
        check(kven::sjis::charLength(full, i) == 2 || !halfWidth, "no half-width character is left");
    }
    check(kven::toFullWidth(full, std::numeric_limits<std::size_t>::max()) == full, "a second pass changes nothing");

    const std::string cut = kven::toFullWidth(text, limit);
    check(cut.size() <= limit && full.compare(0, cut.size(), cut) == 0, "the limited result is a prefix");
    check(cut.size() == full.size() || cut.size() + kven::sjis::charLength(full, cut.size()) > limit,
          "the limited result is cut at the last character that fits");
    return 0;
}
