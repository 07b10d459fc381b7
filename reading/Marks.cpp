#include "reading/Marks.h"

#include "text/Sjis.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace kven {

namespace {

// Single-byte marks: blanks, ASCII punctuation but "&", "+" and "@", and the half-width
// punctuation, long-vowel mark and sound marks.
constexpr std::string_view kSingleMarks = " \t\r\n!\"#$%'()*,-./:;<=>?[\\]^_`{|}~\xA1\xA2\xA3\xA4\xA5\xB0\xDE\xDF";

// Double-byte marks, ascending.
constexpr std::array<std::uint16_t, 158> kDoubleMarks = {
    0x8140, 0x8141, 0x8142, 0x8143, 0x8144, 0x8145, 0x8146, 0x8147, 0x8148, 0x8149, 0x814A, 0x814B, 0x814C, 0x814D,
    0x814E, 0x814F, 0x8150, 0x8151, 0x815B, 0x815C, 0x815D, 0x815E, 0x815F, 0x8160, 0x8161, 0x8162, 0x8163, 0x8164,
    0x8165, 0x8166, 0x8167, 0x8168, 0x8169, 0x816A, 0x816B, 0x816C, 0x816D, 0x816E, 0x816F, 0x8170, 0x8171, 0x8172,
    0x8173, 0x8174, 0x8175, 0x8176, 0x8177, 0x8178, 0x8179, 0x817A, 0x817C, 0x817D, 0x8181, 0x8182, 0x8183, 0x8184,
    0x8185, 0x8186, 0x8187, 0x8188, 0x818B, 0x818C, 0x818D, 0x818F, 0x8190, 0x8191, 0x8192, 0x8193, 0x8194, 0x8196,
    0x8198, 0x8199, 0x819A, 0x819C, 0x819D, 0x819E, 0x819F, 0x81A0, 0x81A1, 0x81A2, 0x81A3, 0x81A4, 0x81A5, 0x81A6,
    0x81A8, 0x81A9, 0x81AA, 0x81AB, 0x81AC, 0x81B8, 0x81B9, 0x81BA, 0x81BB, 0x81BC, 0x81BD, 0x81BE, 0x81BF, 0x81C8,
    0x81C9, 0x81CA, 0x81CB, 0x81CC, 0x81CD, 0x81CE, 0x81DA, 0x81DB, 0x81DC, 0x81DD, 0x81DE, 0x81DF, 0x81E0, 0x81E1,
    0x81E2, 0x81E3, 0x81E4, 0x81E5, 0x81E6, 0x81E7, 0x81E8, 0x81F2, 0x81F3, 0x81F4, 0x81F5, 0x81F6, 0x81F7, 0x81FC,
    0x849F, 0x84A0, 0x84A1, 0x84A2, 0x84A3, 0x84A4, 0x84A5, 0x84A6, 0x84A7, 0x84A8, 0x84A9, 0x84AA, 0x84AB, 0x84AC,
    0x84AD, 0x84AE, 0x84AF, 0x84B0, 0x84B1, 0x84B2, 0x84B3, 0x84B4, 0x84B5, 0x84B6, 0x84B7, 0x84B8, 0x84B9, 0x84BA,
    0x84BB, 0x84BC, 0x84BD, 0x84BE,
};

} // namespace

namespace {

constexpr std::uint16_t kPlus = 0x817B;      // ＋
constexpr std::uint16_t kMinus = 0x817C;     // －
constexpr std::uint16_t kEquals = 0x8181;    // ＝
constexpr std::uint16_t kVertical = 0x8162;  // ｜
constexpr std::uint16_t kFullBlank = 0x8140; // 全角空白

// A rule of a table drawn in text: "＋" where lines cross, "－" or "＝" along them, "｜"
// and blanks, with at least one crossing and two strokes.
bool tableRule(std::string_view sjis)
{
    int crossings = 0;
    int strokes = 0;
    for (std::size_t i = 0; i < sjis.size();) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        if (lead == ' ' || lead == '\t' || lead == '\r' || lead == '\n') {
            ++i;
            continue;
        }
        if (!sjis::isLeadByte(lead) || i + 1 >= sjis.size())
            return false;
        const auto code = static_cast<std::uint16_t>(lead << 8 | static_cast<unsigned char>(sjis[i + 1]));
        if (code == kPlus)
            ++crossings;
        else if (code == kMinus || code == kEquals)
            ++strokes;
        else if (code != kVertical && code != kFullBlank)
            return false;
        i += 2;
    }
    return crossings > 0 && strokes >= 2;
}

} // namespace

bool onlyMarks(std::string_view sjis)
{
    if (tableRule(sjis))
        return true;
    for (std::size_t i = 0; i < sjis.size();) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        if (sjis::isLeadByte(lead) && i + 1 < sjis.size()) {
            const auto code = static_cast<std::uint16_t>(lead << 8 | static_cast<unsigned char>(sjis[i + 1]));
            if (!std::binary_search(kDoubleMarks.begin(), kDoubleMarks.end(), code))
                return false;
            i += 2;
        } else {
            if (kSingleMarks.find(static_cast<char>(lead)) == std::string_view::npos)
                return false;
            ++i;
        }
    }
    return true;
}

} // namespace kven
