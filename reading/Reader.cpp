#include "reading/Reader.h"

#include "reading/ChunkFilter.h"
#include "reading/SessionFilter.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

namespace kven {

Reader::Reader(Session& session, SpeechEngine& tts, Waiter& waiter)
    : session_(session), tts_(tts), waiter_(waiter), filter_(session)
{
}

void Reader::endOfStream(int streamNumber, std::int64_t)
{
    // A step already under way (a Start right after a Stop) is the chain.
    if (streamNumber != lastStream_ || pausing_)
        return;
    skipping_ = false;
    step();
}

void Reader::streamFailed(int streamNumber)
{
    if (streamNumber != lastStream_ || !session_.reading() || pausing_)
        return;
    session_.setReading(false);
    session_.setSelStart(lastChunkStart_);
    session_.setSelLength(0);
    session_.setLastSpoken({});
}

void Reader::cancelPause()
{
    ++*pauses_;
    pausing_.reset();
}

void Reader::step()
{
    cancelPause();
    if (!session_.reading())
        return;
    const std::size_t cursor = session_.selStart();
    const FilterOptions options = filter_.options();
    std::optional<Utterance> next = utteranceFrom(session_, options, cursor);
    if (!next) {
        if (cursor < session_.text().size())
            session_.setSelStart(session_.text().size());
        session_.setReading(false);
        return;
    }
    if (stopBefore_ && next->start >= *stopBefore_) {
        stopBefore_.reset();
        session_.setReading(false);
        return;
    }
    session_.setSelStart(next->start);
    session_.setSelLength(next->length);
    // The chunk after this one is the look-ahead's once this one is handed over.
    if (const std::string_view text = session_.text(); options.synthesizer != nullptr && waiter_.pauses())
        if (const std::size_t after = next->start + next->length; after < text.size())
            workOutAhead(ahead_, text, after, chunkLength(text.substr(after), options.silentNotes), options);
    std::u16string wide = cp932::toWide(next->spoken);
    std::string bytes = session_.text().substr(next->start, next->length);
    Pause pause{std::move(*next), std::move(wide), std::move(bytes), session_.document().path};
    // An engine that synthesizes ahead can use the pause to start on this chunk.
    if (tts_.preparesAhead())
        tts_.prepare(pause.wide);
    pausing_ = std::move(pause);
    waiter_.after(kPauseBeforeSpeechMs, [this, pauses = std::weak_ptr(pauses_), ticket = *pauses_] {
        if (const std::shared_ptr<std::uint64_t> current = pauses.lock(); current && *current == ticket)
            speak();
    });
}

void Reader::speak()
{
    const std::string_view text = session_.text();
    // A chunk no longer where it was selected gives way to the one at the cursor.
    const Utterance& selected = pausing_->chunk;
    if (session_.selStart() != selected.start || session_.document().path != pausing_->document ||
        text.substr(std::min(selected.start, text.size()), selected.length) != pausing_->bytes) {
        step();
        return;
    }
    Pause pause = std::move(*pausing_);
    pausing_.reset();
    Utterance& chunk = pause.chunk;
    try {
        lastStream_ = tts_.speak(pause.wide, kSpeakAsync);
    } catch (...) {
        // No stream, so no event will go on with the chain: reading stops at the chunk.
        session_.setReading(false);
        session_.setSelStart(chunk.start);
        throw;
    }
    skipping_ = false;
    lastChunkStart_ = chunk.start;
    lastChunkEnd_ = chunk.start + chunk.length;
    lastChunkDocument_ = session_.document().path;
    // Remembered only once the engine took it, so that Start after a failed Speak
    // says the same chunk again instead of suppressing it as a repeat.
    session_.setLastSpoken(std::move(chunk.spoken));
    session_.setSelStart(lastChunkEnd_);
    if (tts_.preparesAhead())
        if (const std::string next = nextUtterance(session_, filter_.options()); !next.empty())
            tts_.prepare(cp932::toWide(next));
}

void Reader::start()
{
    stopBefore_.reset();
    session_.setReading(true);
    step();
}

void Reader::stop()
{
    cancelPause();
    skipping_ = false;
    session_.setReading(false);
    tts_.skip("Sentence", kSkipAll);
}

void Reader::pause()
{
    if (!session_.reading())
        return;
    const std::size_t from = chunkBeingRead();
    stop();
    session_.setSelStart(from);
    session_.setSelLength(0);
    // Said again, never suppressed as a repeat of itself.
    session_.setLastSpoken({});
}

void Reader::pasteClipboard(DocumentIntake& intake, const Clipboard& clipboard)
{
    stop();
    intake.loadPaste(clipboard.text());
    lastChunkDocument_.reset();
    start();
}

std::optional<std::size_t> Reader::lastRead() const
{
    if (lastChunkDocument_ != session_.document().path || lastChunkStart_ >= session_.text().size())
        return std::nullopt;
    return lastChunkStart_;
}

void Reader::readFrom(std::size_t from)
{
    session_.setSelStart(from);
    session_.setSelLength(0);
    session_.setLastSpoken({});
    if (!session_.reading())
        start();
    else
        cutShort();
}

void Reader::cutShort()
{
    if (pausing_) {
        step();
    } else if (!skipping_) {
        skipping_ = true;
        tts_.skip("Sentence", kSkipAll);
    }
}

void Reader::again()
{
    readFrom(pausing_ ? pausing_->chunk.start : lastRead().value_or(session_.selStart()));
}

std::size_t Reader::chunkBeingRead() const
{
    const std::optional<std::size_t> last = lastRead();
    const std::size_t cursor = session_.selStart();
    // The reading step leaves the cursor after the chunk it hands over; anywhere else, the
    // listener has moved it.
    return pausing_ ? pausing_->chunk.start : last && cursor == lastChunkEnd_ ? *last : cursor;
}

void Reader::previous(int times)
{
    std::size_t here = chunkBeingRead();
    const FilterOptions options = filter_.options();
    for (int i = 0; i < times; ++i)
        here = chunkBefore(session_.text(), here, options).value_or(here);
    readFrom(here);
}

void Reader::next(int times)
{
    if (times <= 0)
        return;
    if (!session_.reading()) {
        start();
        --times;
    }
    bool moved = false;
    for (; times > 0; --times) {
        if (pausing_) {
            session_.setSelStart(pausing_->chunk.start + pausing_->chunk.length);
            cancelPause();
            moved = true;
        } else if (skipping_ || moved) {
            // The chain has not moved on yet: this Next passes over the chunk it would say.
            const std::optional<Utterance> following = utteranceFrom(session_, filter_.options(), session_.selStart());
            session_.setSelStart(following ? following->start + following->length : session_.text().size());
        } else {
            skipping_ = true;
            tts_.skip("Sentence", kSkipAll);
        }
    }
    // One step from where the moves ended, not one per move: each would start the synthesizer.
    if (moved)
        step();
}

void Reader::jumpTo(std::size_t offset)
{
    if (session_.reading()) {
        readFrom(offset);
        return;
    }
    session_.setSelStart(offset);
    session_.setSelLength(0);
    session_.setLastSpoken({});
}

void Reader::setStopBefore(std::optional<std::size_t> offset)
{
    stopBefore_ = offset;
    if (stopBefore_ && pausing_ && pausing_->chunk.start >= *stopBefore_) {
        stopBefore_.reset();
        pause();
    }
}

} // namespace kven
