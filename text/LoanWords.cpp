#include "text/LoanWords.h"

#include "text/EucJp.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kven {

namespace {

// Candidates looked at on one line, and the longest one in bytes: a loan word is short, and a
// hostile line costs no more than a real one.
constexpr std::size_t kMaxCandidates = 16;
constexpr std::size_t kMaxCandidateBytes = 64;
// The consonants of a pronunciation compared, at most.
constexpr std::size_t kMaxConsonants = 64;

// The consonant of each katakana from ァ (U+30A1) to ヶ (U+30F6), '-' for none: vowels, the
// small letters and ッ. Voiced and voiceless stay apart, "sh" goes with "s" and "v" with "b",
// as loan words write them.
constexpr std::string_view kConsonants = "----------"      // ァアィイゥウェエォオ
                                         "kgkgkgkgkg"      // カ..ゴ
                                         "szszszszsz"      // サ..ゾ
                                         "tdcz-tztdtd"     // タダチヂッツヅテデトド
                                         "nnnnn"           // ナ..ノ
                                         "hbphbpfbphbphbp" // ハ..ポ
                                         "mmmmm"           // マ..モ
                                         "------"          // ャヤュユョヨ
                                         "rrrrr"           // ラ..ロ
                                         "-wwwwnbkk";      // ヮワヰヱヲンヴヵヶ
static_assert(kConsonants.size() == 0x30F6 - 0x30A1 + 1);

constexpr std::string_view kLongMark = "\x81\x5b"; // ー

// The consonants of Shift_JIS katakana, in order.
std::string consonantsOf(std::string_view sjis)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < sjis.size(); i += 2) {
        if (static_cast<unsigned char>(sjis[i]) != 0x83)
            continue;
        unsigned index = static_cast<unsigned char>(sjis[i + 1]) - 0x40u; // ァ is 0x8340; 0x7F is no trail byte
        if (static_cast<unsigned char>(sjis[i + 1]) > 0x7F)
            --index;
        if (index < kConsonants.size() && kConsonants[index] != '-')
            out += kConsonants[index];
    }
    return out;
}

std::size_t editDistance(std::string_view a, std::string_view b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Whether the EUC-JP `text` is katakana and the long mark alone (0xA5 0xA1..0xF6, 0xA1 0xBC).
bool katakanaOnly(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (!(lead == 0xA5 && trail >= 0xA1 && trail <= 0xF6) && !(lead == 0xA1 && trail == 0xBC))
            return false;
    }
    return true;
}

} // namespace

std::string loanWordFor(std::string_view word, std::string_view candidates, std::string_view pronounced)
{
    // Katakana candidates, those without a note first.
    std::array<std::string_view, kMaxCandidates> plain{};
    std::array<std::string_view, kMaxCandidates> noted{};
    std::size_t plainCount = 0;
    std::size_t notedCount = 0;
    std::size_t looked = 0;
    for (std::size_t at = 0; at < candidates.size() && looked < kMaxCandidates; ++looked) {
        std::size_t end = candidates.find('/', at);
        if (end == std::string_view::npos)
            end = candidates.size();
        const std::string_view candidate = candidates.substr(at, end - at);
        at = end + 1;
        const std::size_t note = candidate.find(';');
        const std::string_view text = candidate.substr(0, note);
        if (text.size() > kMaxCandidateBytes || !katakanaOnly(text))
            continue;
        if (note == std::string_view::npos)
            plain[plainCount++] = text;
        else
            noted[notedCount++] = text;
    }
    std::copy_n(noted.begin(), notedCount, plain.begin() + static_cast<std::ptrdiff_t>(plainCount));
    const std::size_t count = plainCount + notedCount;
    static const EucJp eucJp;
    if (pronounced.empty())
        return count > 0 && word.size() >= 3 ? eucJp.toSjis(plain[0]) : std::string();

    const std::string said = consonantsOf(pronounced);
    if (said.size() > kMaxConsonants)
        return {};
    for (std::size_t k = 0; k < count; ++k) {
        std::string kana = eucJp.toSjis(plain[k]);
        const std::string written = consonantsOf(kana);
        if (editDistance(written, said) > std::max(written.size(), said.size()) / 3)
            continue;
        if (pronounced.size() == kana.size() + kLongMark.size() && pronounced.starts_with(kana) &&
            pronounced.ends_with(kLongMark))
            return std::string(pronounced);
        return kana;
    }
    return {};
}

} // namespace kven
