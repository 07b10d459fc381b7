#include "text/LoanKana.h"

#include <array>
#include <vector>

namespace kven {

namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr std::array<std::string_view, 40> kNames = {"aa", "ae", "ah", "ao", "aw", "ax", "ay", "eh", "er", "ey",
                                                     "ih", "iy", "ow", "oy", "uh", "uw", "b",  "ch", "d",  "dh",
                                                     "f",  "g",  "hh", "jh", "k",  "l",  "m",  "n",  "ng", "p",
                                                     "r",  "s",  "sh", "t",  "th", "v",  "w",  "y",  "z",  "zh"};

bool isVowel(Phone p)
{
    return p <= Phone::uw;
}

// The vowel columns of the kana table.
enum Column : std::uint8_t { A, I, U, E, O };

// A consonant's kana before each vowel column, and alone (before another consonant or at the
// end, with the vowel a loan word adds there).
struct Row {
    std::array<std::u16string_view, 5> before;
    std::u16string_view alone;
};

constexpr Row kNoConsonant = {{u"ア", u"イ", u"ウ", u"エ", u"オ"}, u""};
// From Phone::b on, in the order of the enumeration; th and dh as s and z, v as b, as Japanese
// writes them.
constexpr std::array<Row, 24> kRows = {{
    {{u"バ", u"ビ", u"ブ", u"ベ", u"ボ"}, u"ブ"},             // b
    {{u"チャ", u"チ", u"チュ", u"チェ", u"チョ"}, u"チ"},     // ch
    {{u"ダ", u"ディ", u"ドゥ", u"デ", u"ド"}, u"ド"},         // d
    {{u"ザ", u"ジ", u"ズ", u"ゼ", u"ゾ"}, u"ズ"},             // dh
    {{u"ファ", u"フィ", u"フ", u"フェ", u"フォ"}, u"フ"},     // f
    {{u"ガ", u"ギ", u"グ", u"ゲ", u"ゴ"}, u"グ"},             // g
    {{u"ハ", u"ヒ", u"フ", u"ヘ", u"ホ"}, u"フ"},             // hh
    {{u"ジャ", u"ジ", u"ジュ", u"ジェ", u"ジョ"}, u"ジ"},     // jh
    {{u"カ", u"キ", u"ク", u"ケ", u"コ"}, u"ク"},             // k
    {{u"ラ", u"リ", u"ル", u"レ", u"ロ"}, u"ル"},             // l
    {{u"マ", u"ミ", u"ム", u"メ", u"モ"}, u"ム"},             // m
    {{u"ナ", u"ニ", u"ヌ", u"ネ", u"ノ"}, u"ン"},             // n
    {{u"ンガ", u"ンギ", u"ング", u"ンゲ", u"ンゴ"}, u"ング"}, // ng
    {{u"パ", u"ピ", u"プ", u"ペ", u"ポ"}, u"プ"},             // p
    {{u"ラ", u"リ", u"ル", u"レ", u"ロ"}, u"ル"},             // r
    {{u"サ", u"シ", u"ス", u"セ", u"ソ"}, u"ス"},             // s
    {{u"シャ", u"シ", u"シュ", u"シェ", u"ショ"}, u"シュ"},   // sh
    {{u"タ", u"ティ", u"トゥ", u"テ", u"ト"}, u"ト"},         // t
    {{u"サ", u"シ", u"ス", u"セ", u"ソ"}, u"ス"},             // th
    {{u"バ", u"ビ", u"ブ", u"ベ", u"ボ"}, u"ブ"},             // v
    {{u"ワ", u"ウィ", u"ウ", u"ウェ", u"ウォ"}, u"ウ"},       // w
    {{u"ヤ", u"イ", u"ユ", u"イェ", u"ヨ"}, u"イ"},           // y
    {{u"ザ", u"ジ", u"ズ", u"ゼ", u"ゾ"}, u"ズ"},             // z
    {{u"ジャ", u"ジ", u"ジュ", u"ジェ", u"ジョ"}, u"ジュ"},   // zh
}};

const Row& rowOf(Phone p)
{
    return kRows[static_cast<std::size_t>(p) - static_cast<std::size_t>(Phone::b)];
}

constexpr char16_t kLong = u'ー';
constexpr char16_t kSmallTsu = u'ッ';

// What a vowel says: its column and what follows it ("ー", "イ"...).
struct Vowel {
    Column column = A;
    std::u16string_view tail;
};

// For each vowel letter group of `spelling` ("a", "ea", "io"...), its last letter: the one a
// reduced vowel is written after ("station", "ocean"). A final lone "e" after a consonant is
// silent and has no group.
std::vector<char> vowelLetters(std::string_view spelling)
{
    const auto vowelLetter = [&](std::size_t i) {
        const char c = spelling[i];
        if (c == 'y')
            return i > 0 && (i + 1 == spelling.size() || std::string_view("aeiou").find(spelling[i + 1]) == npos);
        return std::string_view("aeiou").find(c) != npos;
    };
    std::vector<char> groups;
    bool inGroup = false;
    for (std::size_t i = 0; i < spelling.size(); ++i) {
        const bool v = vowelLetter(i);
        if (v && inGroup)
            groups.back() = spelling[i];
        else if (v)
            groups.push_back(spelling[i]);
        inGroup = v;
    }
    const std::size_t n = spelling.size();
    if (n >= 3 && spelling[n - 1] == 'e' && !vowelLetter(n - 2) && groups.size() > 1)
        groups.pop_back();
    return groups;
}

// The whole of one word: its sounds, which of them are silent, and the spelling's hints.
class Word {
public:
    Word(std::string_view spelling, std::span<const Sound> sounds);
    std::u16string kana() const;

private:
    bool vowelAt(std::size_t i) const { return i < sounds_.size() && isVowel(sounds_[i].phone) && i != silent_; }
    bool lastAt(std::size_t i) const { return i + 1 == sounds_.size(); }
    Phone at(std::size_t i) const { return sounds_[i].phone; }
    Vowel vowel(std::size_t i, std::size_t index) const;
    bool palatal(std::size_t consonant) const;
    bool rubyLike(std::size_t i) const
    {
        const std::size_t n = spelling_.size();
        return i + 3 == sounds_.size() && at(i + 2) == Phone::iy && n >= 3 && spelling_[n - 1] == 'y' &&
               spelling_[n - 3] == 'u';
    }
    void consonant(std::u16string& out, std::size_t i, std::size_t& next) const;
    void syllable(std::u16string& out, std::size_t i, const Vowel& v) const;

