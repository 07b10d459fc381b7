#include "export/ExportEngine.h"

#include "export/EncoderSinks.h"
#include "export/SplitPlaylist.h"
#include "files/Errors.h"
#include "speech/SynthesisText.h"
#include "text/Cp932.h"

#include <algorithm>

namespace kven {

ExportEngine::ExportEngine(EventPoster& loop, OpenJTalkSetup setup, TargetMaker makeTarget, unsigned workers)
    : SynthesizerEngine(loop, std::move(setup)), makeTarget_(std::move(makeTarget)),
      workerCount_(workers ? workers : std::max(1u, std::thread::hardware_concurrency()))
{
}

ExportEngine::ExportEngine(EventPoster& loop, OpenJTalkSetup setup, std::string path, unsigned workers)
    : ExportEngine(
          loop, std::move(setup),
          [path = std::move(path)] { return singleFileTarget(openAudioSink(path, AudioFormat::wav, {})); }, workers)
{
}

ExportEngine::~ExportEngine()
{
    abandon();
}

void ExportEngine::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& t : threads_)
        if (t.joinable())
            t.join();
    threads_.clear();
}

void ExportEngine::abandon()
{
    cancel_ = true;
    stop();
    // Its temporary files go with it.
    target_.reset();
}

void ExportEngine::endPlanning()
{
    planning_ = false;
    if (connected())
        start();
}

void ExportEngine::start()
{
    if (planning_)
        return;
    target_ = makeTarget_();
    {
        std::lock_guard lock(mutex_);
        takenOver_ = target_->takenOver();
    }
    for (unsigned i = 0; i < workerCount_; ++i)
        threads_.emplace_back([this] { work(); });
}

void ExportEngine::doSpeak(std::u16string_view text, int, int streamNumber)
{
    const std::size_t chapter = chapterNow_ ? chapterNow_() : 0;
    std::string line = lineNow_ ? lineNow_() : cp932::wideToUtf8(text);
    if (planning_) {
        if (planned_.size() <= chapter)
            planned_.resize(chapter + 1);
        std::vector<std::string_view> parts{planned_[chapter], voicing().voicePath, voicing().speed, line};
        const std::vector<std::string> pieces = synthesisPieces(text);
        parts.insert(parts.end(), pieces.begin(), pieces.end());
        planned_[chapter] = keyOf(parts);
        endStream(streamNumber);
        return;
    }
    // A target that keeps the chapter's file needs its utterances only counted.
    const bool kept = target_->canKeep(chapter);
    {
        std::unique_lock lock(mutex_);
        // Bounded memory: a few utterances per worker in flight at most. Short waits, since
        // a cancel comes from a signal handler that cannot notify.
        while (!failure_ && !cancel_ && submitted_ - written_ >= 4 * workerCount_)
            changed_.wait_for(lock, std::chrono::milliseconds(50));
        if (failure_)
            throw KvenError(*failure_);
        if (cancel_)
            throw KvenError("中断しました");
        tasks_.push_back({submitted_++, chapter, voicing(), kept ? std::vector<std::string>() : synthesisPieces(text),
                          std::move(line), kept});
    }
    changed_.notify_all();
    endStream(streamNumber);
}

void ExportEngine::work()
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty() || cancel_)
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        Samples utterance;
        std::optional<std::string> failure;
        try {
            const auto append = [&](std::size_t, const Samples& piece) {
                utterance.insert(utterance.end(), piece.begin(), piece.end());
            };
            if (!task.kept && !synthesizeUtterance(setup(), task.voicing, task.pieces, cancel_, append))
                return;
        } catch (const std::exception& e) {
            // Out of memory too: the export fails, the program goes on.
            failure = e.what();
        }
        std::unique_lock lock(mutex_);
        if (failure) {
            if (!failure_) {
                failure_ = failure;
                cancel_ = true;
                reportFailure(*failure);
            }
            changed_.notify_all();
            return;
        }
        done_.emplace(task.index, Utterance{task.chapter, std::move(utterance), std::move(task.line), task.kept});
        writeReady(lock);
    }
}

void ExportEngine::writeReady(std::unique_lock<std::mutex>& lock)
{
    // One writer at a time; the others leave their results for it.
    if (writing_)
        return;
    writing_ = true;
    for (auto it = done_.find(written_); it != done_.end() && !failure_; it = done_.find(written_)) {
        Utterance utterance = std::move(it->second);
        const Samples& samples = utterance.samples;
        done_.erase(it);
        lock.unlock();
        std::optional<std::string> failure;
        try {
            static const Samples silence(samplesForMs(kSilenceBeforeUtteranceMs), 0);
            if (utterance.kept) {
                target_->keep(utterance.chapter);
            } else {
                target_->append(utterance.chapter, silence);
                target_->cue(utterance.chapter, utterance.line);
                target_->append(utterance.chapter, samples);
            }
        } catch (const std::exception& e) {
            // Out of memory too: the export fails, the program goes on.
            failure = e.what();
        }
        lock.lock();
        if (failure && !failure_) {
            failure_ = failure;
            cancel_ = true;
            reportFailure(*failure);
        }
        ++written_;
        if (!utterance.kept)
            samplesWritten_ += samplesForMs(kSilenceBeforeUtteranceMs) + samples.size();
        changed_.notify_all();
    }
    writing_ = false;
}

void ExportEngine::finish()
{
    // Connecting creates the file, so a document with nothing to say still gives one.
    if (!connected())
        setEventInterests(kAllEvents);
    {
        std::unique_lock lock(mutex_);
        // Short waits here too: a cancel from a signal handler does not notify.
        while (!failure_ && !cancel_ && !(written_ == submitted_ && !writing_))
            changed_.wait_for(lock, std::chrono::milliseconds(50));
        if (failure_ || cancel_) {
            const std::string failure = failure_ ? *failure_ : "中断しました";
            lock.unlock();
            abandon();
            throw KvenError(failure);
        }
    }
    stop();
    target_->finish();
    target_.reset();
}

bool ExportEngine::allWritten() const
{
    std::lock_guard lock(mutex_);
    return failure_ || cancel_ || (written_ == submitted_ && !writing_);
}

std::optional<TakenOver> ExportEngine::takenOver() const
{
    std::lock_guard lock(mutex_);
    return takenOver_;
}

std::size_t ExportEngine::utterancesWritten() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

double ExportEngine::secondsWritten() const
{
    std::lock_guard lock(mutex_);
    return static_cast<double>(samplesWritten_) / kSampleRate;
}

} // namespace kven
