#include "reading/ReadingFold.h"

#include "text/Cp932.h"

namespace kven {

namespace {

// The katakana of each vowel column; small kana count with the column of their sound.
constexpr std::u16string_view kVowelColumns[5] = {
    u"アカガサザタダナハバパマヤラワァャヮヵ", u"イキギシジチヂニヒビピミリヰィ", u"ウクグスズツヅヌフブプムユルゥュヴ",
    u"エケゲセゼテデネヘベペメレヱェヶ", u"オコゴソゾトドノホボポモヨロヲォョ"};

// 'a' 'i' 'u' 'e' 'o' for a kana of that column; 0 for ン, ッ and anything else.
char16_t vowelOf(char16_t katakana)
{
    constexpr char16_t names[5] = {u'a', u'i', u'u', u'e', u'o'};
    for (std::size_t k = 0; k < 5; ++k)
        if (kVowelColumns[k].find(katakana) != std::u16string_view::npos)
            return names[k];
    return 0;
}

// Whether the vowel kana `c` after a kana of `vowel` only lengthens it.
bool lengthens(char16_t vowel, char16_t c)
{
    switch (vowel) {
    case u'a': return c == u'ア';
    case u'i': return c == u'イ';
    case u'u': return c == u'ウ';
    case u'e': return c == u'イ' || c == u'エ';
    case u'o': return c == u'ウ' || c == u'オ';
    default: return false;
    }
}

char16_t modernKatakana(char16_t c)
{
    if (c >= u'ぁ' && c <= u'ゖ')
        c = static_cast<char16_t>(c + (u'ァ' - u'ぁ'));
    switch (c) {
    case u'ヰ': return u'イ';
    case u'ヱ': return u'エ';
    case u'ヲ': return u'オ';
    case u'ヂ': return u'ジ';
    case u'ヅ': return u'ズ';
    case u'ヵ': return u'カ';
    case u'ヶ': return u'ケ';
    default: return c;
    }
}

} // namespace

std::u16string foldedReading(std::u16string_view kana)
{
    std::u16string out;
    char16_t vowel = 0;
    for (const char16_t raw : kana) {
        const char16_t c = modernKatakana(raw);
        if (c == u'ヮ' && !out.empty() && (out.back() == u'ク' || out.back() == u'グ')) {
            out.back() = out.back() == u'ク' ? u'カ' : u'ガ';
            vowel = u'a';
            continue;
        }
        if (c == u'ー' || lengthens(vowel, c)) {
            if (vowel != 0)
                out += u'ー';
            continue;
        }
        if (c < u'ァ' || c > u'ヺ')
            continue;
        out += c == u'ヮ' ? u'ワ' : c;
        vowel = vowelOf(c);
    }
    return out;
}

bool synthesizerSays(std::span<const SpokenWord> words, std::size_t offset, std::size_t length,
                     std::string_view reading)
{
    const std::size_t end = offset + length;
    std::u16string said;
    bool begun = false;
    for (const SpokenWord& word : words) {
        const std::size_t wordEnd = word.offset + word.length;
        if (wordEnd <= offset || word.offset >= end)
            continue;
        if (word.offset < offset || wordEnd > end || word.pronunciation.empty())
            return false;
        begun = begun || word.offset == offset;
        said += cp932::utf8ToWide(word.pronunciation);
        if (wordEnd == end)
            return begun && foldedReading(said) == foldedReading(cp932::toWide(reading));
    }
    return false;
}

} // namespace kven
