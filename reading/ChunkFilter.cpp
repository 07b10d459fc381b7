#include "reading/ChunkFilter.h"

#include "reading/CarefulReadings.h"
#include "reading/NumberSigns.h"

#include "reading/AozoraNotes.h"
#include "reading/EnglishWords.h"
#include "reading/Marks.h"
#include "reading/Numbers.h"

#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

std::optional<std::size_t> chunkBefore(std::string_view text, std::size_t position, const FilterOptions& options)
{
    constexpr std::size_t kLookBack = 64 * 1024;
    position = std::min(position, text.size());
    std::size_t lineEnd = position;
    while (lineEnd > 0 && position - lineEnd < kLookBack) {
        // The line that holds the byte before `lineEnd`, its own line break passed over.
        std::size_t end = lineEnd - 1;
        if (end > 0 && text[end] == '\n' && text[end - 1] == '\r')
            --end;
        const std::size_t lineBreak = text.substr(0, end).rfind(sjis::kCrLf);
        const std::size_t lineStart = lineBreak == npos ? 0 : lineBreak + sjis::kCrLf.size();
        std::optional<std::size_t> found;
        for (std::size_t at = lineStart; at < position;) {
            const std::size_t len = chunkLength(text.substr(at), options.silentNotes);
            // As the reading step sees it: a chunk of the notation explanation says nothing.
            if (!spokenAt(text, at, len, options).empty())
                found = at;
            at += len;
            if (at >= lineEnd)
                break;
        }
        if (found)
            return found;
        lineEnd = lineStart;
    }
    return std::nullopt;
}

bool isRubyBaseKanji(std::string_view c)
{
    if (c.size() != 2)
        return false;
    if (c >= sjis::kKanjiFirst)
        return true;
    return c == sjis::kNoma || c == sjis::kShime || c == sjis::kMaruZero || c == sjis::kSmallKe;
}

std::string reduceRuby(std::string_view text)
{
    // One pass: the output so far is the text before the current "《" with every earlier
    // bracket already resolved, so dropping its trailing kanji run resolves this one.
    std::string out;
    out.reserve(text.size());
    std::vector<std::size_t> starts; // start of each character of `out`
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = sjis::charLength(text, i);
        const std::string_view c = text.substr(i, len);
        i += len;
        if (c == sjis::kRubyClose)
            continue;
        if (c == sjis::kRubyOpen) {
            while (!starts.empty() && isRubyBaseKanji(std::string_view(out).substr(starts.back()))) {
                out.resize(starts.back());
                starts.pop_back();
            }
            continue;
        }
        starts.push_back(out.size());
        out.append(c);
    }
    return out;
}

