#include "reading/FilterTables.h"

#include "text/Sjis.h"

#include <algorithm>
#include <cstdint>

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
    // wherever the longer one occurs, the shorter one does too.
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

    trie_ = KeyTrie(kept);
}

bool SkipListMatcher::foundIn(std::string_view text) const
{
    if (trie_.empty())
        return false;
    for (std::size_t i = 0; i < text.size(); i += sjis::charLength(text, i))
        if (trie_.shortestAt(text, i).length != 0)
            return true;
    return false;
}

} // namespace kven
