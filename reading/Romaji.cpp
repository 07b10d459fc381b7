#include "reading/Romaji.h"

#include "text/Cp932.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace kven {

namespace {

// The syllables, longest spelling first where one begins another; the kana in UTF-8.
constexpr std::pair<std::string_view, std::string_view> kSyllables[] = {
    {"kya", "キャ"}, {"kyu", "キュ"}, {"kyo", "キョ"}, {"gya", "ギャ"}, {"gyu", "ギュ"}, {"gyo", "ギョ"},
    {"sha", "シャ"}, {"shu", "シュ"}, {"sho", "ショ"}, {"she", "シェ"}, {"shi", "シ"},   {"sya", "シャ"},
    {"syu", "シュ"}, {"syo", "ショ"}, {"cha", "チャ"}, {"chu", "チュ"}, {"cho", "チョ"}, {"che", "チェ"},
    {"chi", "チ"},   {"tya", "チャ"}, {"tyu", "チュ"}, {"tyo", "チョ"}, {"tsu", "ツ"},   {"nya", "ニャ"},
    {"nyu", "ニュ"}, {"nyo", "ニョ"}, {"hya", "ヒャ"}, {"hyu", "ヒュ"}, {"hyo", "ヒョ"}, {"bya", "ビャ"},
    {"byu", "ビュ"}, {"byo", "ビョ"}, {"pya", "ピャ"}, {"pyu", "ピュ"}, {"pyo", "ピョ"}, {"mya", "ミャ"},
    {"myu", "ミュ"}, {"myo", "ミョ"}, {"rya", "リャ"}, {"ryu", "リュ"}, {"ryo", "リョ"}, {"zya", "ジャ"},
    {"zyu", "ジュ"}, {"zyo", "ジョ"}, {"ja", "ジャ"},  {"ju", "ジュ"},  {"jo", "ジョ"},  {"je", "ジェ"},
    {"ji", "ジ"},    {"ka", "カ"},    {"ki", "キ"},    {"ku", "ク"},    {"ke", "ケ"},    {"ko", "コ"},
    {"ga", "ガ"},    {"gi", "ギ"},    {"gu", "グ"},    {"ge", "ゲ"},    {"go", "ゴ"},    {"sa", "サ"},
    {"si", "シ"},    {"su", "ス"},    {"se", "セ"},    {"so", "ソ"},    {"za", "ザ"},    {"zi", "ジ"},
    {"zu", "ズ"},    {"ze", "ゼ"},    {"zo", "ゾ"},    {"ta", "タ"},    {"ti", "チ"},    {"tu", "ツ"},
    {"te", "テ"},    {"to", "ト"},    {"da", "ダ"},    {"de", "デ"},    {"do", "ド"},    {"na", "ナ"},
    {"ni", "ニ"},    {"nu", "ヌ"},    {"ne", "ネ"},    {"no", "ノ"},    {"ha", "ハ"},    {"hi", "ヒ"},
    {"fu", "フ"},    {"hu", "フ"},    {"he", "ヘ"},    {"ho", "ホ"},    {"ba", "バ"},    {"bi", "ビ"},
    {"bu", "ブ"},    {"be", "ベ"},    {"bo", "ボ"},    {"pa", "パ"},    {"pi", "ピ"},    {"pu", "プ"},
    {"pe", "ペ"},    {"po", "ポ"},    {"ma", "マ"},    {"mi", "ミ"},    {"mu", "ム"},    {"me", "メ"},
    {"mo", "モ"},    {"ya", "ヤ"},    {"yu", "ユ"},    {"yo", "ヨ"},    {"ra", "ラ"},    {"ri", "リ"},
    {"ru", "ル"},    {"re", "レ"},    {"ro", "ロ"},    {"wa", "ワ"},    {"wo", "ヲ"},    {"a", "ア"},
    {"i", "イ"},     {"u", "ウ"},     {"e", "エ"},     {"o", "オ"},
};

bool isVowel(char c)
{
    return c == 'a' || c == 'i' || c == 'u' || c == 'e' || c == 'o';
}

// The syllables' kana in Shift_JIS, made once.
struct SjisSyllables {
    std::vector<std::string> kana; // in the order of kSyllables
    // For each first letter a-z, the syllables it begins, in the order of kSyllables.
    std::array<std::vector<std::uint8_t>, 26> byFirst;
    std::string n = cp932::fromUtf8("ン");
    std::string smallTsu = cp932::fromUtf8("ッ");
    SjisSyllables()
    {
        for (std::size_t k = 0; k < std::size(kSyllables); ++k) {
            kana.push_back(cp932::fromUtf8(kSyllables[k].second));
            byFirst[static_cast<std::size_t>(kSyllables[k].first[0] - 'a')].push_back(static_cast<std::uint8_t>(k));
        }
    }
};

} // namespace

std::string romajiKana(std::string_view ascii)
{
    static const SjisSyllables sjisSyllables;
    std::string word;
    for (const char c : ascii)
        word += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    std::string kana;
    int syllables = 0;
    for (std::size_t i = 0; i < word.size();) {
        const std::string_view rest = std::string_view(word).substr(i);
        // "n" before a consonant, an apostrophe or the end; "n'" before a vowel.
        if (rest[0] == 'n' && (rest.size() == 1 || rest[1] == '\'' || (!isVowel(rest[1]) && rest[1] != 'y'))) {
            kana += sjisSyllables.n;
            i += rest.size() > 1 && rest[1] == '\'' ? 2 : 1;
            continue;
        }
        // Hepburn's "m" before "b", "m" or "p" ("shimbun") is the same sound.
        if (rest[0] == 'm' && rest.size() > 1 && (rest[1] == 'b' || rest[1] == 'm' || rest[1] == 'p')) {
            kana += sjisSyllables.n;
            ++i;
            continue;
        }
        // A doubled consonant, "tch" included, is the small tsu.
        if (rest.size() > 1 && !isVowel(rest[0]) && rest[0] != 'n' &&
            (rest[1] == rest[0] || (rest[0] == 't' && rest[1] == 'c'))) {
            kana += sjisSyllables.smallTsu;
            ++i;
            continue;
        }
        bool found = false;
        if (rest[0] < 'a' || rest[0] > 'z')
            return {};
        for (const std::uint8_t k : sjisSyllables.byFirst[static_cast<std::size_t>(rest[0] - 'a')]) {
            const std::string_view spelling = kSyllables[k].first;
            if (rest.starts_with(spelling)) {
                kana += sjisSyllables.kana[k];
                i += spelling.size();
                ++syllables;
                found = true;
                break;
            }
        }
        if (!found)
            return {};
    }
    return syllables >= 2 ? kana : std::string();
}

} // namespace kven
