#pragma once
// The reading engine: the reading step, run by every end-of-stream event of the speech
// engine, and the Start, Stop and Paste commands, with again, previous and next for a
// listener who wants to hear a chunk again or move on. The reading state is the session's reading
// flag.

#include "intake/Intake.h"
#include "reading/CarefulReadings.h"
#include "reading/SessionFilter.h"
#include "reading/Waiter.h"
#include "speech/SpeechEngine.h"
#include "state/DialogsAndClipboard.h"
#include "state/Session.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kven {

class Reader {
public:
    Reader(Session& session, SpeechEngine& tts, Waiter& waiter);

    // The end of an utterance. Only the end of the last utterance handed to the engine runs
    // the next reading step: a Start right after a Stop has already begun a new chain, which
    // the end of the utterance that Stop cut short must not double.
    void endOfStream(int streamNumber, std::int64_t streamPosition = 0);
    // The utterance failed (its end-of-stream event follows). When it is the last one handed
    // to the engine, reading stops with the cursor back at its chunk, so that Start says it
    // again once the fault is gone.
    void streamFailed(int streamNumber);
    // Whether the end of `streamNumber` is that of the last utterance handed to the engine,
    // played to its end: not cut short, and with no step begun since.
    bool endsWholeUtterance(int streamNumber) const { return streamNumber == lastStream_ && !pausing_ && !skipping_; }

    // Start: reading state, then one step.
    void start();
    // Stop: idle state, then the engine is asked to skip the rest of the utterance.
    void stop();
    // Pause: Stop with the cursor back at the start of the chunk being said (or waiting for
    // its pause), so that Start says the whole of it again rather than going on after it.
    void pause();
    // Paste: Stop; the clipboard's text is loaded as a paste (DocumentIntake::loadPaste);
    // Start from its beginning.
    void pasteClipboard(DocumentIntake& intake, const Clipboard& clipboard);

    // Again: the chunk being read, or when stopped the last one read, from its start.
    void again();
    // Previous: back to the start of the chunk before the one being read (or before the
    // cursor, once the listener has moved it), passing over chunks with nothing to say;
    // `times` chunks back at once.
    void previous(int times = 1);
    // Next: the chunk being read is cut off and reading goes on with the next one; `times`
    // passes over as many.
    void next(int times = 1);
    // While stopped the three start reading; while reading they keep the one chain: the
    // utterance playing is cut off and its end-of-stream event runs the step from the new
    // place, and during the pause before an utterance the chunk about to be said gives way at
    // once. Repeated before the chain has moved on, each counts: two Next pass over two
    // chunks. A chunk asked for is said even when it equals the last one spoken.
    // Chapter: the cursor goes to `offset`; while reading, reading goes on from there as with
    // Again, in the one chain. The chunk there is said even when it equals the last one spoken.
    void jumpTo(std::size_t offset);

    // Reading stops, without cutting short the utterance playing, before the first chunk that
    // starts at `offset` or after it (0: before the next chunk), with the cursor where Stop
    // would leave it then, so that Start goes on from that chunk. A chunk waiting for its pause
    // there is not said: reading stops at once with the cursor at its start. Empty: reading
    // goes on. The request ends when it stops reading, and with Start.
    void setStopBefore(std::optional<std::size_t> offset);
    const std::optional<std::size_t>& stopBefore() const { return stopBefore_; }

    // The start of the chunk being read: the one waiting for its pause, else the one last
    // handed over while the cursor stands after it; else the cursor, which the listener moved.
    std::size_t chunkBeingRead() const;

    // Waits at most `timeout` for the readings of the next chunk, worked out during the pause
    // before speech, to be done; whether they are. For measurements that leave the pause out.
    bool readingsAheadDone(std::chrono::milliseconds timeout) { return ahead_.waitIdle(timeout); }

private:
    // One reading step: selects the next chunk that has something to say, passing over the
    // others, and hands it to the engine once the pause before speech is over, moving the
    // cursor past it. At the end of the text it returns to idle. Does nothing while idle. A
    // step replaces a pause still running: there is one chain.
    void step();
    // The pause is over: the chunk selected is said.
    void speak();
    void cancelPause();
    void readFrom(std::size_t from);
    // Reading goes on from the cursor: the pause running starts again there, or the utterance
    // playing is cut short, once.
    void cutShort();
    // The start of the chunk last handed to the engine in this document, if any.
    std::optional<std::size_t> lastRead() const;

    Session& session_;
    SpeechEngine& tts_;
    Waiter& waiter_;
    // The stream number of the last utterance handed to the engine (0: none yet), where its
    // chunk starts and ends, and the document it was read from.
    int lastStream_ = 0;
    std::size_t lastChunkStart_ = 0;
    std::size_t lastChunkEnd_ = 0;
    std::optional<std::string> lastChunkDocument_;
    SessionFilter filter_;
    // The chunk waiting for its pause to end, if any: what is said of it, converted once for
    // the look-ahead and the utterance, and its bytes and document, since the listener may
    // click, edit or open another document during the pause.
    struct Pause {
        Utterance chunk;
        std::u16string wide;
        std::string bytes;
        std::string document;
    };
    std::optional<Pause> pausing_;
    std::optional<std::size_t> stopBefore_;
    // The engine was asked to cut the last utterance short; its end runs the next step.
    bool skipping_ = false;
    // Bumped to cancel the pause running; the waiter's callback holds it weakly, so that a
    // pause outliving the reader does nothing.
    std::shared_ptr<std::uint64_t> pauses_ = std::make_shared<std::uint64_t>(0);
    // Works out the analysis of the chunk after the one selected while its pause runs.
    ReadingsAhead ahead_;
};

} // namespace kven
