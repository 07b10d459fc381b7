#include "text/FullWidth.h"

#include "text/Cp932.h"
#include "text/Sjis.h"

#include <array>
#include <utility>

namespace kven {

namespace {

// Full-width katakana for the half-width block 0xA1..0xDF, in Unicode.
constexpr std::array<char16_t, 0xDF - 0xA1 + 1> kKanaWide = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2,                         // ｡｢｣､･ｦ
    0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, // ｧｨｩｪｫｬｭｮｯ
    0x30FC,                                                                 // ｰ
    0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA,                                 // ｱｲｳｴｵ
    0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,                                 // ｶｷｸｹｺ
    0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD,                                 // ｻｼｽｾｿ
    0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8,                                 // ﾀﾁﾂﾃﾄ
    0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE,                                 // ﾅﾆﾇﾈﾉ
    0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB,                                 // ﾊﾋﾌﾍﾎ
    0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2,                                 // ﾏﾐﾑﾒﾓ
    0x30E4, 0x30E6, 0x30E8,                                                 // ﾔﾕﾖ
    0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED,                                 // ﾗﾘﾙﾚﾛ
    0x30EF, 0x30F3,                                                         // ﾜﾝ
    0x309B, 0x309C,                                                         // ﾞﾟ
};

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

struct Table {
    std::array<std::string, 256> plain;  // one-byte character → full-width Shift_JIS
    std::array<std::string, 256> voiced; // with ﾞ composed, empty when no such character
    std::array<std::string, 256> semi;   // with ﾟ composed, empty when no such character
};

std::string sjisOf(char16_t c)
{
    return cp932::fromWide(std::u16string_view(&c, 1));
}

Table buildTable()
{
    Table t;
    t.plain[0x20] = std::string(sjis::kFullBlank);
    for (int b = 0x21; b <= 0x7E; ++b)
        t.plain[static_cast<std::size_t>(b)] = sjisOf(static_cast<char16_t>(0xFF01 + (b - 0x21)));
    for (int b = 0xA1; b <= 0xDF; ++b) {
        const char16_t wide = kKanaWide[static_cast<std::size_t>(b - 0xA1)];
        t.plain[static_cast<std::size_t>(b)] = sjisOf(wide);
        const bool voicable = (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE); // ｶ..ﾄ, ﾊ..ﾎ
        if (voicable)
            t.voiced[static_cast<std::size_t>(b)] = sjisOf(static_cast<char16_t>(wide + 1));
        if (b >= 0xCA && b <= 0xCE)
            t.semi[static_cast<std::size_t>(b)] = sjisOf(static_cast<char16_t>(wide + 2));
    }
    t.voiced[0xB3] = sjisOf(0x30F4); // ｳﾞ → ヴ
    return t;
}

const Table& table()
{
    static const Table t = buildTable();
    return t;
}

// The full-width form of the character at `i`, and how many bytes of the text it takes.
std::pair<std::string_view, std::size_t> mapAt(const Table& t, std::string_view text, std::size_t i)
{
    const std::size_t len = sjis::charLength(text, i);
    if (len == 2)
        return {text.substr(i, 2), 2};
    const auto b = static_cast<unsigned char>(text[i]);
    const std::string& plain = t.plain[b];
    if (plain.empty())
        return {text.substr(i, 1), 1};
    const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (next == kVoicedMark && !t.voiced[b].empty())
        return {t.voiced[b], 2};
    if (next == kSemiVoicedMark && !t.semi[b].empty())
        return {t.semi[b], 2};
    return {plain, 1};
}

} // namespace

std::string toFullWidth(std::string_view sjisText, std::size_t limit)
{
    const Table& t = table();
    std::string out;
    out.reserve(sjisText.size() * 2);
    for (std::size_t i = 0; i < sjisText.size();) {
        const auto [wide, taken] = mapAt(t, sjisText, i);
        if (out.size() + wide.size() > limit)
            break;
        out.append(wide);
        i += taken;
    }
    return out;
}

FullWidthStep fullWidthStep(std::string_view sjisText, std::size_t pos)
{
    const auto [wide, taken] = mapAt(table(), sjisText, pos);
    return {taken, wide.size()};
}

} // namespace kven
