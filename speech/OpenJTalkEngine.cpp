#include "speech/OpenJTalkEngine.h"

#include "speech/SynthesisText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kven {
namespace {

// 10 ms of sound per write: a Skip is noticed between two of them.
constexpr std::size_t kBlockSamples = samplesForMs(10);

} // namespace

OpenJTalkEngine::OpenJTalkEngine(EventPoster& loop, OpenJTalkSetup setup, std::unique_ptr<AudioOutput> output)
    : SynthesizerEngine(loop, std::move(setup)), output_(std::move(output))
{
}

OpenJTalkEngine::~OpenJTalkEngine()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto& job : jobs_) {
            job->cancel = true;
            job->synthesis->cancel();
        }
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void OpenJTalkEngine::start()
{
    if (!worker_.joinable())
        worker_ = std::thread([this] { work(); });
}

void OpenJTalkEngine::doSpeak(std::u16string_view text, int, int streamNumber)
{
    auto job = std::make_shared<Job>();
    job->stream = streamNumber;
    if (prepared_ && prepared_->text == text && prepared_->synthesis->voicing() == voicing()) {
        job->synthesis = std::move(prepared_->synthesis);
        ++preparedHits_;
    } else {
        job->synthesis = std::make_unique<PieceSynthesis>(setup(), voicing(), synthesisPieces(text));
    }
    prepared_.reset();
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void OpenJTalkEngine::doPrepare(std::u16string_view text)
{
    if (prepared_ && prepared_->text == text && prepared_->synthesis->voicing() == voicing())
        return;
    prepared_.reset();
    prepared_ =
        Prepared{std::u16string(text), std::make_unique<PieceSynthesis>(setup(), voicing(), synthesisPieces(text))};
}

void OpenJTalkEngine::doSkip(std::string_view, int)
{
    std::lock_guard lock(mutex_);
    for (const auto& job : jobs_) {
        job->cancel = true;
        job->synthesis->cancel();
    }
}

void OpenJTalkEngine::work()
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            job = jobs_.front();
        }
        std::optional<KvenError> failure;
        try {
            play(*job);
        } catch (const KvenError& e) {
            failure = e;
        }
        {
            std::lock_guard lock(mutex_);
            jobs_.pop_front();
        }
        // The synthesizer's process and thread end before the stream is reported ended.
        job->synthesis.reset();
        if (failure)
            failStream(job->stream, failure->what(), failure->detail());
        else
            endStream(job->stream);
    }
}

void OpenJTalkEngine::play(Job& job)
{
    std::unique_ptr<AudioStream> stream;
    for (std::size_t i = 0; i < job.synthesis->size(); ++i) {
        if (job.cancel)
            break;
        const std::optional<Samples> samples = job.synthesis->piece(i);
        if (!samples)
            break;
        if (samples->empty())
            continue;
        // Opened only for sound, so a silent utterance needs no audio server.
        if (!stream && !(stream = output_->open(job.cancel)))
            return;
        for (std::size_t at = 0; at < samples->size() && !job.cancel; at += kBlockSamples) {
            const std::size_t n = std::min(kBlockSamples, samples->size() - at);
            if (!stream->write(std::span(samples->data() + at, n), job.cancel))
                break;
        }
    }
    if (!stream)
        return;
    const AudioStream::Drain drained = job.cancel ? AudioStream::Drain::cancelled : stream->drain(job.cancel);
    if (drained == AudioStream::Drain::timedOut)
        std::fprintf(stderr, "%s: 音声出力が再生の終わりを知らせません; 次へ進みます\n", program_invocation_short_name);
    if (drained != AudioStream::Drain::heard)
        stream->flush();
}

} // namespace kven
