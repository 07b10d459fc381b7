#include "text/KeyTrie.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kven {

namespace {

unsigned char byteAt(std::string_view text, std::size_t i)
{
    return static_cast<unsigned char>(text[i]);
}

} // namespace

KeyTrie::KeyTrie(std::span<const std::string_view> keys)
{
    if (keys.empty())
        return;
    std::size_t total = 0;
    for (const std::string_view key : keys)
        total += key.size();
    if (total > std::numeric_limits<std::uint32_t>::max() / 2)
        throw std::length_error("key trie too large");
    std::vector<std::uint32_t> offsets;
    offsets.reserve(keys.size());
    pool_.reserve(total);
    for (const std::string_view key : keys) {
        offsets.push_back(static_cast<std::uint32_t>(pool_.size()));
        pool_.append(key);
    }

    // Each node covers a run of the sorted keys that share its path of `depth` bytes; its label
    // runs on to the run's common prefix. A key that ends there is the run's first. Children
    // are appended together, so they stay consecutive. No recursion: keys can be long.
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
            node.key = static_cast<std::int64_t>(w.lo);
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

KeyTrie::Match KeyTrie::walk(std::string_view text, std::size_t pos, bool longest) const
{
    Match match;
    if (nodes_.empty())
        return match;
    const Node* node = &nodes_[0];
    for (std::size_t at = pos;;) {
        if (text.size() - at < node->labelSize ||
            std::memcmp(text.data() + at, pool_.data() + node->labelBegin, node->labelSize) != 0)
            return match;
        at += node->labelSize;
        if (node->key >= 0) {
            match = {at - pos, static_cast<std::uint32_t>(node->key)};
            if (!longest)
                return match;
        }
        if (node->childCount == 0 || at == text.size())
            return match;
        const unsigned char b = byteAt(text, at);
        const Node* const first = nodes_.data() + node->firstChild;
        const Node* const end = first + node->childCount;
        const Node* const child = std::lower_bound(
            first, end, b, [&](const Node& n, unsigned char v) { return byteAt(pool_, n.labelBegin) < v; });
        if (child == end || byteAt(pool_, child->labelBegin) != b)
            return match;
        node = child;
    }
}

} // namespace kven
