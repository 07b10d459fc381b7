#pragma once
// An engine that connects at once, has no voices and ignores every setting: the base of
// engines that only watch what the reading step hands over. Speak does nothing and never ends
// its stream; a derived engine decides when it ends.

#include "speech/SpeechEngine.h"

namespace kven {

class NullEngine : public SpeechEngine {
public:
    using SpeechEngine::SpeechEngine;
    // The stream number of the last Speak, for callers that deliver its end themselves.
    int lastStream() const { return lastStream_; }

protected:
    void doConnect() override {}
    void doSetEventInterests(int) override {}
    std::vector<VoiceHandle> doInstalledVoices() override { return {}; }
    void doSetVoice(const VoiceHandle&) override {}
    void doSetRate(int) override {}
    void doSpeak(std::u16string_view, int, int streamNumber) override { lastStream_ = streamNumber; }
    void doSkip(std::string_view, int) override {}

private:
    int lastStream_ = 0;
};

} // namespace kven
