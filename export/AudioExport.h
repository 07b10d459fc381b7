#pragma once
// An audiobook export: the document read by the same reading step as when it is read aloud,
// from a position to its end, and its speech written into an audio file or into one file per
// chapter. It runs on the thread that calls run(), with an event loop of its own, on a copy
// of the reading state, so the window can export in the background while it reads aloud.

#include "export/AudioFormats.h"
#include "export/ExportEngine.h"
#include "export/ExportProgress.h"
#include "intake/Chapters.h"
#include "state/Session.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace kven {

struct ExportRequest {
    std::string path; // the file; with `split`, the chapter files go into the folder of this name without its extension
    bool split = false;
    std::optional<AudioFormat> format; // without it, the path's extension names the format
    std::optional<int> bitrate;        // kbit/s, for a format that has a bit rate
    unsigned jobs = 0;                 // synthesis processes; 0: one per processor
    // An LRC text track beside each audio file; a split export always writes them.
    bool lyrics = false;
    // Where the export starts, a byte offset into the text; without it, at its start.
    std::optional<std::size_t> from;
};

// The format a request writes. Throws KvenError for a name without a known extension, a
// format the installed libsndfile cannot write, or a bit rate the format does not have or
// cannot take.
AudioFormat checkRequest(const ExportRequest& request);
// The folder of a split export: the path without its extension.
std::string chapterFolderOf(const std::string& path);
// What a split export says of the files it takes over from earlier runs (UTF-8, a line each);
// empty when it takes over nothing.
std::vector<std::string> takenOverText(const TakenOver& taken);

class AudioExport {
public:
    // Reads the text of `session` from `request.from` (or its start), whatever its cursor, with
    // its options, lists and reading dictionary; the document's headings, their ends and its name give the chapters and
    // the tags.
    AudioExport(Session session, ExportRequest request, OpenJTalkSetup setup);

    using VoiceSetUp = std::function<void(SpeechEngine&, Session&)>;
    // Exports; returns once every file is in place. Runs once. A split export first reads the
    // text through without a sound, to know what each chapter says, and keeps the chapter files
    // of an earlier run that say the same (see ChapterFiles.h). `setUpVoice` chooses voice and
    // rate before the first utterance; `tick` runs between events, about ten times a second
    // while the export waits for the synthesis.
    // Throws KvenError on any failure, and "中断しました" after cancel(); no file is then
    // left behind and none replaced.
    void run(const VoiceSetUp& setUpVoice, const std::function<void()>& tick = {});
    // From any thread, and async-signal-safe: the export stops as soon as it can.
    void cancel();
    bool cancelled() const { return cancelled_.load(); }

    struct Status {
        double done = 0;            // share of the text from the start position, 0 to 1
        double elapsed = 0;         // seconds since run() began
        std::optional<double> left; // seconds, at the pace so far, once there is one
        double speech = 0;          // seconds of sound written
        // What a split export takes over from earlier runs, once its files are planned.
        std::optional<TakenOver> takenOver;
    };
    // From any thread.
    Status status() const;
    // The progress line of the command-line reader.
    std::string progressLine() const;

private:
    // Runs the reading step from the cursor to the end of the text, or until cancel(); with
    // `counted`, the utterances count for the progress.
    void readToEnd(bool counted, const std::function<void()>& idle);

    Session session_;
    ExportRequest request_;
    std::vector<Chapter> chapters_; // set by run() before the first utterance
    EventQueue loop_;
    ExportEngine engine_;
    std::atomic<bool> cancelled_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);

    mutable std::mutex mutex_;
    ExportProgress progress_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace kven
