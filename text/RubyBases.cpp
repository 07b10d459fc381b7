#include "text/RubyBases.h"

#include "text/Sjis.h"

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
    for (std::size_t i = 0; i < sjis.size() && next < bases.size();) {
        const std::size_t len = sjis::charLength(sjis, i);
        if (sjis.substr(i, len) == sjis::kRubyOpen) {
            // One base that is not in the text (markup that conversion took apart) is skipped,
            // so that one stray does not hide every base after it.
            for (std::size_t k = next; k < std::min(next + 2, bases.size()); ++k) {
                if (standsBefore(sjis, i, bases[k])) {
                    found.push_back({i, bases[k]});
                    next = k + 1;
                    break;
                }
            }
        }
        i += len;
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
