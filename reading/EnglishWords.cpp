#include "reading/EnglishWords.h"

#include "reading/Romaji.h"
#include "text/Cp932.h"
#include "text/FullWidth.h"
#include "text/Sjis.h"

#include <utility>
#include <vector>

namespace kven {

namespace {

// Capitals abbreviate words up to this many letters.
constexpr std::size_t kAbbreviationLetters = 3;

bool isCapital(char c)
{
    return c >= 'A' && c <= 'Z';
}

// The ASCII letter of the full-width Latin letter (Ａ..Ｚ 0x8260..0x8279, ａ..ｚ 0x8281..0x829A)
// at `i`; '\0' when there is none.
char latinAt(std::string_view text, std::size_t i)
{
    if (i + 1 >= text.size() || static_cast<unsigned char>(text[i]) != 0x82)
        return '\0';
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (trail >= 0x60 && trail <= 0x79)
        return static_cast<char>('A' + (trail - 0x60));
    if (trail >= 0x81 && trail <= 0x9A)
        return static_cast<char>('a' + (trail - 0x81));
    return '\0';
}

// English words with an apostrophe, which the pronouncing dictionary does not hold; the kana
// in UTF-8.
constexpr std::pair<std::string_view, std::string_view> kContractions[] = {
    {"don't", "ドント"},        {"doesn't", "ダズント"}, {"didn't", "ディドント"},   {"isn't", "イズント"},
    {"aren't", "アーント"},     {"wasn't", "ワズント"},  {"weren't", "ワーント"},    {"can't", "キャント"},
    {"couldn't", "クドゥント"}, {"won't", "ウォント"},   {"wouldn't", "ウドゥント"}, {"shouldn't", "シュドゥント"},
    {"haven't", "ハブント"},    {"hasn't", "ハズント"},  {"it's", "イッツ"},         {"that's", "ザッツ"},
    {"what's", "ワッツ"},       {"let's", "レッツ"},     {"there's", "ゼアズ"},      {"here's", "ヒアズ"},
    {"i'm", "アイム"},          {"i've", "アイブ"},      {"i'll", "アイル"},         {"i'd", "アイド"},
    {"you're", "ユア"},         {"you've", "ユーブ"},    {"you'll", "ユール"},       {"you'd", "ユード"},
    {"we're", "ウィア"},        {"we've", "ウィーブ"},   {"we'll", "ウィール"},      {"they're", "ゼア"},
    {"they've", "ゼイブ"},      {"they'll", "ゼイル"},   {"he's", "ヒーズ"},         {"she's", "シーズ"},
};

// The apostrophes of a word ("Ken'ichi", "doesn't"): the mapping's full-width one and ’.
bool apostropheAt(std::string_view text, std::size_t i)
{
    static const std::string fullWidth = toFullWidth("'");
    constexpr std::string_view kRightQuote = "\x81\x66"; // ’
    const std::string_view c = text.substr(i, 2);
    return c == fullWidth || c == kRightQuote;
}

// The kana (Shift_JIS) of a word with an apostrophe (`lower`, in small letters): a contraction,
// or a word's possessive ("ruby's"); empty for another.
std::string apostropheWord(std::string_view lower, const EnglishLexicon& lexicon)
{
    for (const auto& [word, kana] : kContractions)
        if (word == lower)
            return cp932::fromUtf8(kana);
    if (lower.ends_with("'s") && lower.find('\'') == lower.size() - 2) {
        if (const std::string_view stem = lexicon.kana(lower.substr(0, lower.size() - 2)); !stem.empty())
            return std::string(stem) + "\x83\x59"; // ズ
    }
    return {};
}

// The katakana for the letters `ascii`, empty when they stay spelled: one letter, an
// abbreviation, or a word the lexicon does not know.
std::string_view kanaOf(std::string_view ascii, const EnglishLexicon& lexicon, std::string& lower)
{
    if (ascii.size() < 2)
        return {};
    bool allCapitals = true;
    lower.clear();
    for (const char c : ascii) {
        allCapitals = allCapitals && isCapital(c);
        lower += isCapital(c) ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (allCapitals && ascii.size() <= kAbbreviationLetters)
        return {};
    return lexicon.kana(lower);
}

// Whether `ascii` looks like a Japanese name written in Latin letters: five letters or more
// with two vowels or more, a capital and then small letters ending in "a", "i", "o" or "u"
// ("Takahashi", "Kanji"; an English word's final "e" is mostly silent: "Separate"), or parts
// each begun by a capital, ending in a small letter other than "e" ("ChaSen").
bool japaneseName(std::string_view ascii)
{
    if (ascii.size() < 5 || !isCapital(ascii[0]))
        return false;
    bool parts = false;
    std::size_t vowels = 0;
    for (std::size_t i = 1; i < ascii.size(); ++i) {
        const char c = ascii[i];
        if (isCapital(c) && isCapital(ascii[i - 1]))
            return false;
        if (!isCapital(c) && (c < 'a' || c > 'z'))
            return false;
        parts = parts || isCapital(c);
        vowels += std::string_view("aeiouAEIOU").find(c) != std::string_view::npos ? 1 : 0;
    }
    const bool ending = parts ? !isCapital(ascii.back()) && ascii.back() != 'e'
                              : std::string_view("aiou").find(ascii.back()) != std::string_view::npos;
    return ending && vowels >= 2;
}

// Appends what is said for the run of letters `letters` (full width; `ascii` the same in
// ASCII): the word's kana, else the kana of each word a capital begins within it
// ("AllowOverride", "HTMLParser"), with the parts the lexicon does not know spelled.
void appendRun(std::string& out, std::string_view letters, std::string_view ascii, const EnglishLexicon& lexicon)
{
    std::string lower;
    if (const std::string_view kana = kanaOf(ascii, lexicon, lower); !kana.empty()) {
        // A Japanese name the pronouncing dictionary holds ("Takahashi", "ChaSen") is said as the
        // kana it spells, where the loan words lack it.
        if (japaneseName(ascii) && !lexicon.isLoanWord(lower)) {
            if (const std::string name = romajiKana(ascii); !name.empty()) {
                out.append(name);
                return;
            }
        }
        out.append(kana);
        return;
    }
    if (ascii.find('\'') != std::string_view::npos) {
        if (const std::string kana = apostropheWord(lower, lexicon); !kana.empty()) {
            out.append(kana);
            return;
        }
    }
    // Japanese the pronouncing dictionary lacks, written in Latin letters ("Fukamachi",
    // "ChaSen"): small letters, each capital starting a part.
    bool parts = !isCapital(ascii.back());
    for (std::size_t i = 0; i + 1 < ascii.size(); ++i)
        parts = parts && !(isCapital(ascii[i]) && isCapital(ascii[i + 1]));
    if (parts) {
        if (const std::string kana = romajiKana(ascii); !kana.empty()) {
            out.append(kana);
            return;
        }
    }
    std::size_t begin = 0;
    for (std::size_t i = 1; i <= ascii.size(); ++i) {
        const bool partEnds = i == ascii.size() || (isCapital(ascii[i]) && !isCapital(ascii[i - 1])) ||
                              (isCapital(ascii[i]) && i + 1 < ascii.size() && !isCapital(ascii[i + 1]));
        if (!partEnds)
            continue;
        const std::string_view part = ascii.substr(begin, i - begin);
        const std::string_view kana = part.size() < ascii.size() ? kanaOf(part, lexicon, lower) : std::string_view();
        out.append(kana.empty() ? letters.substr(2 * begin, 2 * part.size()) : kana);
        begin = i;
    }
}

} // namespace

namespace {

// Whether `gap` is blanks alone (full-width or ASCII), at least one.
bool onlyBlanks(std::string_view gap)
{
    if (gap.empty())
        return false;
    for (std::size_t i = 0; i < gap.size(); i += sjis::charLength(gap, i))
        if (gap[i] != ' ' && gap.substr(i, sjis::kFullBlank.size()) != sjis::kFullBlank)
            return false;
    return true;
}

// The length of the run of Latin letters at `i`, in bytes.
std::size_t latinRunAt(std::string_view text, std::size_t i)
{
    std::size_t end = i;
    while (latinAt(text, end) != '\0')
        end += 2;
    return end - i;
}

} // namespace

std::string readEnglishWords(std::string_view fullWidth, const EnglishLexicon& lexicon)
{
    // The article "a" before a word, as a Japanese reader says it.
    static const std::string kArticle = "\x83\x41"; // ア
    // The text as runs of Latin letters and what lies between them: each run's gap, then what
    // is said for the run, the gap left out where it is blanks between two words.
    std::string out;
    out.reserve(fullWidth.size());
    std::string ascii;
    std::string said;
    bool lastWord = false; // what was said for the run before is a word rather than letters
    for (std::size_t i = 0; i < fullWidth.size();) {
        const std::size_t other = i;
        while (i < fullWidth.size() && latinAt(fullWidth, i) == '\0')
            i += sjis::charLength(fullWidth, i);
        const std::string_view gap = fullWidth.substr(other, i - other);
        const std::size_t start = i;
        ascii.clear();
        for (char c;;) {
            for (; (c = latinAt(fullWidth, i)) != '\0'; i += 2)
                ascii += c;
            // A word goes on over an apostrophe between letters ("Ken'ichi", "doesn't").
            if (i == start || !apostropheAt(fullWidth, i) || latinAt(fullWidth, i + 2) == '\0')
                break;
            ascii += '\'';
            i += 2;
        }
        said.clear();
        bool word = false;
        if (i > start) {
            std::size_t next = i;
            while (next < fullWidth.size() && onlyBlanks(fullWidth.substr(next, sjis::charLength(fullWidth, next))))
                next += sjis::charLength(fullWidth, next);
            // "a" before a word of two letters or more, or "A" before one in small letters (a
            // sentence's start), not a label ("Ａ　ＡＮＤ　Ｂ", "ランクＡ　ｏｒ　Ｂ").
            const bool smallNext = latinAt(fullWidth, next) >= 'a';
            const bool atStart = other == 0 && (start == 0 || onlyBlanks(fullWidth.substr(0, start)));
            if ((ascii == "a" || (ascii == "A" && smallNext && atStart)) && next > i &&
                latinRunAt(fullWidth, next) >= 4) {
                said = kArticle;
            } else {
                appendRun(said, fullWidth.substr(start, i - start), ascii, lexicon);
            }
            word = said != fullWidth.substr(start, i - start);
        }
        // The words of a phrase go over as one: the synthesizer pauses at every blank.
        if (!(lastWord && word && onlyBlanks(gap)))
            out.append(gap);
        out.append(said);
        lastWord = word;
    }
    return out;
}

} // namespace kven
