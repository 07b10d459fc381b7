#include "speech/AudioOutput.h"

#include "files/Errors.h"

#include <chrono>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <thread>

namespace kven {
namespace {

// About 60 ms of buffered sound: short enough that a flush or a cancelled drain is heard
// at once, long enough to ride over a busy machine.
constexpr std::uint32_t kTargetBytes = 2 * 48 * 60;

class PulseStream : public AudioStream {
public:
    explicit PulseStream(pa_simple* s) : s_(s) {}
    ~PulseStream() override { pa_simple_free(s_); }

    void write(std::span<const std::int16_t> samples) override
    {
        int error = 0;
        if (pa_simple_write(s_, samples.data(), samples.size_bytes(), &error) < 0)
            throw KvenError(std::string("音声出力に書き込めません: ") + pa_strerror(error));
    }

    bool drain(const std::atomic<bool>& cancel) override
    {
        // pa_simple_drain cannot be interrupted: wait in small steps until only a few
        // milliseconds are left, and drain those.
        for (;;) {
            if (cancel.load())
                return false;
            int error = 0;
            const pa_usec_t latency = pa_simple_get_latency(s_, &error);
            if (latency == static_cast<pa_usec_t>(-1) || latency <= 15000)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        int error = 0;
        if (pa_simple_drain(s_, &error) < 0)
            throw KvenError(std::string("音声出力に書き込めません: ") + pa_strerror(error));
        return !cancel.load();
    }

    void flush() override
    {
        int error = 0;
        pa_simple_flush(s_, &error);
    }

private:
    pa_simple* s_;
};

class PulseOutput : public AudioOutput {
public:
    explicit PulseOutput(std::string device) : device_(std::move(device)) {}

    std::unique_ptr<AudioStream> open() override
    {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, kSampleRate, 1};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = kTargetBytes;
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        int error = 0;
        pa_simple* s = pa_simple_new(nullptr, "KVEN", PA_STREAM_PLAYBACK, device_.empty() ? nullptr : device_.c_str(),
                                     "speech", &spec, nullptr, &attr, &error);
        if (!s)
            throw KvenError(std::string("音声出力 (PulseAudio) に接続できません: ") + pa_strerror(error));
        return std::make_unique<PulseStream>(s);
    }

private:
    std::string device_;
};

} // namespace

std::unique_ptr<AudioOutput> makePulseOutput(std::string device)
{
    return std::make_unique<PulseOutput>(std::move(device));
}

} // namespace kven
