// Not a Google Benchmark: many utterances through the real engine and the real sound output,
// one after the other as the reading chain hands them over (bench/soak drives it). Prints
// every stall (an end-of-stream event later than the utterance's sound plus a second), the
// longest delay, and the open files, threads and child processes before and after.
//
// Usage: soak SINK VOICE_FOLDER [UTTERANCES] [RATE]

#include "speech/OpenJTalkEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace kven;
using Clock = std::chrono::steady_clock;

// Counts what is played, so that each event can be held against its sound's length.
inline std::atomic<double> lastDrain{0};
// When the first sound of the utterance went out (0: none yet), in seconds of the steady clock.
inline std::atomic<double> firstSound{0};

double now()
{
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

class CountingOutput : public AudioOutput {
public:
    explicit CountingOutput(std::unique_ptr<AudioOutput> real) : real_(std::move(real)) {}

    std::unique_ptr<AudioStream> open(const std::atomic<bool>& cancel) override
    {
        auto stream = real_->open(cancel);
        return stream ? std::make_unique<Counting>(std::move(stream), samples_) : nullptr;
    }
    // Samples written since the last call.
    std::size_t take() { return samples_.exchange(0); }

private:
    class Counting : public AudioStream {
    public:
        Counting(std::unique_ptr<AudioStream> real, std::atomic<std::size_t>& count)
            : real_(std::move(real)), count_(count)
        {
        }
        bool write(std::span<const std::int16_t> samples, const std::atomic<bool>& cancel) override
        {
            count_ += samples.size();
            double none = 0;
            firstSound.compare_exchange_strong(none, now());
            return real_->write(samples, cancel);
        }
        Drain drain(const std::atomic<bool>& cancel) override
        {
            const auto start = Clock::now();
            const Drain result = real_->drain(cancel);
            lastDrain = std::chrono::duration<double>(Clock::now() - start).count();
            return result;
        }
        void flush() override { real_->flush(); }

    private:
        std::unique_ptr<AudioStream> real_;
        std::atomic<std::size_t>& count_;
    };

    std::unique_ptr<AudioOutput> real_;
    std::atomic<std::size_t> samples_{0};
};

std::size_t entries(const char* folder)
{
    std::size_t n = 0;
    if (DIR* d = ::opendir(folder)) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

std::size_t children()
{
    std::size_t n = 0;
    const std::string self = std::to_string(::getpid());
    if (DIR* d = ::opendir("/proc")) {
        while (const dirent* e = ::readdir(d)) {
            std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
            std::string pid, name, state, parent;
            // The name is in parentheses and has no blanks for the programs started here.
            if (stat >> pid >> name >> state >> parent && parent == self)
                ++n;
        }
        ::closedir(d);
    }
    return n;
}

void resources(const char* when)
{
    std::printf("%s: %zu open files, %zu threads, %zu child processes\n", when, entries("/proc/self/fd"),
                entries("/proc/self/task"), children());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: soak SINK VOICE_FOLDER [UTTERANCES] [RATE]\n", stderr);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int count = argc > 3 ? std::atoi(argv[3]) : 1000;
    const int rate = argc > 4 ? std::atoi(argv[4]) : 0;
    const std::u16string texts[] = {u"はい。",
                                    u"いいえ、違います。",
                                    u"吾輩は猫である。",
                                    u"名前はまだ無い。",
                                    u"どこで生れたかとんと見当がつかぬ。",
                                    u"一。",
                                    u"そうですか。"};

    OpenJTalkSetup setup = OpenJTalkSetup::standard();
    setup.voiceFolders.insert(setup.voiceFolders.begin(), argv[2]);
    EventQueue loop;
    auto output = std::make_unique<CountingOutput>(makePulseOutput(argv[1]));
    CountingOutput& counter = *output;
    OpenJTalkEngine engine(loop, setup, std::move(output));
    int ended = 0, failed = 0;
    engine.setOnEndStream([&](int, std::int64_t) { ++ended; });
    engine.setOnStreamFailed([&](int) { ++failed; });
    engine.setRate(rate);

    int stalls = 0, audioStalls = 0;
    double longest = 0, totalSound = 0;
    for (int i = 0; i < count; ++i) {
        if (i == 1)
            resources("after the first utterance");
        const auto start = Clock::now();
        counter.take();
        firstSound = 0;
        engine.speak(texts[static_cast<std::size_t>(i) % std::size(texts)]);
        const int target = i + 1;
        while (ended < target) {
            try {
                loop.runOne(std::chrono::milliseconds(100));
            } catch (const KvenError& e) {
                std::printf("utterance %d failed: %s\n", i, e.what());
            }
            if (Clock::now() - start > std::chrono::seconds(60)) {
                std::printf("utterance %d: no event after 60 s; giving up\n", i);
                return 1;
            }
        }
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        const double sound = static_cast<double>(counter.take()) / kSampleRate;
        totalSound += sound;
        const double delay = took - sound;
        longest = std::max(longest, delay);
        if (delay > 1.0) {
            ++stalls;
            const double synthesis =
                firstSound > 0 ? firstSound - std::chrono::duration<double>(start.time_since_epoch()).count() : took;
            std::printf("stall: utterance %d took %.2f s for %.2f s of sound: %.2f s before its first sound "
                        "(synthesis), %.2f s draining\n",
                        i, took, sound, synthesis, lastDrain.load());
            audioStalls += took - synthesis - sound > 1.0;
        }
    }
    resources("at the end");
    std::printf("%d utterances, %.0f s of sound, %d failed, %d stalls (event later than the sound + 1 s), %d of "
                "them after the first sound, longest event delay beyond the sound %.2f s\n",
                count, totalSound, failed, stalls, audioStalls, longest);
    return stalls == 0 && failed == 0 ? 0 : 1;
}
