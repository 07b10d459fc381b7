#include "text/ReadingDictionary.h"

#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kven {

namespace {

constexpr std::string_view kUrl = "\x82\x74\x82\x71\x82\x6b"; // ＵＲＬ
constexpr std::string_view kCapitalA = "\x82\x60";            // Ａ
constexpr std::string_view kCapitalZ = "\x82\x79";            // Ｚ
constexpr std::string_view kSmallA = "\x82\x81";              // ａ

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
    if (keys.empty())
        return;
    std::size_t total = 0;
    for (const std::string_view key : keys)
        total += key.size();
    if (total > std::numeric_limits<std::uint32_t>::max() / 2)
        throw std::length_error("reading dictionary too large");
    std::vector<std::uint32_t> offsets;
    offsets.reserve(keys.size());
    pool_.reserve(total);
    for (const std::string_view key : keys) {
        offsets.push_back(static_cast<std::uint32_t>(pool_.size()));
        pool_.append(key);
    }

    // Each node covers a run of the sorted keys that share its path of `depth` bytes; its label
    // runs on to the run's common prefix. A key that ends there is the run's first. Children
    // are appended together, so they stay consecutive. No recursion: words can be long.
    struct Work {
        std::size_t node, lo, hi, depth;
    };
    nodes_.emplace_back();
    std::vector<Work> work{{0, 0, keys.size(), 0}};
    while (!work.empty()) {
        Work w = work.back();
        work.pop_back();
        const std::string_view first = keys[w.lo];
        const std::string_view last = keys[w.hi - 1];
        std::size_t common = w.depth;
        while (common < first.size() && common < last.size() && first[common] == last[common])
            ++common;
        Node& node = nodes_[w.node];
        node.labelBegin = offsets[w.lo] + static_cast<std::uint32_t>(w.depth);
        node.labelSize = static_cast<std::uint32_t>(common - w.depth);
        if (first.size() == common) {
            node.reading = static_cast<std::int64_t>(w.lo);
            ++w.lo;
        }
        if (w.lo == w.hi)
            continue;
        const auto firstChild = static_cast<std::uint32_t>(nodes_.size());
        for (std::size_t lo = w.lo; lo < w.hi;) {
            const unsigned char b = byteAt(keys[lo], common);
            const auto next = std::partition_point(keys.begin() + static_cast<std::ptrdiff_t>(lo),
                                                   keys.begin() + static_cast<std::ptrdiff_t>(w.hi),
                                                   [&](std::string_view k) { return byteAt(k, common) <= b; });
            const auto hi = static_cast<std::size_t>(next - keys.begin());
            work.push_back({nodes_.size(), lo, hi, common});
            nodes_.emplace_back();
            lo = hi;
        }
        nodes_[w.node].firstChild = firstChild;
        nodes_[w.node].childCount = static_cast<std::uint32_t>(nodes_.size() - firstChild);
    }
}

std::size_t ReadingDictionary::longestAt(std::string_view folded, std::size_t pos, std::uint32_t& reading) const
{
    std::size_t longest = 0;
    const Node* node = &nodes_[0];
    for (std::size_t at = pos;;) {
        if (folded.size() - at < node->labelSize ||
            std::memcmp(folded.data() + at, pool_.data() + node->labelBegin, node->labelSize) != 0)
            return longest;
        at += node->labelSize;
        if (node->reading >= 0) {
            longest = at - pos;
            reading = static_cast<std::uint32_t>(node->reading);
        }
        if (node->childCount == 0 || at == folded.size())
            return longest;
        const unsigned char b = byteAt(folded, at);
        const Node* const first = nodes_.data() + node->firstChild;
        const Node* const end = first + node->childCount;
        const Node* const child = std::lower_bound(
            first, end, b, [&](const Node& n, unsigned char v) { return byteAt(pool_, n.labelBegin) < v; });
        if (child == end || byteAt(pool_, child->labelBegin) != b)
            return longest;
        node = child;
    }
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
        std::uint32_t reading = 0;
        if (const std::size_t len = nodes_.empty() ? 0 : longestAt(folded, i, reading); len != 0) {
            out.append(readings_[reading]);
            i += len;
            continue;
        }
        const std::size_t len = sjis::charLength(fullWidth, i);
        out.append(fullWidth.substr(i, len));
        i += len;
    }
    return out;
}

} // namespace kven
