#pragma once
// The default speech back end: each utterance is split into pieces the synthesizer handles
// safely, synthesized piece by piece and played as one stream through the audio output,
// with its silent ends shortened (synthesizeUtterance) so that the pause of the reading step
// is the pause heard.
// A worker thread plays utterances in the order they were given; Skip ends the one playing
// and every queued one, each with its own end-of-stream event.

#include "speech/AudioOutput.h"
#include "speech/SynthesizerEngine.h"

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace kven {

class OpenJTalkEngine : public SynthesizerEngine {
public:
    OpenJTalkEngine(EventPoster& loop, OpenJTalkSetup setup, std::unique_ptr<AudioOutput> output);
    ~OpenJTalkEngine() override;

    // How many Speak calls found their text already synthesized ahead (for measuring).
    int preparedHits() const { return preparedHits_; }

protected:
    void start() override;
    void doSpeak(std::u16string_view text, int flags, int streamNumber) override;
    void doSkip(std::string_view itemType, int count) override;
    void doPrepare(std::u16string_view text) override;
    bool doesPrepare() const override { return true; }

private:
    struct Job {
        int stream = 0;
        std::unique_ptr<PieceSynthesis> synthesis;
        std::atomic<bool> cancel{false};
    };
    struct Prepared {
        std::u16string text;
        std::unique_ptr<PieceSynthesis> synthesis;
    };

    void work();
    // Plays one utterance; returns when it was heard, skipped or failed (KvenError).
    void play(Job& job);

    std::unique_ptr<AudioOutput> output_;
    std::optional<Prepared> prepared_;
    int preparedHits_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> jobs_; // the front one is playing
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace kven
