#include "reading/Reader.h"

#include "reading/ChunkFilter.h"
#include "reading/LookAhead.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

namespace kven {

Reader::Reader(WindowState& window, SharedState& shared, SpeechEngine& tts, Waiter& waiter)
    : window_(window), shared_(shared), tts_(tts), waiter_(waiter), filter_(window, shared)
{
}

void Reader::TTSEndStream(int streamNumber, std::int64_t)
{
    if (streamNumber == lastStream_)
        step();
}

void Reader::TTSStreamFailed(int streamNumber)
{
    if (streamNumber != lastStream_ || window_.startEnabled())
        return;
    window_.setStartEnabled(true);
    window_.setStopEnabled(false);
    window_.setSelStart(lastChunkStart_);
    window_.setSelLength(0);
    shared_.lastSpoken.clear();
}

void Reader::step()
{
    for (;;) {
        if (window_.startEnabled())
            return;
        const std::string& text = window_.text();
        const std::size_t cursor = window_.selStart();
        if (cursor >= text.size()) {
            window_.setStartEnabled(true);
            window_.setStopEnabled(false);
            return;
        }
        const std::string_view rest = std::string_view(text).substr(cursor);
        const FilterOptions options = filter_.options();
        const std::size_t len = chunkLength(rest, options.silentNotes);
        window_.setSelStart(cursor);
        window_.setSelLength(len);

        std::string spoken = spokenAt(text, cursor, len, options);

        if (spoken.empty() || (window_.repeatSuppression() && spoken == shared_.lastSpoken)) {
            window_.setSelStart(cursor + len);
            continue;
        }
        // An engine that synthesizes ahead can use the pause to start on this chunk.
        if (tts_.preparesAhead())
            tts_.Prepare(cp932::toWide(spoken));
        waiter_.wait(kPauseBeforeSpeechMs);
        lastStream_ = tts_.Speak(cp932::toWide(spoken), SVSFlagsAsync);
        lastChunkStart_ = cursor;
        lastChunkEnd_ = cursor + len;
        lastChunkDocument_ = shared_.currentPath;
        // Remembered only once the engine took it, so that Start after a failed Speak
        // says the same chunk again instead of suppressing it as a repeat.
        shared_.lastSpoken = std::move(spoken);
        window_.setSelStart(cursor + len);
        if (tts_.preparesAhead())
            if (const std::string next = nextUtterance(window_, shared_, filter_.options()); !next.empty())
                tts_.Prepare(cp932::toWide(next));
        return;
    }
}

void Reader::Button1Click()
{
    window_.setStartEnabled(false);
    window_.setStopEnabled(true);
    step();
}

void Reader::Button4Click()
{
    window_.setStartEnabled(true);
    window_.setStopEnabled(false);
    tts_.Skip("Sentence", kSkipAll);
}

void Reader::Button7Click(Bookmarks& bookmarks, const Clipboard& clipboard)
{
    Button4Click();
    if (!shared_.currentPath.empty())
        bookmarks.Closing();
    shared_.currentPath.clear();
    shared_.currentFile.clear();
    shared_.headings.clear();
    shared_.headingEnds.clear();
    shared_.rubyBases.clear();
    window_.setCaption(kTemporaryCaption);
    lastChunkDocument_.reset();
    std::string pasted = clipboard.text();
    if (!pasted.empty() && pasted.back() != '\n' && pasted.back() != '\r')
        pasted += '\n';
    pasted += '\n';
    pasted += cp932::toUtf8(sjis::kEndLine);
    window_.setTextFromUtf8(pasted);
    window_.setSelStart(0);
    Button1Click();
}

std::optional<std::size_t> Reader::lastRead() const
{
    if (lastChunkDocument_ != shared_.currentPath || lastChunkStart_ >= window_.text().size())
        return std::nullopt;
    return lastChunkStart_;
}

void Reader::readFrom(std::size_t start)
{
    window_.setSelStart(start);
    window_.setSelLength(0);
    shared_.lastSpoken.clear();
    if (window_.startEnabled())
        Button1Click();
    else
        tts_.Skip("Sentence", kSkipAll);
}

void Reader::again()
{
    readFrom(lastRead().value_or(window_.selStart()));
}

void Reader::previous()
{
    const std::optional<std::size_t> last = lastRead();
    const std::size_t cursor = window_.selStart();
    // The reading step leaves the cursor after the chunk it hands over; anywhere else, the
    // listener has moved it.
    const std::size_t here = last && cursor == lastChunkEnd_ ? *last : cursor;
    readFrom(chunkBefore(window_.text(), here, filter_.options()).value_or(here));
}

void Reader::next()
{
    if (window_.startEnabled())
        Button1Click();
    else
        tts_.Skip("Sentence", kSkipAll);
}

} // namespace kven
