#include "text/RubyBases.h"

#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

namespace {

bool standsBefore(std::string_view sjis, std::size_t open, std::string_view base)
{
    return open >= base.size() && sjis.substr(open - base.size(), base.size()) == base &&
           sjis.substr(open).starts_with(sjis::kRubyOpen);
}

} // namespace

std::vector<RubyBase> locateRubyBases(std::string_view sjis, const std::vector<std::string>& bases)
{
    std::vector<RubyBase> found;
    std::size_t next = 0;
    // Each search starts at a character start: the one after the last "《".
    for (std::size_t from = 0; from < sjis.size() && next < bases.size();) {
        const std::size_t at = findOffset(sjis.substr(from), sjis::kRubyOpen);
        if (at == npos)
            break;
        const std::size_t open = from + at;
        // One base that is not in the text (markup that conversion took apart) is skipped,
        // so that one stray does not hide every base after it.
        for (std::size_t k = next; k < std::min(next + 2, bases.size()); ++k) {
            if (standsBefore(sjis, open, bases[k])) {
                found.push_back({open, bases[k]});
                next = k + 1;
                break;
            }
        }
        from = open + sjis::kRubyOpen.size();
    }
    return found;
}

std::vector<std::size_t> rubyBaseStarts(std::string_view sjis, std::size_t from, std::size_t to,
                                        std::span<const RubyBase> known)
{
    std::vector<std::size_t> starts;
    auto it = std::lower_bound(known.begin(), known.end(), from,
                               [](const RubyBase& r, std::size_t at) { return r.open < at; });
    for (; it != known.end() && it->open < to; ++it) {
        if (it->open - from >= it->base.size() && standsBefore(sjis, it->open, it->base))
            starts.push_back(it->open - it->base.size());
    }
    return starts;
}

} // namespace kven
