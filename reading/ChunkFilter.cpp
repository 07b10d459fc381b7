#include "reading/ChunkFilter.h"

#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

std::size_t chunkLength(std::string_view rest)
{
    std::size_t len = rest.size();
    if (const std::size_t crlf = findPos(rest, sjis::kCrLf); crlf != npos) {
        len = crlf + sjis::kCrLf.size();
        // Only a "。" before the line break matters, so the search stops there.
        const std::size_t maru = findPos(rest, sjis::kMaru, crlf);
        if (maru != npos && maru + sjis::kMaru.size() < crlf)
            len = maru + sjis::kMaru.size();
    }
    if (len > kLongChunk) {
        const std::size_t touten = findPos(rest, sjis::kTouten, len);
        const std::size_t comma = findPos(rest, sjis::kFullComma, len);
        const std::size_t cut = std::min(touten, comma);
        if (cut != npos)
            len = cut + 2;
    }
    return len;
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

// Only double-byte characters can be readable: a one-byte character (a stray byte, or a lead
// byte left alone at the end of the chunk) is no letter, whatever its value.
bool inReadableRange(std::string_view c)
{
    return c.size() == 2 &&
           ((c >= sjis::kZenZero && c <= sjis::kSmallKe) || (c >= sjis::kKanjiFirst && c <= sjis::kKanjiLast));
}

} // namespace

std::string spokenText(std::string_view chunk, const FilterOptions& options)
{
    std::string_view trimmed = trimView(chunk);
    for (const std::string& entry : options.skipList) {
        if (contains(trimmed, entry)) {
            trimmed = {};
            break;
        }
    }

    std::string text = toFullWidth(trimmed);
    if (options.aozoraRuby)
        text = reduceRuby(text);

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
        } else if (contains(options.talkSymbols, c) || inReadableRange(c)) {
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

} // namespace kven
