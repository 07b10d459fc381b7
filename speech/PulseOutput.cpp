#include "speech/AudioOutput.h"

#include "files/Errors.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <chrono>

namespace kven {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// About 60 ms of buffered sound: short enough that a flush or a cancelled drain is heard
// at once, long enough to ride over a busy machine.
constexpr std::uint32_t kTargetBytes = 2 * 48 * 60;
// How often a waiting call wakes to look at its cancel flag and its deadline.
constexpr pa_usec_t kTickUsec = 10 * PA_USEC_PER_MSEC;
// A server that takes longer than this to connect, to accept a stream, or to take one more
// block of sound is stuck (stopped, or hung), not busy.
constexpr auto kStallLimit = 3s;
// What a drain may take beyond the sound still queued when it starts.
constexpr auto kDrainMargin = 2s;

const std::string kCannotConnect = "音声出力 (PulseAudio) に接続できません: ";
const std::string kStoppedAnswering = "音声出力 (PulseAudio) が応答しなくなりました: ";
const std::string kCannotWrite = "音声出力に書き込めません: ";
// What to do when the sound server cannot be reached or stops answering.
const std::string kServerHint =
    "サウンドサーバー (PulseAudio または PipeWire) が動いているか確かめてから、もう一度読み上げてください";

// One connection to the server with one playback stream, driven by a mainloop thread of its
// own (the asynchronous API, so that every wait has a bound and can be cancelled; the simple
// API blocks without either). A timer wakes the waiting caller every few milliseconds.
class PulseStream : public AudioStream {
public:
    // Not ready when `cancel` became true before the stream was.
    PulseStream(const std::string& device, const std::atomic<bool>& cancel)
    {
        try {
            ready_ = connect(device, cancel);
        } catch (...) {
            close();
            throw;
        }
    }

    ~PulseStream() override { close(); }

    bool ready() const { return ready_; }

private:
    bool connect(const std::string& device, const std::atomic<bool>& cancel)
    {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_)
            throw KvenError(kCannotConnect + "out of memory", kServerHint);
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "KVEN");
        if (!context_)
            throw KvenError(kCannotConnect + "out of memory", kServerHint);
        pa_context_set_state_callback(context_, &PulseStream::signal, this);
        if (pa_threaded_mainloop_start(loop_) < 0)
            throw KvenError(kCannotConnect + "no thread", kServerHint);
        started_ = true;
        Lock lock(loop_);
        timeval first{};
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        tick_ = api->time_new(api, pa_timeval_add(pa_gettimeofday(&first), kTickUsec), &PulseStream::onTick, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            throw KvenError(kCannotConnect + contextError(), kServerHint);
        const auto deadline = Clock::now() + kStallLimit;
        if (!awaitConnected([this] { return pa_context_get_state(context_); }, PA_CONTEXT_READY, PA_CONTEXT_IS_GOOD,
                            deadline, cancel))
            return false;

        const pa_sample_spec spec{PA_SAMPLE_S16LE, kSampleRate, 1};
        stream_ = pa_stream_new(context_, "speech", &spec, nullptr);
        if (!stream_)
            throw KvenError(kCannotConnect + contextError(), kServerHint);
        pa_stream_set_state_callback(stream_, &PulseStream::signal, this);
        pa_stream_set_write_callback(stream_, &PulseStream::onWritable, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = kTargetBytes;
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_playback(stream_, device.empty() ? nullptr : device.c_str(), &attr,
                                       PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
            throw KvenError(kCannotConnect + contextError(), kServerHint);
        return awaitConnected([this] { return pa_stream_get_state(stream_); }, PA_STREAM_READY, PA_STREAM_IS_GOOD,
                              deadline, cancel);
    }

    // Waits with the lock held until `state()` is `ready`: false once `cancel` is true; throws
    // when the connection failed (`good` says no) or the deadline passed first.
    template<class State, class Ready>
    bool awaitConnected(State state, Ready ready, int (*good)(Ready), Clock::time_point deadline,
                        const std::atomic<bool>& cancel)
    {
        for (Ready now = state(); now != ready; now = state()) {
            if (!good(now))
                throw KvenError(kCannotConnect + contextError(), kServerHint);
            if (cancel.load())
                return false;
            if (Clock::now() >= deadline)
                throw KvenError(kCannotConnect + "応答がありません", kServerHint);
            pa_threaded_mainloop_wait(loop_);
        }
        return true;
    }

public:
    bool write(std::span<const std::int16_t> samples, const std::atomic<bool>& cancel) override
    {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
        std::size_t left = samples.size_bytes();
        Lock lock(loop_);
        auto deadline = Clock::now() + kStallLimit;
        while (left > 0) {
            if (cancel.load())
                return false;
            checkStream(kCannotWrite);
            const std::size_t room = pa_stream_writable_size(stream_);
            if (room == static_cast<std::size_t>(-1))
                throw KvenError(kCannotWrite + contextError());
            if (room == 0) {
                if (Clock::now() >= deadline)
                    throw KvenError(kCannotWrite + "応答がありません");
                pa_threaded_mainloop_wait(loop_);
                continue;
            }
            // Whole samples only: the server counts frames.
            const std::size_t n = std::min(left, room) & ~static_cast<std::size_t>(1);
            if (n == 0) {
                pa_threaded_mainloop_wait(loop_);
                continue;
            }
            if (pa_stream_write(stream_, bytes, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                throw KvenError(kCannotWrite + contextError());
            bytes += n;
            left -= n;
            deadline = Clock::now() + kStallLimit;
        }
        return true;
    }

    Drain drain(const std::atomic<bool>& cancel) override
    {
        Lock lock(loop_);
        checkStream(kCannotWrite);
        // What is written but short of the prebuffering threshold would wait for more that never
        // comes (after an underrun, say): start playback of whatever is there.
        if (pa_operation* op = pa_stream_trigger(stream_, nullptr, nullptr))
            pa_operation_unref(op);
        drained_ = false;
        pa_operation* op = pa_stream_drain(stream_, &PulseStream::onDrained, this);
        if (!op)
            throw KvenError(kCannotWrite + contextError());
        const auto deadline = Clock::now() + queuedDuration() + kDrainMargin;
        Drain result = Drain::heard;
        while (!drained_) {
            if (cancel.load()) {
                result = Drain::cancelled;
                break;
            }
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
                pa_operation_cancel(op);
                pa_operation_unref(op);
                throw KvenError(kCannotWrite + contextError());
            }
            if (Clock::now() >= deadline) {
                result = Drain::timedOut;
                break;
            }
            pa_threaded_mainloop_wait(loop_);
        }
        if (!drained_)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        return result;
    }

    void flush() override
    {
        Lock lock(loop_);
        if (stream_ && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)))
            if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr))
                pa_operation_unref(op);
    }

