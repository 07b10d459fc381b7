#include "reading/ChunkCuts.h"

#include "reading/AozoraNotes.h"
#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

namespace {

// The end of the "、" or "，" at `i`, where a long chunk is cut; npos when there is none.
std::size_t cutEndAt(std::string_view text, std::size_t i)
{
    const std::string_view c = text.substr(i, 2);
    if (c == sjis::kTouten || c == sjis::kFullComma)
        return i + c.size();
    return npos;
}

// Whether a line break starts at or after `from`, a character start. Searched from the end of
// the text, where a document's last line break usually is; a "\r" counts only at a character
// start, which follows from the run of lead-byte values just before it.
bool lineBreakLeft(std::string_view text, std::size_t from)
{
    std::size_t end = text.size();
    while (end > from + 1) {
        const std::size_t lf = text.substr(0, end).rfind('\n');
        if (lf == npos || lf <= from)
            return false;
        const std::size_t cr = lf - 1;
        if (text[cr] == '\r') {
            std::size_t runStart = cr;
            while (runStart > from && sjis::isLeadByte(text[runStart - 1]))
                --runStart;
            if ((cr - runStart) % 2 == 0)
                return true;
        }
        end = lf;
    }
    return false;
}

// The longest start of a chunk whose text, trimmed and mapped to full width, still fits the
// mapping's limit, and where to cut the chunk there, followed along the walk over it.
class FullWidthFit {
public:
    explicit FullWidthFit(std::string_view rest) : rest_(rest) {}

    // Adds the character (or composed pair) at `i`; false when a chunk that takes it along
    // no longer fits. `breakable`: a chunk cut after it ends at a pause (a blank or "。").
    bool add(std::size_t i, FullWidthStep step, bool breakable)
    {
        // Bytes up to the blank are trimmed from both ends: they count only between others.
        if (step.in == 1 && static_cast<unsigned char>(rest_[i]) <= 0x20) {
            if (fitEnd_ == 0)
                return true;
            pending_ += step.out;
            if (breakable && textSeen_)
                breakEnd_ = i + 1;
            return true;
        }
        if (size_ + pending_ + step.out > kFullWidthLimit)
            return false;
        size_ += pending_ + step.out;
        pending_ = 0;
        fitEnd_ = i + step.in;
        if (breakable && textSeen_)
            breakEnd_ = fitEnd_;
        textSeen_ = textSeen_ || rest_.substr(i, step.in) != sjis::kFullBlank;
        return true;
    }

    // Where a chunk that does not fit is cut: after the last pause that fits, else at the last
    // character boundary that does.
    std::size_t cut() const { return breakEnd_ != 0 ? breakEnd_ : fitEnd_; }

private:
    std::string_view rest_;
    std::size_t size_ = 0;    // full-width bytes up to fitEnd_
    std::size_t pending_ = 0; // full-width bytes of trimmable characters after fitEnd_
    std::size_t fitEnd_ = 0;  // end of the last character that fits, trimmed blanks aside
    std::size_t breakEnd_ = 0;
    bool textSeen_ = false; // a character other than a blank fits: a pause after it is worth a cut
};

bool isBreak(std::string_view c)
{
    return c == " " || c == sjis::kFullBlank || c == sjis::kMaru;
}

} // namespace

std::size_t chunkLength(std::string_view rest, bool silentNotes)
{
    // One walk over the characters from the start that stops as soon as the end is decided.
    // Before a "。" is met, the chunk reaches at least as far as the walk has come, so once the
    // walk is past the limit the first comma seen settles it. A chunk whose full-width form
    // would be cut by the mapping is shortened where it still fits: a comma seen by then
    // would have cut it already, so the walk never goes further than that.
    const std::size_t n = rest.size();
    FullWidthFit fit(rest);
    NoteTracker note;
    std::size_t cutEnd = npos;  // after the first "、" or "，"
    bool lineBreakAhead = true; // false once a "。" has found no line break left after it
    std::size_t i = 0;
    while (i < n) {
        if (lineBreakAhead && rest.substr(i, 2) == sjis::kCrLf) {
            const std::size_t len = i + sjis::kCrLf.size();
            return len > kLongChunk && cutEnd != npos ? cutEnd : len;
        }
        const FullWidthStep step = fullWidthStep(rest, i);
        const std::string_view c = rest.substr(i, sjis::charLength(rest, i));
        const bool inNote = silentNotes && note.inside();
        if (!fit.add(i, step, !inNote && isBreak(c))) {
            const std::size_t cut = fit.cut();
            return inNote && note.start() > 0 && note.start() < cut ? note.start() : cut;
        }
        if (silentNotes)
            note.feed(rest, i, c.size());
        if (lineBreakAhead && !inNote && c == sjis::kMaru) {
            const std::size_t afterMaru = i + sjis::kMaru.size();
            if (rest.substr(afterMaru, 2) == sjis::kCrLf) {
                const std::size_t len = afterMaru + sjis::kCrLf.size();
                return len > kLongChunk && cutEnd != npos ? cutEnd : len;
            }
            // The "。" ends the chunk only when some line break is left after it; without one
            // the chunk runs to the end of the text.
            if (afterMaru > kLongChunk && cutEnd != npos)
                return cutEnd;
            if (lineBreakLeft(rest, afterMaru))
                return afterMaru;
            if (n <= kLongChunk)
                return n;
            lineBreakAhead = false;
        }
        if (cutEnd == npos && !inNote)
            cutEnd = cutEndAt(rest, i);
        i += step.in;
        if (i > kLongChunk && cutEnd != npos)
            return cutEnd;
    }
    return n > kLongChunk && cutEnd != npos ? cutEnd : n;
}

} // namespace kven
