// What the synthesizer is given, for arbitrary UTF-16 and for arbitrary Shift_JIS converted the
// way the reading step converts it: every piece keeps inside the synthesizer's limits, and the
// pieces joined again are the text less what the splitter drops (characters beyond the BMP,
// surrogates, and pieces that are blank throughout), control characters read as blanks.
// The speed factor for any rate is the positive number 3^(rate/10) of the limited rate.

#include "fuzz/FuzzSupport.h"
#include "speech/SynthesisText.h"
#include "text/Cp932.h"
#include "text/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using kven::fuzzing::check;

bool isBlank(char32_t c)
{
    return c == U' ' || c == U'\u3000';
}

std::u32string codePoints(std::string_view utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const kven::utf8::Step step = kven::utf8::decode(utf8, i);
        check(step.valid(), "a piece is well-formed UTF-8");
        out.push_back(step.codePoint);
        i += step.length;
    }
    return out;
}

void checkPieces(std::u16string_view text)
{
    // What is left for the synthesizer: no surrogates, control characters as blanks.
    std::u32string kept;
    for (const char16_t unit : text) {
        if (unit >= 0xD800 && unit <= 0xDFFF)
            continue;
        kept.push_back(unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) ? U' ' : unit);
    }
    std::size_t at = 0;
    for (const std::string& piece : kven::synthesisPieces(text)) {
        const std::u32string chars = codePoints(piece);
        check(!chars.empty() && chars.size() <= kven::kMaxPieceChars, "a piece has 1 to kMaxPieceChars characters");
        check(!std::all_of(chars.begin(), chars.end(), isBlank), "no piece is blank throughout");
        // Whatever was dropped before the piece was blanks only.
        const auto lead =
            static_cast<std::size_t>(std::find_if_not(chars.begin(), chars.end(), isBlank) - chars.begin());
        std::size_t solid = at;
        while (solid < kept.size() && isBlank(kept[solid]))
            ++solid;
        check(solid - at >= lead, "the pieces joined are the text");
        at = solid - lead;
        check(kept.compare(at, chars.size(), chars) == 0, "the pieces joined are the text");
        at += chars.size();
    }
    check(std::all_of(kept.begin() + static_cast<std::ptrdiff_t>(at), kept.end(), isBlank),
          "only blanks are dropped at the end");
}

void checkSpeed(int rate)
{
    const std::string speed = kven::speedForRate(rate);
    double value = 0;
    const auto [end, ec] = std::from_chars(speed.data(), speed.data() + speed.size(), value);
    check(ec == std::errc() && end == speed.data() + speed.size() && value > 0, "the speed is a positive number");
    check(std::abs(value - std::pow(3.0, std::clamp(rate, -10, 10) / 10.0)) < 1e-6, "the speed is 3^(rate/10)");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkPieces(kven::fuzzing::unitsOf(data, size));
    checkPieces(kven::cp932::toWide(std::string_view(reinterpret_cast<const char*>(data), size)));
    if (size >= sizeof(int)) {
        int rate = 0;
        std::memcpy(&rate, data, sizeof rate);
        checkSpeed(rate);
    }
    return 0;
}
