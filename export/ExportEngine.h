#pragma once
// The file back end: the same synthesis as the spoken one, written into an audio file (or
// one file per chapter) with 200 ms of silence before each utterance. Utterances are
// synthesized in parallel and written in the order they were given, so the files do not
// depend on the number of workers. Files are written under temporary names beside their
// targets and put in place by finish(); nothing is left behind otherwise. Only a regular
// file (or none) is replaced.
//
// Each Speak is queued and its end-of-stream event posted at once, so the reading step
// runs ahead of the synthesis; Speak waits only while many utterances are still unwritten.

#include "export/ExportTarget.h"
#include "speech/SynthesizerEngine.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kven {

// The pause of the reading step before each utterance, written as silence.
inline constexpr int kSilenceBeforeUtteranceMs = 200;

class ExportEngine : public SynthesizerEngine {
public:
    using TargetMaker = std::function<std::unique_ptr<ExportTarget>()>;
    // Into the target that `makeTarget` creates when the engine connects; it throws KvenError
    // when it cannot. `workers` 0 means one per processor.
    ExportEngine(EventPoster& loop, OpenJTalkSetup setup, TargetMaker makeTarget, unsigned workers = 0);
    // Into the WAV file `path`.
    ExportEngine(EventPoster& loop, OpenJTalkSetup setup, std::string path, unsigned workers = 0);
    // Without finish(), the export is abandoned and its temporary file removed.
    ~ExportEngine() override;

    // Waits for every utterance, completes the file and renames it into place. Throws
    // KvenError on the first failure of the export.
    void finish();
    // Stops at once; the temporary file is removed and the target left as it was.
    void abandon();
    // Async-signal-safe: asks the export to stop. Synthesis ends, a waiting Speak throws, and
    // the destructor or abandon() then removes the temporary file.
    void cancel() { cancel_.store(true); }
    // Every utterance given so far is written, or the export failed or was cancelled.
    bool allWritten() const;

    // Replaces the target maker; before the engine connects, or while it plans.
    void setTarget(TargetMaker makeTarget) { makeTarget_ = std::move(makeTarget); }
    // Before the engine connects: from now on Speak only notes what each chapter says and ends
    // its stream; nothing is made or written until endPlanning().
    void beginPlanning() { planning_ = true; }
    // The key of each chapter's utterances since beginPlanning(), by chapter index: of their
    // texts, voice, speed and lines, so equal keys give equal speech and text tracks; empty
    // for a chapter without any.
    const std::vector<std::string>& plannedKeys() const { return planned_; }
    // Speak synthesizes again; the target is made now when the engine is connected.
    void endPlanning();
    // Asked at each Speak: the chapter the utterance belongs to (0 without it).
    void setChapterSource(std::function<std::size_t()> chapterNow) { chapterNow_ = std::move(chapterNow); }
    // Asked at each Speak: the utterance's line of the text track (UTF-8); without it, the text
    // given. The lines are part of the planned keys.
    void setLineSource(std::function<std::string()> lineNow) { lineNow_ = std::move(lineNow); }

    // What the target takes over from earlier runs, once it is made; from any thread.
    std::optional<TakenOver> takenOver() const;

    unsigned workers() const { return static_cast<unsigned>(threads_.size()); }
    std::size_t utterancesWritten() const;
    // Seconds of sound written so far, silences included.
    double secondsWritten() const;

protected:
    // Creates the file and starts the workers.
    void start() override;
    void doSpeak(std::u16string_view text, int flags, int streamNumber) override;
    // Speech in a file cannot be cut short: every utterance given is written.
    void doSkip(std::string_view, int) override {}

private:
    struct Task {
        std::size_t index;
        std::size_t chapter;
        Voicing voicing;
        std::vector<std::string> pieces;
        std::string line; // of the text track, UTF-8
        bool kept;        // its chapter's file is kept from an earlier run: nothing to synthesize
    };
    struct Utterance {
        std::size_t chapter;
        Samples samples;
        std::string line;
        bool kept;
    };
    void work();
    void stop();
    // Writes finished utterances in order; called with the lock held.
    void writeReady(std::unique_lock<std::mutex>& lock);

    TargetMaker makeTarget_;
    std::function<std::size_t()> chapterNow_;
    std::function<std::string()> lineNow_;
    std::unique_ptr<ExportTarget> target_;
    unsigned workerCount_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> tasks_;
    std::map<std::size_t, Utterance> done_;
    std::size_t submitted_ = 0;
    std::size_t written_ = 0;
    std::uint64_t samplesWritten_ = 0;
    bool writing_ = false;
    std::optional<std::string> failure_;
    std::optional<TakenOver> takenOver_;
    std::atomic<bool> cancel_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
    bool stopping_ = false;
    bool planning_ = false;
    std::vector<std::string> planned_;
    std::vector<std::thread> threads_;
};

} // namespace kven
