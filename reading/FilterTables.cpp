#include "reading/FilterTables.h"

#include "text/Sjis.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kven {

namespace {

unsigned char byteAt(std::string_view text, std::size_t i)
{
    return static_cast<unsigned char>(text[i]);
}

} // namespace

TalkSymbolSet::TalkSymbolSet(std::string_view talkSymbols)
{
    for (std::size_t i = 0; i < talkSymbols.size();) {
        const std::size_t len = sjis::charLength(talkSymbols, i);
        if (len == 2)
            double_.set(byteAt(talkSymbols, i) * 0x100u + byteAt(talkSymbols, i + 1));
        else
            single_.set(byteAt(talkSymbols, i));
        i += len;
    }
}

bool TalkSymbolSet::contains(std::string_view c) const
{
    if (c.size() == 2)
        return double_.test(byteAt(c, 0) * 0x100u + byteAt(c, 1));
    return c.size() == 1 && !sjis::isLeadByte(c[0]) && single_.test(byteAt(c, 0));
}

SkipListMatcher::SkipListMatcher(std::span<const std::string> entries)
{
    // Sorted, without repeats, and without any entry that has another one as its prefix:
    // wherever the longer one occurs, the shorter one does too. What is left is prefix-free,
    // so an entry ends exactly at each leaf and every inner node branches.
    // The first bytes of each entry, as a number that sorts as they do, settle most
    // comparisons without a visit to the entry itself.
    struct Keyed {
        std::uint64_t key;
        std::string_view entry;
    };
    std::vector<Keyed> sorted;
    sorted.reserve(entries.size());
    for (const std::string& e : entries) {
        if (e.empty())
            continue;
        std::uint64_t key = 0;
        for (std::size_t i = 0; i < 8; ++i)
            key = key << 8 | (i < e.size() ? byteAt(e, i) : 0u);
        sorted.push_back({key, e});
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const Keyed& a, const Keyed& b) { return a.key != b.key ? a.key < b.key : a.entry < b.entry; });
    std::vector<std::string_view> kept;
    for (const Keyed& k : sorted)
        if (kept.empty() || !k.entry.starts_with(kept.back()))
            kept.push_back(k.entry);
    if (kept.empty())
        return;

    std::size_t total = 0;
    for (const std::string_view e : kept)
        total += e.size();
    pool_.reserve(total);
    std::vector<std::size_t> offsets;
    offsets.reserve(kept.size());
    for (const std::string_view e : kept) {
        offsets.push_back(pool_.size());
        pool_.append(e);
    }
    for (std::size_t k = 0; k < kept.size(); ++k)
        kept[k] = std::string_view(pool_).substr(offsets[k], kept[k].size());

    // Each node covers a run of the sorted entries that share its path of `depth` bytes; a
    // node's children are appended together, so they stay consecutive. No recursion: a list
    // can nest as deep as its longest entry.
    struct Work {
        std::size_t node, lo, hi, depth;
    };
    nodes_.emplace_back();
    std::vector<Work> work{{0, 0, kept.size(), 0}};
    while (!work.empty()) {
        const Work w = work.back();
        work.pop_back();
        const std::string_view first = kept[w.lo];
        if (w.hi - w.lo == 1) {
            nodes_[w.node].labelBegin = offsets[w.lo] + w.depth;
            nodes_[w.node].labelSize = first.size() - w.depth;
            continue;
        }
        // Sorted, so the run's common prefix is that of its first and last entries.
        const std::string_view last = kept[w.hi - 1];
        std::size_t common = w.depth;
        while (first[common] == last[common])
            ++common;
        nodes_[w.node].labelBegin = offsets[w.lo] + w.depth;
        nodes_[w.node].labelSize = common - w.depth;
        nodes_[w.node].firstChild = nodes_.size();
        for (std::size_t lo = w.lo; lo < w.hi;) {
            const unsigned char b = byteAt(kept[lo], common);
            const auto next = std::partition_point(kept.begin() + static_cast<std::ptrdiff_t>(lo),
                                                   kept.begin() + static_cast<std::ptrdiff_t>(w.hi),
                                                   [&](std::string_view e) { return byteAt(e, common) <= b; });
            const auto hi = static_cast<std::size_t>(next - kept.begin());
            work.push_back({nodes_.size(), lo, hi, common});
            nodes_.emplace_back();
            lo = hi;
        }
        nodes_[w.node].childCount = nodes_.size() - nodes_[w.node].firstChild;
    }
}

bool SkipListMatcher::startsAt(std::string_view text, std::size_t pos) const
{
    const Node* node = &nodes_[0];
    for (;;) {
        if (text.size() - pos < node->labelSize ||
            std::memcmp(text.data() + pos, pool_.data() + node->labelBegin, node->labelSize) != 0)
            return false;
        pos += node->labelSize;
        if (node->childCount == 0)
            return true;
        if (pos == text.size())
            return false;
        const unsigned char b = byteAt(text, pos);
        const Node* const first = nodes_.data() + node->firstChild;
        const Node* const end = first + node->childCount;
        const Node* const child = std::lower_bound(
            first, end, b, [&](const Node& n, unsigned char v) { return byteAt(pool_, n.labelBegin) < v; });
        if (child == end || byteAt(pool_, child->labelBegin) != b)
            return false;
        node = child;
    }
}

bool SkipListMatcher::foundIn(std::string_view text) const
{
    if (nodes_.empty())
        return false;
    for (std::size_t i = 0; i < text.size(); i += sjis::charLength(text, i))
        if (startsAt(text, i))
            return true;
    return false;
}

} // namespace kven
