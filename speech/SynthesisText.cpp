#include "speech/SynthesisText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace kven {
namespace {

bool isBreakAfter(char32_t c)
{
    return c == U'、' || c == U'。' || c == U';' || c == U'；' || c == U' ' || c == U'\u3000';
}

bool isBlank(char32_t c)
{
    return c == U' ' || c == U'\u3000';
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string toUtf8(const std::u32string& chars)
{
    std::string out;
    for (const char32_t c : chars)
        appendUtf8(out, c);
    return out;
}

} // namespace

std::vector<std::string> synthesisPieces(std::u16string_view text)
{
    // Characters of the Basic Multilingual Plane only; surrogates (paired or not) go.
    std::u32string chars;
    chars.reserve(text.size());
    for (const char16_t unit : text) {
        if (unit >= 0xD800 && unit <= 0xDFFF)
            continue;
        const bool control = unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
        chars.push_back(control ? U' ' : static_cast<char32_t>(unit));
    }

    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (at < chars.size()) {
        std::size_t end = chars.size();
        if (end - at > kMaxPieceChars) {
            end = at + kMaxPieceChars;
            std::size_t cut = end;
            while (cut > at && !isBreakAfter(chars[cut - 1]))
                --cut;
            if (cut > at)
                end = cut;
        }
        const std::u32string piece = chars.substr(at, end - at);
        if (!std::all_of(piece.begin(), piece.end(), isBlank))
            pieces.push_back(toUtf8(piece));
        at = end;
    }
    return pieces;
}

std::string speedForRate(int rate)
{
    const int r = std::clamp(rate, -10, 10);
    const double speed = std::pow(3.0, r / 10.0);
    std::array<char, 32> buf{};
    // Fixed notation with six decimals never prints 0 for 3^-1 and never uses the locale.
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), speed, std::chars_format::fixed, 6);
    return std::string(buf.data(), ec == std::errc() ? end : buf.data());
}

} // namespace kven
