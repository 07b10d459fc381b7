#include "reading/LookAhead.h"

#include "reading/ChunkFilter.h"

namespace kven {

FilterOptions filterOptions(const WindowState& window)
{
    FilterOptions options;
    options.aozoraRuby = window.aozoraRuby();
    options.aaSkip = window.aaSkip();
    options.unreadLimit = window.unreadLimit();
    options.blankLimit = window.blankLimit();
    options.skipList = window.skipList();
    options.talkSymbols = window.talkSymbols();
    return options;
}

std::string nextUtterance(const WindowState& window, const SharedState& shared)
{
    const FilterOptions options = filterOptions(window);

    const std::string_view text = window.text();
    std::size_t cursor = window.selStart();
    while (cursor < text.size()) {
        const std::string_view rest = text.substr(cursor);
        const std::size_t len = chunkLength(rest);
        std::string spoken = spokenText(rest.substr(0, len), options);
        if (!spoken.empty() && !(window.repeatSuppression() && spoken == shared.lastSpoken))
            return spoken;
        cursor += len;
    }
    return {};
}

} // namespace kven
