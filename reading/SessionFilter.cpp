#include "reading/SessionFilter.h"

#include "reading/ChunkFilter.h"

namespace kven {

FilterOptions SessionFilter::options()
{
    if (const std::uint64_t revision = session_.listsRevision(); revision_ != revision) {
        tables_ = FilterTables(session_.skipList(), session_.talkSymbols());
        revision_ = revision;
    }
    FilterOptions options;
    options.aozoraRuby = session_.options().aozoraRuby;
    options.silentNotes = session_.options().silentNotes;
    options.wordReadings = session_.options().wordReadings;
    options.passOverMarks = session_.options().passOverMarks;
    options.readNumbers = session_.options().readNumbers;
    options.readEnglish = session_.options().readEnglish;
    options.english = options.readEnglish ? &EnglishLexicon::installed() : nullptr;
    options.dictionary = session_.readingDictionary().get();
    if (session_.options().correctReadings || session_.options().bookReadings) {
        const SynthesizerWords& synthesizer = SynthesizerWords::installed();
        if (synthesizer.available()) {
            options.synthesizer = &synthesizer;
            options.correctReadings = session_.options().correctReadings;
        }
    }
    if (session_.options().bookReadings && options.synthesizer != nullptr) {
        if (taughtRevision_ != session_.textRevision()) {
            taught_ = bookTaughtReadings(session_.text());
            taughtRevision_ = session_.textRevision();
        }
        options.taught = taught_;
    }
    options.rubyBases = session_.document().rubyBases;
    options.aaSkip = session_.options().aaSkip;
    options.unreadLimit = session_.options().unreadLimit;
    options.blankLimit = session_.options().blankLimit;
    options.skipList = session_.skipList();
    options.talkSymbols = session_.talkSymbols();
    options.tables = &tables_;
    return options;
}

std::optional<Utterance> utteranceFrom(const Session& session, const FilterOptions& options, std::size_t from)
{
    const std::string_view text = session.text();
    for (std::size_t cursor = from; cursor < text.size();) {
        const std::size_t len = chunkLength(text.substr(cursor), options.silentNotes);
        std::string spoken = spokenAt(text, cursor, len, options);
        if (!spoken.empty() && !(session.options().repeatSuppression && spoken == session.lastSpoken()))
            return Utterance{cursor, len, std::move(spoken)};
        cursor += len;
    }
    return std::nullopt;
}

std::string nextUtterance(const Session& session, const FilterOptions& options)
{
    std::optional<Utterance> next = utteranceFrom(session, options, session.selStart());
    return next ? std::move(next->spoken) : std::string();
}

} // namespace kven