    std::string_view spelling_;
    std::span<const Sound> sounds_;
    std::vector<char> letters_; // one per vowel when the spelling's groups match them, else none
    std::size_t silent_ = npos; // the schwa of a final "-le" ("table"), which the kana leave out
    std::size_t vowels_ = 0;
    // Found once, so that a word of any length is said in time linear in its sounds.
    std::size_t lastVowel_ = npos;
    bool spelledIo_ = false; // "-tion", "-sion"
};

Word::Word(std::string_view spelling, std::span<const Sound> sounds) : spelling_(spelling), sounds_(sounds)
{
    const std::size_t n = sounds.size();
    if (n >= 3 && spelling.ends_with("le") && at(n - 1) == Phone::l && at(n - 2) == Phone::ax && !isVowel(at(n - 3)))
        silent_ = n - 2;
    for (std::size_t i = 0; i < n; ++i) {
        vowels_ += vowelAt(i) ? 1 : 0;
        lastVowel_ = vowelAt(i) ? i : lastVowel_;
    }
    spelledIo_ = spelling.find("io") != npos;
    letters_ = vowelLetters(spelling);
    // The "e" of a silent "-le" has no group either ("article": a, i).
    if (letters_.size() != vowels_)
        letters_.clear();
}

Vowel Word::vowel(std::size_t i, std::size_t index) const
{
    const char letter = index < letters_.size() ? letters_[index] : '\0';
    const bool lastVowel = lastVowel_ == npos || lastVowel_ <= i;
    // A long vowel stays long where it is stressed or ends the word, and not before another.
    const bool long_ = (sounds_[i].stressed || vowels_ == 1 || lastVowel) && !vowelAt(i + 1);
    const std::u16string_view longTail = long_ ? u"ー" : u"";
    switch (at(i)) {
    case Phone::aa: return {letter == 'o' ? O : A, {}};
    case Phone::ao: return {O, longTail};
    case Phone::aw: return {A, u"ウ"};
    case Phone::ax:
        // "-tion", "-sion" whatever the other letters; a final one as "a" ("the", "data").
        if (i > 0 && (at(i - 1) == Phone::sh || at(i - 1) == Phone::zh) && spelledIo_)
            return {O, {}};
        switch (lastAt(i) ? 'a' : letter) {
        case 'e': return {E, {}};
        case 'i':
        case 'y': return {I, {}};
        case 'o': return {O, {}};
        default: return {A, {}};
        }
    case Phone::ay: return {A, u"イ"};
    case Phone::eh: return {E, {}};
    case Phone::er: // "server", "information": サーバー, インフォーメーション; "original": オリ
        return {letter == 'o' && !sounds_[i].stressed && !lastVowel ? O : A, vowelAt(i + 1) ? u"" : u"ー"};
    case Phone::ey:
        return {E, i + 1 < sounds_.size() && (at(i + 1) == Phone::n || at(i + 1) == Phone::ng) ? u"" : u"ー"};
    case Phone::ih: {
        // An unstressed "e" keeps its letter ("market"), but not the prefix "re-" nor "-es", "-ed".
        const bool prefix = index == 0 && spelling_.starts_with("re");
        const bool suffix = lastVowel && (spelling_.ends_with("es") || spelling_.ends_with("ed"));
        return {letter == 'e' && !sounds_[i].stressed && !prefix && !suffix ? E : I, {}};
    }
    case Phone::iy: return {I, longTail};
    case Phone::ow: return {O, longTail};
    case Phone::oy: return {O, u"イ"};
    case Phone::uh: return {U, {}};
    case Phone::uw: // "ruby", "study": a lone "u" before one consonant and a final "y" is short
        return {U, letter == 'u' && rubyLike(i) ? u"" : longTail};
    default: return {A, {}}; // ae, ah
    }
}

// Whether the consonant at `consonant`, before "y" and a "u" sound, joins them as one kana
// with a small yu ("computer", "regular": ピュ, ギュ).
bool Word::palatal(std::size_t consonant) const
{
    const Phone p = at(consonant);
    if (p == Phone::y || p == Phone::w || isVowel(p) || consonant + 2 >= sounds_.size() ||
        at(consonant + 1) != Phone::y || !vowelAt(consonant + 2))
        return false;
    const Phone v = at(consonant + 2);
    // "configuration": ギュ before the "r" of the vowel that follows
    const bool erOnset = v == Phone::er && vowelAt(consonant + 3);
    return (v == Phone::uw || v == Phone::uh || v == Phone::ax || erOnset) && rowOf(p).before[I].size() == 1;
}

void Word::syllable(std::u16string& out, std::size_t i, const Vowel& v) const
{
    // An "r" sound before a vowel starts the next syllable: "original", "rendering".
    if (i > 0 && at(i - 1) == Phone::er && vowelAt(i - 1)) {
        out += rowOf(Phone::r).before[v.column];
        out += v.tail;
        return;
    }
    const bool onset = i > 0 && !isVowel(at(i - 1));
    if (onset && at(i - 1) == Phone::y && i >= 2 && palatal(i - 2)) {
        out += rowOf(at(i - 2)).before[I];
        out += u'ュ';
    } else if (onset && at(i) == Phone::ae && (at(i - 1) == Phone::k || at(i - 1) == Phone::g)) {
        out += rowOf(at(i - 1)).before[I]; // "cash", "gap": キャ, ギャ
        out += u'ャ';
    } else {
        out += (onset ? rowOf(at(i - 1)) : kNoConsonant).before[v.column];
    }
    out += v.tail;
}

// Appends the consonant at `i` that no vowel follows, with the vowel a loan word adds; `next`
// steps past a consonant it takes along.
void Word::consonant(std::u16string& out, std::size_t i, std::size_t& next) const
{
    const Phone p = at(i);
    const bool after = i > 0 && vowelAt(i - 1);
    const Phone before = after ? at(i - 1) : p;
    if (p == Phone::r && after) {
        // "car", "port": a longer vowel; "air", "tour": an "a" more.
        if (before == Phone::aa || before == Phone::ao || before == Phone::ow || before == Phone::er) {
            if (!out.empty() && out.back() != kLong)
                out += kLong;
        } else {
            out += lastAt(i) ? u"アー" : u"ア";
        }
        return;
    }
    const bool lax =
        after && (before == Phone::aa || before == Phone::ae || before == Phone::ah || before == Phone::ax ||
                  before == Phone::eh || before == Phone::ih || before == Phone::uh);
    const bool stop = p == Phone::p || p == Phone::t || p == Phone::k || p == Phone::ch || p == Phone::sh ||
                      p == Phone::d || p == Phone::g || p == Phone::jh;
    const bool ending = lastAt(i) || (i + 2 == sounds_.size() && (at(i + 1) == Phone::s || at(i + 1) == Phone::z));
    if (lax && stop && ending)
        out += kSmallTsu; // "back", "cats", "bed": バック, キャッツ, ベッド
    const std::optional<Phone> following = lastAt(i) ? std::nullopt : std::optional(at(i + 1));
    if ((p == Phone::t && following == Phone::s) || (p == Phone::d && following == Phone::z)) {
        if (i + 2 == sounds_.size() || !vowelAt(i + 2)) {
            out += p == Phone::t ? u"ツ" : u"ズ";
            ++next;
            return;
        }
    }
    if ((p == Phone::m && (following == Phone::p || following == Phone::b || following == Phone::m)) ||
        (p == Phone::ng && (following == Phone::k || following == Phone::g))) {
        out += u'ン';
        return;
    }
    out += rowOf(p).alone;
}

std::u16string Word::kana() const
{
    std::u16string out;
    std::size_t index = 0; // of the vowel, among the spelling's vowel letter groups
    for (std::size_t i = 0; i < sounds_.size(); ++i) {
        if (i == silent_)
            continue;
        if (vowelAt(i)) {
            syllable(out, i, vowel(i, index++));
            continue;
        }
        // An onset is said with the vowel after it.
        if (vowelAt(i + 1) || palatal(i))
            continue;
        consonant(out, i, i);
    }
    return out;
}

// Katakana, the long mark and the small letters in Shift_JIS.
void appendSjis(std::string& out, char16_t c)
{
    if (c == kLong) {
        out += "\x81\x5b"; // ー
        return;
    }
    // ァ (U+30A1) .. ヶ (U+30F6) run from 0x8340 on, without the trail byte 0x7F.
    unsigned code = 0x8340u + (c - u'ァ');
    if (code >= 0x837Fu)
        ++code;
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFFu);
}