namespace {

// `trimmed` with each of `inserts` (ascending, offsets in it) put in where a character starts.
std::string withInsertions(std::string_view trimmed, std::span<const Insertion> inserts)
{
    std::string out;
    std::size_t extra = 0;
    for (const Insertion& insert : inserts)
        extra += insert.text.size();
    out.reserve(trimmed.size() + extra);
    auto next = inserts.begin();
    for (std::size_t i = 0; i < trimmed.size();) {
        while (next != inserts.end() && next->at < i)
            ++next;
        for (; next != inserts.end() && next->at == i; ++next)
            out.append(next->text);
        const std::size_t len = sjis::charLength(trimmed, i);
        out.append(trimmed.substr(i, len));
        i += len;
    }
    for (; next != inserts.end() && next->at == trimmed.size(); ++next)
        out.append(next->text);
    return out;
}

// The chunk trimmed, mapped to full width, with its notes, ruby, dictionary words, English
// words and numbers rewritten; empty when the skip list drops it. `inserts`: what goes into
// `chunk` (ruby base marks, taught readings) before it is mapped, ascending.
// The chunk trimmed and mapped to full width, with `inserts` put in; empty when the skip list
// drops it.
std::string mapped(std::string_view chunk, const FilterTables& tables, std::span<const Insertion> inserts)
{
    std::string_view trimmed = trimView(chunk);
    if (tables.skipList.foundIn(trimmed))
        trimmed = {};

    std::string text;
    if (!inserts.empty() && !trimmed.empty()) {
        const auto skipped = static_cast<std::size_t>(trimmed.data() - chunk.data());
        std::vector<Insertion> inTrimmed;
        std::size_t extra = 0;
        for (const Insertion& insert : inserts)
            if (insert.at >= skipped && insert.at <= skipped + trimmed.size()) {
                inTrimmed.push_back({insert.at - skipped, insert.text});
                extra += insert.text.size();
            }
        // What is put in goes with its place; what the mapping may hold is the chunk's.
        text = toFullWidth(withInsertions(trimmed, inTrimmed), kFullWidthLimit + extra);
    } else {
        text = toFullWidth(trimmed);
    }
    return text;
}

std::string rewritten(std::string_view chunk, const FilterOptions& options, const FilterTables& tables,
                      std::span<const Insertion> inserts)
{
    std::string text = mapped(chunk, tables, inserts);
    if (options.synthesizer != nullptr)
        text = withCarefulReadings(text, *options.synthesizer, options.aozoraRuby, options.correctReadings);
    if (options.silentNotes)
        text = removeNotes(text, options.aozoraRuby);
    if (options.aozoraRuby)
        text = reduceRuby(text);
    if (options.wordReadings) {
        static const ReadingDictionary noWords;
        text = (options.dictionary != nullptr ? *options.dictionary : noWords).apply(text);
    }
    // The signs before English words are read: a letter before "－" makes it a hyphen.
    if (options.readNumbers)
        text = numberSigns(text);
    if (options.readEnglish && options.english != nullptr)
        text = readEnglishWords(text, *options.english);
    if (options.readNumbers)
        text = numbersInWords(text);
    return text;
}

std::string spokenWith(std::string_view chunk, const FilterOptions& options, const FilterTables& tables,
                       std::span<const Insertion> inserts = {})
{
    const std::string text = rewritten(chunk, options, tables, inserts);
    std::string_view rest(text);
    while (rest.starts_with(sjis::kZenQuestion))
        rest.remove_prefix(sjis::kZenQuestion.size());
    while (rest.starts_with(sjis::kChoon))
        rest.remove_prefix(sjis::kChoon.size());

    std::string spoken;
    spoken.reserve(rest.size());
    long n = 0;
    long blanks = 0;
    long unread = 0;
    for (std::size_t i = 0; i < rest.size();) {
        const std::size_t len = sjis::charLength(rest, i);
        const std::string_view c = rest.substr(i, len);
        i += len;
        ++n;
        if (c == " " || c == sjis::kFullBlank) {
            spoken.append(c);
            ++blanks;
        } else if (tables.talkSymbols.contains(c) || sjis::isReadable(c)) {
            spoken.append(c);
        } else {
            spoken.append(sjis::kUnreadMark);
            ++unread;
        }
    }

    if (n - blanks - unread <= 0)
        return {};
    if (options.aaSkip) {
        if (unread * 10 > static_cast<long>(options.unreadLimit) * n)
            return {};
        if (blanks * 10 > static_cast<long>(options.blankLimit) * n)
            return {};
    }
    return spoken;
}

std::string spokenWithInsertions(std::string_view chunk, const FilterOptions& options,
                                 std::span<const Insertion> inserts)
{
    std::string spoken = options.tables != nullptr
                             ? spokenWith(chunk, options, *options.tables, inserts)
                             : spokenWith(chunk, options, FilterTables(options.skipList, options.talkSymbols), inserts);
    if (options.passOverMarks && onlyMarks(spoken))
        spoken.clear();
    return spoken;
}

} // namespace

std::string spokenText(std::string_view chunk, const FilterOptions& options)
{
    return spokenWithInsertions(chunk, options, {});
}

namespace {

// The chunk at `cursor` as far as the filter reads it, and what goes into it.
struct ChunkAt {
    std::string_view chunk;
    std::vector<Insertion> inserts;
};

ChunkAt chunkAt(std::string_view text, std::size_t cursor, std::size_t length, const FilterOptions& options)
{
    std::string_view chunk = text.substr(cursor, length);
    // The cursor still walks through the explanation; only what lies in it goes unsaid.
    if (options.silentNotes && cursor < kExplanationReach) {
        const TextSpan block = explanationBlock(text);
        if (cursor >= block.begin && cursor < block.end)
            chunk.remove_prefix(std::min(chunk.size(), block.end - cursor));
    }
    const auto from = static_cast<std::size_t>(chunk.data() - text.data());
    // A taught reading follows its place; a base mark goes before its base, after a taught
    // reading that ends there.
    std::vector<Insertion> inserts;
    if (options.aozoraRuby && !options.taught.empty())
        inserts = taughtInsertions(options.taught, from, chunk.size());
    if (options.silentNotes && !options.rubyBases.empty()) {
        for (const std::size_t at : rubyBaseStarts(text, from, from + chunk.size(), options.rubyBases))
            inserts.push_back({at - from, std::string(sjis::kRubyBaseMark)});
        std::stable_sort(inserts.begin(), inserts.end(),
                         [](const Insertion& a, const Insertion& b) { return a.at < b.at; });
    }
    return {chunk, std::move(inserts)};
}

} // namespace

std::string spokenAt(std::string_view text, std::size_t cursor, std::size_t length, const FilterOptions& options)
{
    const ChunkAt at = chunkAt(text, cursor, length, options);
    return spokenWithInsertions(at.chunk, options, at.inserts);
}

void workOutAhead(ReadingsAhead& ahead, std::string_view text, std::size_t cursor, std::size_t length,
                  const FilterOptions& options)
{
    if (options.synthesizer == nullptr)
        return;
    const ChunkAt at = chunkAt(text, cursor, length, options);
    std::string chunk = options.tables != nullptr
                            ? mapped(at.chunk, *options.tables, at.inserts)
                            : mapped(at.chunk, FilterTables(options.skipList, options.talkSymbols), at.inserts);
    if (!chunk.empty())
        ahead.workOut(std::move(chunk), *options.synthesizer, options.aozoraRuby, options.correctReadings);
}

} // namespace kven
