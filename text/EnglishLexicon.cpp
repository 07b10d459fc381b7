#include "text/EnglishLexicon.h"

#include "text/LoanKana.h"
#include "text/LoanWords.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>

namespace kven {

namespace {

// A lexicon file larger than this is not one, nor a loan-word file larger than the second
// (skkdic's is 4.5 MB).
constexpr std::streamoff kMaxFileSize = 64 << 20;
constexpr std::streamoff kMaxLoanWordsFileSize = 16 << 20;
// The longest English word a loan word is taken for.
constexpr std::size_t kMaxLoanWordLetters = 64;

bool isWord(std::string_view word)
{
    return !word.empty() && word.size() <= std::numeric_limits<std::uint16_t>::max() &&
           std::ranges::all_of(word, [](char c) { return c >= 'a' && c <= 'z'; });
}

// The sounds of one entry after its word: the atoms four parentheses deep are the phones of a
// syllable, and the atom that follows them, three deep, its stress. Empty when a phone is not
// one of the set.
std::vector<Sound> soundsOf(std::string_view rest)
{
    std::vector<Sound> sounds;
    std::size_t syllableStart = 0;
    int depth = 1;
    std::size_t i = 0;
    while (i < rest.size() && depth > 0) {
        const char c = rest[i];
        if (c == '(' || c == ')') {
            depth += c == '(' ? 1 : -1;
            ++i;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        const std::size_t end = rest.find_first_of(" \t\r()", i);
        const std::string_view atom = rest.substr(i, end - i);
        i = end == std::string_view::npos ? rest.size() : end;
        if (depth == 4) {
            const std::optional<Phone> phone = phoneNamed(atom);
            if (!phone)
                return {};
            sounds.push_back({*phone, false});
        } else if (depth == 3) {
            for (std::size_t k = syllableStart; k < sounds.size(); ++k)
                sounds[k].stressed = atom != "0";
            syllableStart = sounds.size();
        }
    }
    return sounds;
}

} // namespace

EnglishLexicon::EnglishLexicon(std::string_view lexicon) : EnglishLexicon(lexicon, {})
{
}

EnglishLexicon::EnglishLexicon(std::string_view lexicon, std::string_view loanWords)
{
    // At most one word a line: a table of twice the lines never fills beyond half.
    const auto lines = static_cast<std::size_t>(std::ranges::count(lexicon, '\n') + 1) +
                       static_cast<std::size_t>(std::ranges::count(loanWords, '\n') + 1);
    std::size_t slots = 2;
    while (slots < 2 * lines)
        slots *= 2;
    slots_.assign(slots, 0);
    readPronunciations(lexicon);
    readLoanWords(loanWords);
    entries_.shrink_to_fit();
    words_.shrink_to_fit();
    kana_.shrink_to_fit();
}

bool EnglishLexicon::add(std::size_t slot, std::string_view word, std::string_view kana)
{
    if (kana.empty() || kana.size() > std::numeric_limits<std::uint16_t>::max() ||
        words_.size() + kana_.size() + word.size() + kana.size() > std::numeric_limits<std::uint32_t>::max() / 2)
        return false;
    entries_.push_back({static_cast<std::uint32_t>(words_.size()), static_cast<std::uint32_t>(kana_.size()),
                        static_cast<std::uint16_t>(word.size()), static_cast<std::uint16_t>(kana.size()), false});
    slots_[slot] = static_cast<std::uint32_t>(entries_.size());
    words_ += word;
    kana_ += kana;
    return true;
}

void EnglishLexicon::readPronunciations(std::string_view lexicon)
{
    std::size_t lineStart = 0;
    while (lineStart < lexicon.size()) {
        std::size_t lineEnd = lexicon.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = lexicon.size();
        const std::string_view line = lexicon.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!line.starts_with("(\""))
            continue;
        const std::size_t quote = line.find('"', 2);
        if (quote == std::string_view::npos || !isWord(line.substr(2, quote - 2)))
            continue;
        const std::string_view word = line.substr(2, quote - 2);
        const std::size_t slot = slotOf(word);
        if (slots_[slot] != 0)
            continue; // of a word given twice, the first
        add(slot, word, loanKana(word, soundsOf(line.substr(quote + 1))));
    }
}

void EnglishLexicon::readLoanWords(std::string_view loanWords)
{
    // The words a loan word was taken for, and those whose line was looked at: of a word given
    // twice, the first line counts, so that a file of one word again and again costs no more
    // than its bytes.
    std::vector<bool> taken(entries_.size(), false);
    std::vector<bool> looked(entries_.size(), false);
    // The words as their pronunciations say them.
    const std::vector<Entry> before = entries_;
    std::size_t lineStart = 0;
    while (lineStart < loanWords.size()) {
        std::size_t lineEnd = loanWords.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = loanWords.size();
        std::string_view line = loanWords.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        // "character /キャラクター/キャラクタ/": a word of small letters, a blank and a slash.
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos || blank > kMaxLoanWordLetters || !isWord(line.substr(0, blank)) ||
            line.substr(blank + 1, 1) != "/")
            continue;
        const std::string_view word = line.substr(0, blank);
        const std::size_t slot = slotOf(word);
        const std::uint32_t entry = slots_[slot];
        if (entry != 0 && looked[entry - 1])
            continue;
        if (entry != 0)
            looked[entry - 1] = true;
        const std::string_view pronounced = entry != 0 ? kana(word) : std::string_view();
        const std::string loan = loanWordFor(word, line.substr(blank + 2), pronounced);
        if (loan.empty() || loan == pronounced)
            continue;
        if (entry == 0) {
            if (add(slot, word, loan)) {
                entries_.back().loan = true;
                taken.push_back(true);
                looked.push_back(true);
            }
            continue;
        }
        // The word keeps its place; its kana are the loan word's now.
        if (kana_.size() + loan.size() > std::numeric_limits<std::uint32_t>::max() / 2)
            continue;
        Entry& e = entries_[entry - 1];
        e.kana = static_cast<std::uint32_t>(kana_.size());
        e.kanaLength = static_cast<std::uint16_t>(loan.size());
        e.loan = true;
        kana_ += loan;
        taken[entry - 1] = true;
    }
    // A plural the loan words lack is said as its singular with the "s" its pronunciation ends
    // in: the singular's loan word ("characters" キャラクターズ, "texts" テキスツ), else its
    // pronunciation, which the kana rules get right more often ("examples" エグザンプルズ).
    // "-es" after a hissing sound, which a loan word would say otherwise, and "-oes" ("does")
    // are left as pronounced.
    constexpr std::string_view kZu = "\x83\x59";  // ズ
    constexpr std::string_view kSu = "\x83\x58";  // ス
    constexpr std::string_view kTsu = "\x83\x63"; // ツ
    constexpr std::string_view kTo = "\x83\x67";  // ト
    constexpr std::string_view kDo = "\x83\x68";  // ド
    std::string stem;
    for (std::size_t k = 0; k < before.size(); ++k) {
        const std::string_view word = wordOf(entries_[k]);
        if (taken[k] || word.size() < 4 || !word.ends_with('s') || word.ends_with("ss") || word.ends_with("ses") ||
            word.ends_with("xes") || word.ends_with("zes") || word.ends_with("hes") || word.ends_with("ces") ||
            word.ends_with("ges") || word.ends_with("oes"))
            continue;
        if (word.ends_with("ies"))
            stem.assign(word.substr(0, word.size() - 3)).append("y");
        else
            stem.assign(word.substr(0, word.size() - 1));
        const std::uint32_t stemEntry = slots_[slotOf(stem)];
        // The pronouncing dictionary holds fragments and names that end a word in "s" without
        // being its singular ("this": "thi", "thus": "thu"); a singular it alone has is taken
        // only where it is a longer word and the "s" does not close "-is" or "-us".
        if (stemEntry == 0 ||
            (!taken[stemEntry - 1] && (stem.size() < 4 || word.ends_with("is") || word.ends_with("us"))))
            continue;
        const std::string_view plural = kanaOf(before[k]);
        std::string loan(kanaOf(entries_[stemEntry - 1]));
        if (plural.ends_with(kTsu) && loan.ends_with(kTo))
            loan.replace(loan.size() - kTo.size(), kTo.size(), kTsu);
        else if (plural.ends_with(kZu) && loan.ends_with(kDo)) // "hands" ハンズ
            loan.replace(loan.size() - kDo.size(), kDo.size(), kZu);
        else if (plural.ends_with(kZu) || plural.ends_with(kSu))
            loan += plural.substr(plural.size() - kZu.size());
        else
            continue;
        if (loan == plural || loan.size() > std::numeric_limits<std::uint16_t>::max() ||
            kana_.size() + loan.size() > std::numeric_limits<std::uint32_t>::max() / 2)
            continue;
        entries_[k].kana = static_cast<std::uint32_t>(kana_.size());
        entries_[k].kanaLength = static_cast<std::uint16_t>(loan.size());
        entries_[k].loan = taken[stemEntry - 1];
        kana_ += loan;
    }
}

