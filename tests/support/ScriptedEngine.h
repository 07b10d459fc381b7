#pragma once
// A speech engine for tests: records every call, offers a configurable voice list, fails on
// demand, and keeps end-of-stream events pending until the test delivers them through the
// event queue it was built with.

#include "speech/SpeechEngine.h"

#include <optional>
#include <string>
#include <vector>

namespace kven::testing {

class ScriptedVoice : public VoiceToken {
public:
    explicit ScriptedVoice(std::u16string description) : description_(std::move(description)) {}
    std::u16string description(int) const override { return description_; }

private:
    std::u16string description_;
};

class ScriptedEngine : public SpeechEngine {
public:
    explicit ScriptedEngine(EventPoster& loop) : SpeechEngine(loop) {}

    // Every call of the interface, in order, e.g. "connect", "EventInterests 33790",
    // "Rate -3", "Voice 1", "Speak <utf-8 text>", "Skip Sentence 2147483647".
    std::vector<std::string> calls;
    // Texts handed to Speak, as Shift_JIS.
    std::vector<std::string> spoken;
    std::vector<VoiceHandle> voices;

    // With `prepares`, the engine takes the hints of Prepare and records them as calls
    // ("Prepare <utf-8 text>").
    bool prepares = false;

    // The named operation ("connect", "Speak", ...) throws KvenError(message) until cleared.
    std::optional<std::string> failOn;
    std::string failMessage = "engine failure";

    // Skip ends the utterance at once; otherwise Speak ends only when finishSpeaking() runs.
    void finishSpeaking();
    // Ends every open utterance as failed with `message`, as a synthesizer that broke does.
    void failSpeaking(const std::string& message);
    int pendingUtterances() const { return static_cast<int>(open_.size()); }
    void setVoices(std::initializer_list<std::u16string> descriptions);

protected:
    void doConnect() override;
    void doSetEventInterests(int interests) override;
    std::vector<VoiceHandle> doInstalledVoices() override;
    void doSetVoice(const VoiceHandle& voice) override;
    void doSetRate(int rate) override;
    void doSpeak(std::u16string_view text, int flags, int streamNumber) override;
    void doSkip(std::string_view itemType, int count) override;
    void doPrepare(std::u16string_view text) override;
    bool doesPrepare() const override { return prepares; }

private:
    void maybeFail(const std::string& op);
    std::vector<int> open_;
};

} // namespace kven::testing