// Every sound of the pronouncing data is named, so the name is found by its letters at once.
constexpr std::size_t nameKey(char first, char second)
{
    return static_cast<std::size_t>(first - 'a') * 27 +
           (second == '\0' ? 0 : static_cast<std::size_t>(second - 'a') + 1);
}

constexpr std::array<std::uint8_t, 26 * 27> makeNameKeys()
{
    std::array<std::uint8_t, 26 * 27> keys{};
    for (std::size_t i = 0; i < kNames.size(); ++i)
        keys[nameKey(kNames[i][0], kNames[i].size() > 1 ? kNames[i][1] : '\0')] = static_cast<std::uint8_t>(i + 1);
    return keys;
}

constexpr std::array<std::uint8_t, 26 * 27> kNameKeys = makeNameKeys();

} // namespace

std::optional<Phone> phoneNamed(std::string_view name)
{
    const auto letter = [](char c) { return c >= 'a' && c <= 'z'; };
    if (name.empty() || name.size() > 2 || !letter(name[0]) || (name.size() == 2 && !letter(name[1])))
        return std::nullopt;
    const std::uint8_t index = kNameKeys[nameKey(name[0], name.size() == 2 ? name[1] : '\0')];
    return index == 0 ? std::nullopt : std::optional(static_cast<Phone>(index - 1));
}

std::string loanKana(std::string_view spelling, std::span<const Sound> sounds)
{
    const std::u16string kana = Word(spelling, sounds).kana();
    std::string out;
    out.reserve(kana.size() * 2);
    for (const char16_t c : kana)
        appendSjis(out, c);
    return out;
}

} // namespace kven
