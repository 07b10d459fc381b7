#include "reading/LookAhead.h"

#include "reading/ChunkFilter.h"

namespace kven {

FilterOptions WindowFilter::options()
{
    if (const std::uint64_t revision = window_.listsRevision(); revision_ != revision) {
        tables_ = FilterTables(window_.skipList(), window_.talkSymbols());
        revision_ = revision;
    }
    FilterOptions options;
    options.aozoraRuby = window_.aozoraRuby();
    options.silentNotes = window_.silentNotes();
    options.wordReadings = window_.wordReadings();
    options.dictionary = shared_.words.get();
    options.rubyBases = shared_.rubyBases;
    options.aaSkip = window_.aaSkip();
    options.unreadLimit = window_.unreadLimit();
    options.blankLimit = window_.blankLimit();
    options.skipList = window_.skipList();
    options.talkSymbols = window_.talkSymbols();
    options.tables = &tables_;
    return options;
}

std::optional<Utterance> utteranceFrom(const WindowState& window, const SharedState& shared,
                                       const FilterOptions& options, std::size_t from)
{
    const std::string_view text = window.text();
    for (std::size_t cursor = from; cursor < text.size();) {
        const std::size_t len = chunkLength(text.substr(cursor), options.silentNotes);
        std::string spoken = spokenAt(text, cursor, len, options);
        if (!spoken.empty() && !(window.repeatSuppression() && spoken == shared.lastSpoken))
            return Utterance{cursor, len, std::move(spoken)};
        cursor += len;
    }
    return std::nullopt;
}

std::string nextUtterance(const WindowState& window, const SharedState& shared, const FilterOptions& options)
{
    std::optional<Utterance> next = utteranceFrom(window, shared, options, window.selStart());
    return next ? std::move(next->spoken) : std::string();
}

} // namespace kven
