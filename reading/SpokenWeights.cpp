#include "reading/SpokenWeights.h"

#include "reading/SessionFilter.h"

#include <algorithm>

namespace kven {

void SpokenWeights::reset()
{
    starts_.clear();
    cumulative_.clear();
    next_ = 0;
    complete_ = false;
}

bool SpokenWeights::advance(const Session& session, const FilterOptions& options, std::size_t budget)
{
    if (cumulative_.empty())
        cumulative_.push_back(0);
    const std::size_t stop = next_ + budget;
    while (!complete_ && next_ < stop) {
        const std::optional<Utterance> utterance = utteranceFrom(session, options, next_);
        if (!utterance || utterance->start < next_) {
            complete_ = true;
            break;
        }
        starts_.push_back(utterance->start);
        cumulative_.push_back(cumulative_.back() + utterance->spoken.size());
        // A chunk the step cannot move past would be found again and again.
        next_ = utterance->start + std::max<std::size_t>(utterance->length, 1);
    }
    return complete_;
}

std::size_t SpokenWeights::spokenFrom(std::size_t offset) const
{
    if (cumulative_.empty())
        return 0;
    const auto first = std::lower_bound(starts_.begin(), starts_.end(), offset);
    const auto index = static_cast<std::size_t>(first - starts_.begin());
    return total() - cumulative_[index];
}

} // namespace kven
