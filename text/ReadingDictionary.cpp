#include "text/ReadingDictionary.h"

#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace kven {

namespace {

constexpr std::string_view kUrl = "\x82\x74\x82\x71\x82\x6b"; // ＵＲＬ
constexpr std::string_view kCapitalA = "\x82\x60";            // Ａ
constexpr std::string_view kCapitalZ = "\x82\x79";            // Ｚ
constexpr std::string_view kSmallA = "\x82\x81";              // ａ
constexpr std::string_view kSmallZ = "\x82\x9a";              // ｚ

unsigned char byteAt(std::string_view text, std::size_t i)
{
    return static_cast<unsigned char>(text[i]);
}

unsigned codeAt(std::string_view text, std::size_t i)
{
    return byteAt(text, i) * 0x100u + byteAt(text, i + 1);
}

// Web addresses in the folded full-width form of a chunk: how they begin, the characters
// they are made of, and those that end a sentence rather than the address.
struct UrlForm {
    std::array<std::string, 3> starts;
    std::bitset<0x10000> chars;
    std::bitset<0x10000> trailing;
};

UrlForm buildUrlForm()
{
    UrlForm form;
    const auto wide = [](std::string_view ascii) { return foldLatinCase(toFullWidth(ascii, npos)); };
    form.starts = {wide("http://"), wide("https://"), wide("www.")};
    const std::string chars = wide("abcdefghijklmnopqrstuvwxyz0123456789-._~:/?#@!$&'*+,;=%");
    for (std::size_t i = 0; i + 1 < chars.size(); i += 2)
        form.chars.set(codeAt(chars, i));
    const std::string trailing = wide(".,:;!?'");
    for (std::size_t i = 0; i + 1 < trailing.size(); i += 2)
        form.trailing.set(codeAt(trailing, i));
    return form;
}

const UrlForm& urlForm()
{
    static const UrlForm form = buildUrlForm();
    return form;
}

// End of the web address at `pos` of the folded text; 0 when none starts there. Punctuation
// at its end belongs to the sentence.
std::size_t urlEndAt(std::string_view folded, std::size_t pos)
{
    const UrlForm& form = urlForm();
    for (const std::string& start : form.starts) {
        if (!folded.substr(pos).starts_with(start))
            continue;
        const std::size_t body = pos + start.size();
        std::size_t end = body;
        std::size_t kept = body;
        while (end + 1 < folded.size() && sjis::isLeadByte(folded[end]) && form.chars.test(codeAt(folded, end))) {
            const bool trailing = form.trailing.test(codeAt(folded, end));
            end += 2;
            if (!trailing)
                kept = end;
        }
        if (kept > body)
            return kept;
    }
    return 0;
}

} // namespace

namespace {

// Whether a full-width small Latin letter (of the folded text) begins at `at`. Callers look at
// character starts only; a letter's two bytes never begin inside another character.
bool isSmallLatin(std::string_view folded, std::size_t at)
{
    if (at + 2 > folded.size())
        return false;
    const std::string_view c = folded.substr(at, 2);
    return c >= kSmallA && c <= kSmallZ;
}

// Whether the characters on both sides of `at` are Latin letters of one word: a word of the
// dictionary that begins or ends there with a Latin letter is then no whole word ("html" is no
// part of "xhtml"). A capital after a small letter begins a word of its own, as in
// "AddDefaultCharset".
bool joinsLatin(std::string_view fullWidth, std::string_view folded, std::size_t at)
{
    if (at < 2 || !isSmallLatin(folded, at - 2) || !isSmallLatin(folded, at))
        return false;
    const bool smallBefore = isSmallLatin(fullWidth, at - 2);
    const bool capitalAfter = !isSmallLatin(fullWidth, at);
    return !(smallBefore && capitalAfter);
}

} // namespace

std::string foldLatinCase(std::string_view text)
{
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        const std::size_t len = sjis::charLength(out, i);
        const std::string_view c = std::string_view(out).substr(i, len);
        if (len == 2 && c >= kCapitalA && c <= kCapitalZ)
            out[i + 1] = static_cast<char>(byteAt(out, i + 1) + (byteAt(kSmallA, 1) - byteAt(kCapitalA, 1)));
        i += len;
    }
    return out;
}

ReadingDictionary::ReadingDictionary(std::span<const Entry> entries)
{
    struct Word {
        std::string key;
        std::size_t order;
    };
    std::vector<Word> words;
    words.reserve(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        std::string key = foldLatinCase(toFullWidth(entries[k].written, npos));
        if (!key.empty())
            words.push_back({std::move(key), k});
    }
    std::sort(words.begin(), words.end(),
              [](const Word& a, const Word& b) { return a.key != b.key ? a.key < b.key : a.order < b.order; });
    // Of words written alike the last one stays.
    std::vector<std::string_view> keys;
    keys.reserve(words.size());
    for (std::size_t k = 0; k < words.size(); ++k) {
        if (k + 1 < words.size() && words[k + 1].key == words[k].key)
            continue;
        keys.push_back(words[k].key);
        readings_.push_back(toFullWidth(entries[words[k].order].reading, npos));
    }
    trie_ = KeyTrie(keys);
}

std::string ReadingDictionary::apply(std::string_view fullWidth) const
{
    const std::string folded = foldLatinCase(fullWidth);
    std::string out;
    out.reserve(fullWidth.size());
    for (std::size_t i = 0; i < fullWidth.size();) {
        if (const std::size_t end = urlEndAt(folded, i); end != 0) {
            out.append(kUrl);
            i = end;
            continue;
        }
        // A word starts at a character start and, its bytes being whole characters, ends at one.
        if (const KeyTrie::Match word = trie_.longestAt(folded, i);
            word.length != 0 && !joinsLatin(fullWidth, folded, i) && !joinsLatin(fullWidth, folded, i + word.length)) {
            out.append(readings_[word.key]);
            i += word.length;
            continue;
        }
        const std::size_t len = sjis::charLength(fullWidth, i);
        out.append(fullWidth.substr(i, len));
        i += len;
    }
    return out;
}

} // namespace kven