private:
    class Lock {
    public:
        explicit Lock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
        ~Lock() { pa_threaded_mainloop_unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    // Disconnecting ends the sound at once; nothing here waits for the server.
    void close()
    {
        if (!loop_)
            return;
        {
            Lock lock(loop_);
            if (stream_) {
                pa_stream_set_state_callback(stream_, nullptr, nullptr);
                pa_stream_set_write_callback(stream_, nullptr, nullptr);
                pa_stream_disconnect(stream_);
                pa_stream_unref(stream_);
                stream_ = nullptr;
            }
            if (tick_) {
                pa_threaded_mainloop_get_api(loop_)->time_free(tick_);
                tick_ = nullptr;
            }
            if (context_) {
                pa_context_set_state_callback(context_, nullptr, nullptr);
                pa_context_disconnect(context_);
                pa_context_unref(context_);
                context_ = nullptr;
            }
        }
        if (started_)
            pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }

    void checkStream(const std::string& what)
    {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)))
            throw KvenError(what + contextError());
    }

    std::string contextError() const { return pa_strerror(context_ ? pa_context_errno(context_) : PA_ERR_UNKNOWN); }

    // The sound the server still holds, at most: what it asked to be kept buffered.
    std::chrono::milliseconds queuedDuration() const
    {
        const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream_);
        const std::uint32_t bytes = attr ? std::max(attr->tlength, attr->prebuf) : kTargetBytes;
        return std::chrono::milliseconds(bytes / (2 * kSampleRate / 1000));
    }

    template<class T> static void signal(T*, void* self)
    {
        pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->loop_, 0);
    }
    static void onWritable(pa_stream*, std::size_t, void* self)
    {
        pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->loop_, 0);
    }
    static void onDrained(pa_stream*, int, void* self)
    {
        auto* me = static_cast<PulseStream*>(self);
        me->drained_ = true;
        pa_threaded_mainloop_signal(me->loop_, 0);
    }
    // Touches nothing of ours but the mainloop, which outlives its thread.
    static void onTick(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self)
    {
        timeval next{};
        api->time_restart(event, pa_timeval_add(pa_gettimeofday(&next), kTickUsec));
        pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->loop_, 0);
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_time_event* tick_ = nullptr;
    bool started_ = false;
    bool ready_ = false;
    std::atomic<bool> drained_{false};
};

class PulseOutput : public AudioOutput {
public:
    explicit PulseOutput(std::string device) : device_(std::move(device)) {}

    std::unique_ptr<AudioStream> open(const std::atomic<bool>& cancel) override
    {
        try {
            auto stream = std::make_unique<PulseStream>(device_, cancel);
            if (!stream->ready())
                return nullptr;
            played_ = true;
            return stream;
        } catch (const KvenError& e) {
            // A server that took our sound before has gone away or hung, rather than never
            // having been there.
            const std::string_view what = e.what();
            if (!played_ || !what.starts_with(kCannotConnect))
                throw;
            throw KvenError(kStoppedAnswering + std::string(what.substr(kCannotConnect.size())), kServerHint);
        }
    }

private:
    std::string device_;
    std::atomic<bool> played_{false};
};

} // namespace

std::unique_ptr<AudioOutput> makePulseOutput(std::string device)
{
    return std::make_unique<PulseOutput>(std::move(device));
}

} // namespace kven
