#pragma once
// A compact trie of byte strings (one node per branch, not per byte), walked from a place in
// a text: a walk costs at most the length of the longest key met there, never the number of
// keys. The skip list and the reading dictionary look their entries up in one.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

class KeyTrie {
public:
    KeyTrie() = default;
    // `keys` sorted, without repeats, none empty; each is known by its index. Throws
    // std::length_error when they hold more than 2 GiB together.
    explicit KeyTrie(std::span<const std::string_view> keys);

    bool empty() const { return nodes_.empty(); }

    struct Match {
        std::size_t length = 0; // 0: no key starts there
        std::uint32_t key = 0;
    };
    // The shortest and the longest key that start at `pos` of `text`.
    Match shortestAt(std::string_view text, std::size_t pos) const { return walk(text, pos, false); }
    Match longestAt(std::string_view text, std::size_t pos) const { return walk(text, pos, true); }

private:
    Match walk(std::string_view text, std::size_t pos, bool longest) const;

    struct Node {
        std::uint32_t labelBegin = 0; // the bytes on the way into this node, in pool_
        std::uint32_t labelSize = 0;
        std::uint32_t firstChild = 0; // children are consecutive, by the first byte of their label
        std::uint32_t childCount = 0;
        std::int64_t key = -1; // the key that ends here, if any
    };
    std::string pool_;
    std::vector<Node> nodes_; // nodes_[0] is the root; empty without keys
};

} // namespace kven
