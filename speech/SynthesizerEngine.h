#pragma once
// What the back ends built on the synthesizer share: its set-up, the voices found when the
// engine connects, and the voicing in use (voice and speed). A back end adds only what it
// does with an utterance.

#include "speech/OpenJTalk.h"
#include "speech/SpeechEngine.h"

#include <memory>
#include <vector>

namespace kven {

class SynthesizerEngine : public SpeechEngine {
protected:
    SynthesizerEngine(EventPoster& loop, OpenJTalkSetup setup) : SpeechEngine(loop), setup_(std::move(setup)) {}

    const OpenJTalkSetup& setup() const { return setup_; }
    // What Speak synthesizes with now.
    const Voicing& voicing() const { return voicing_; }

    // Checks that the synthesizer and its dictionary are installed and finds the voices (the
    // first one, at the normal speed, is then in use); then start(). Throws KvenError naming
    // what is missing.
    void doConnect() final;
    // Starts the back end's own work once the voices are found; throws KvenError when it cannot.
    virtual void start() = 0;
    void doSetEventInterests(int) final {}
    std::vector<VoiceHandle> doInstalledVoices() final { return {voices_.begin(), voices_.end()}; }
    // Throws KvenError for a handle that is not one of these voices.
    void doSetVoice(const VoiceHandle& voice) final;
    void doSetRate(int rate) final;

private:
    OpenJTalkSetup setup_;
    std::vector<std::shared_ptr<const OpenJTalkVoice>> voices_;
    Voicing voicing_;
};

} // namespace kven