namespace {

// The text of the file at `path`; nothing when it cannot be read or is larger than `limit`.
std::optional<std::string> fileText(const std::string& path, std::streamoff limit)
{
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.seekg(0, std::ios::end))
        return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0 || size > limit || !in.seekg(0))
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size))
        return std::nullopt;
    return text;
}

} // namespace

EnglishLexicon EnglishLexicon::fromFile(const std::string& path)
{
    const std::optional<std::string> text = fileText(path, kMaxFileSize);
    return text ? EnglishLexicon(*text) : EnglishLexicon();
}

EnglishLexicon EnglishLexicon::fromFiles(const std::string& path, const std::string& loanWordsPath)
{
    return EnglishLexicon(fileText(path, kMaxFileSize).value_or(std::string()),
                          fileText(loanWordsPath, kMaxLoanWordsFileSize).value_or(std::string()));
}

const EnglishLexicon& EnglishLexicon::installed()
{
    static const EnglishLexicon lexicon = fromFiles(std::string(kDefaultPath), std::string(kLoanWordsPath));
    return lexicon;
}

std::size_t EnglishLexicon::slotOf(std::string_view word) const
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : word)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask)
        if (slots_[slot] == 0 || wordOf(entries_[slots_[slot] - 1]) == word)
            return slot;
}

std::string_view EnglishLexicon::kana(std::string_view word) const
{
    if (slots_.empty())
        return {};
    const std::uint32_t entry = slots_[slotOf(word)];
    if (entry == 0)
        return {};
    const Entry& e = entries_[entry - 1];
    return std::string_view(kana_).substr(e.kana, e.kanaLength);
}

bool EnglishLexicon::isLoanWord(std::string_view word) const
{
    if (slots_.empty())
        return false;
    const std::uint32_t entry = slots_[slotOf(word)];
    return entry != 0 && entries_[entry - 1].loan;
}

} // namespace kven
