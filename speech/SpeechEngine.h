#pragma once
// The speech engine as the reading engine and the voice list use it: connect on first use,
// event interests, the installed voices with their descriptions, voice, rate, asynchronous
// speech, skip, and the end-of-stream event. Back ends implement the protected operations;
// the public ones except Prepare connect first, so a failed connection is tried again at the
// next call.
//
// The end-of-stream rule: every Speak that returns a stream number is followed by exactly one
// end-of-stream event for that number, whatever happened to the utterance: heard, skipped,
// silent or failed. The event is delivered later through the event loop given to the engine,
// never from inside a call of this interface; events still queued when the engine is
// destroyed are dropped. Speak and Skip do not wait for the speech (a back end may wait,
// bounded, for room in its queue). A failure is reported once: a call that fails throws
// KvenError with the engine's description (a Speak that throws has no stream and no event);
// an utterance that fails after Speak returned is reported by the task that delivers its
// event (see setOnStreamFailed), or, by a back end that ends its streams before their
// utterances are done, by a task of its own (reportFailure).

#include "files/Errors.h"
#include "speech/EventLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

inline constexpr int kAllEvents = 33790;
inline constexpr int kSpeakAsync = 1;
inline constexpr int kSkipAll = 2147483647;

// One installed voice. Handles are reference-counted: the voice list holds one reference
// per entry for as long as the window lives.
class VoiceToken {
public:
    virtual ~VoiceToken() = default;
    // Display name (wide text) for the given locale; 0 is the default locale.
    virtual std::u16string description(int locale = 0) const = 0;
};
using VoiceHandle = std::shared_ptr<const VoiceToken>;

class SpeechEngine {
public:
    using EndStreamHandler = std::function<void(int streamNumber, std::int64_t streamPosition)>;
    using StreamFailedHandler = std::function<void(int streamNumber)>;

    explicit SpeechEngine(EventPoster& loop) : loop_(loop) {}
    virtual ~SpeechEngine() = default;
    SpeechEngine(const SpeechEngine&) = delete;
    SpeechEngine& operator=(const SpeechEngine&) = delete;

    void setOnEndStream(EndStreamHandler handler) { onEndStream_ = std::move(handler); }
    // Runs just before the end-of-stream event of an utterance that failed; the same task
    // then throws the failure as KvenError, so the event loop reports it as it reports a
    // failed command.
    void setOnStreamFailed(StreamFailedHandler handler) { onStreamFailed_ = std::move(handler); }

    bool connected() const { return connected_; }
    void setEventInterests(int interests);
    std::vector<VoiceHandle> installedVoices(std::string_view requiredAttributes = {},
                                             std::string_view optionalAttributes = {});
    void setVoice(const VoiceHandle& voice);
    void setRate(int rate);
    // Returns the stream number of the new utterance.
    int speak(std::u16string_view text, int flags = kSpeakAsync);
    void skip(std::string_view itemType, int count);
    // A hint: the text the next Speak will most likely be given. A back end may start on it
    // early; what is heard is the same either way. Does nothing before the first connection.
    void prepare(std::u16string_view text);
    // Whether Prepare does anything with this back end, so callers can spare the look-ahead.
    bool preparesAhead() const { return doesPrepare(); }

protected:
    // Throws KvenError when the engine cannot be reached.
    virtual void doConnect() = 0;
    virtual void doSetEventInterests(int interests) = 0;
    virtual std::vector<VoiceHandle> doInstalledVoices() = 0;
    virtual void doSetVoice(const VoiceHandle& voice) = 0;
    virtual void doSetRate(int rate) = 0;
    // Starts speaking and returns without waiting for the speech; the back end later calls
    // endStream(streamNumber) or failStream(streamNumber, ...), once. Throwing takes the
    // utterance back: no event may follow then.
    virtual void doSpeak(std::u16string_view text, int flags, int streamNumber) = 0;
    virtual void doSkip(std::string_view itemType, int count) = 0;
    virtual void doPrepare(std::u16string_view) {}
    virtual bool doesPrepare() const { return false; }

    // Thread-safe: queues the end-of-stream event of `streamNumber` on the event loop.
    void endStream(int streamNumber, std::int64_t streamPosition = 0);
    // Thread-safe: queues the end-of-stream event of `streamNumber`, which failed with `message`.
    void failStream(int streamNumber, std::string message, std::string detail = {});
    // Thread-safe: queues a task that throws KvenError(message), for a failure that belongs
    // to no one utterance (a file the engine writes, say).
    void reportFailure(std::string message);

private:
    void ensureConnected();

    EventPoster& loop_;
    EndStreamHandler onEndStream_;
    StreamFailedHandler onStreamFailed_;
    bool connected_ = false;
    int nextStream_ = 0;
    // Lets a queued event notice that the engine is gone.
    std::shared_ptr<SpeechEngine*> self_ = std::make_shared<SpeechEngine*>(this);
};

} // namespace kven
