#include "reading/EnglishWords.h"

#include "reading/Romaji.h"
#include "text/Sjis.h"

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

// Appends what is said for the run of letters `letters` (full width; `ascii` the same in
// ASCII): the word's kana, else the kana of each word a capital begins within it
// ("AllowOverride", "HTMLParser"), with the parts the lexicon does not know spelled.
void appendRun(std::string& out, std::string_view letters, std::string_view ascii, const EnglishLexicon& lexicon)
{
    std::string lower;
    if (const std::string_view kana = kanaOf(ascii, lexicon, lower); !kana.empty()) {
        out.append(kana);
        return;
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
    // The text as runs of Latin letters and what lies between them, each run with what is
    // said for it and whether that is a word rather than letters.
    struct Run {
        std::string_view gap; // before the run
        std::string said;
        bool word = false;
    };
    std::vector<Run> runs;
    std::string ascii;
    for (std::size_t i = 0; i < fullWidth.size();) {
        const std::size_t other = i;
        while (i < fullWidth.size() && latinAt(fullWidth, i) == '\0')
            i += sjis::charLength(fullWidth, i);
        Run run{fullWidth.substr(other, i - other), {}, false};
        const std::size_t start = i;
        ascii.clear();
        for (char c; (c = latinAt(fullWidth, i)) != '\0'; i += 2)
            ascii += c;
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
                run.said = kArticle;
            } else {
                appendRun(run.said, fullWidth.substr(start, i - start), ascii, lexicon);
            }
            run.word = run.said != fullWidth.substr(start, i - start);
        }
        runs.push_back(std::move(run));
    }
    std::string out;
    out.reserve(fullWidth.size());
    for (std::size_t k = 0; k < runs.size(); ++k) {
        // The words of a phrase go over as one: the synthesizer pauses at every blank.
        const bool phrase = k > 0 && runs[k - 1].word && runs[k].word && onlyBlanks(runs[k].gap);
        if (!phrase)
            out.append(runs[k].gap);
        out.append(runs[k].said);
    }
    return out;
}

} // namespace kven
