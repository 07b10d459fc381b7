#include "text/EnglishLexicon.h"

#include "text/LoanKana.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>

namespace kven {

namespace {

// A lexicon file larger than this is not one.
constexpr std::streamoff kMaxFileSize = 64 << 20;

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

EnglishLexicon::EnglishLexicon(std::string_view lexicon)
{
    // At most one word a line: a table of twice the lines never fills beyond half.
    std::size_t slots = 2;
    while (slots < 2 * static_cast<std::size_t>(std::ranges::count(lexicon, '\n') + 1))
        slots *= 2;
    slots_.assign(slots, 0);
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
        const std::string kana = loanKana(word, soundsOf(line.substr(quote + 1)));
        if (kana.empty() || kana.size() > std::numeric_limits<std::uint16_t>::max() ||
            words_.size() + kana_.size() > std::numeric_limits<std::uint32_t>::max() / 2)
            continue;
        entries_.push_back({static_cast<std::uint32_t>(words_.size()), static_cast<std::uint32_t>(kana_.size()),
                            static_cast<std::uint16_t>(word.size()), static_cast<std::uint16_t>(kana.size())});
        slots_[slot] = static_cast<std::uint32_t>(entries_.size());
        words_ += word;
        kana_ += kana;
    }
    entries_.shrink_to_fit();
    words_.shrink_to_fit();
    kana_.shrink_to_fit();
}

EnglishLexicon EnglishLexicon::fromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.seekg(0, std::ios::end))
        return {};
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileSize || !in.seekg(0))
        return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size))
        return {};
    return EnglishLexicon(text);
}

const EnglishLexicon& EnglishLexicon::installed()
{
    static const EnglishLexicon lexicon = fromFile(std::string(kDefaultPath));
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

} // namespace kven
