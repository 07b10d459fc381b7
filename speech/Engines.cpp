// Temporary, replaced by the speech back end: a silent engine with one voice that ends every
// utterance at once, so that the window can be built and run before the real engine lands.

#include "speech/Engines.h"

namespace kven {

namespace {

class SilentVoice : public VoiceToken {
public:
    std::u16string GetDescription(int) const override { return u"Silent (no speech back end)"; }
};

class SilentEngine : public SpeechEngine {
public:
    using SpeechEngine::SpeechEngine;

protected:
    void doConnect() override {}
    void doSetEventInterests(int) override {}
    std::vector<VoiceHandle> doGetVoices() override { return {voice_}; }
    void doSetVoice(const VoiceHandle&) override {}
    void doSetRate(int) override {}
    void doSpeak(std::u16string_view, int, int streamNumber) override { endStream(streamNumber); }
    void doSkip(std::string_view, int) override {}

private:
    VoiceHandle voice_ = std::make_shared<SilentVoice>();
};

} // namespace

std::unique_ptr<SpeechEngine> makeSpeechEngine(EventPoster& loop)
{
    return std::make_unique<SilentEngine>(loop);
}

} // namespace kven
