#pragma once
// What the tests of the real speech back ends need: the synthesizer set-up with the
// project's voices, an audio output that records instead of playing, stand-in synthesizers
// that fail on demand, and the rule for components missing on this machine.

#include "speech/AudioOutput.h"
#include "speech/OpenJTalk.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kven::testing {

// Why the real synthesizer cannot run here (not installed, no voices), or nothing.
std::optional<std::string> missingSynthesizer();
// GTEST_SKIP with the reason, or a failure when CI is set: under CI nothing may skip.
#define KVEN_REQUIRE(reason)                                                                                           \
    do {                                                                                                               \
        if (const std::optional<std::string> why_ = (reason)) {                                                        \
            if (std::getenv("CI"))                                                                                     \
                FAIL() << "CI needs this component: " << *why_;                                                        \
            GTEST_SKIP() << *why_;                                                                                     \
        }                                                                                                              \
    } while (0)

// The real synthesizer with the voices the set-up scripts install into the source tree.
OpenJTalkSetup testSetup();

// Plays nothing: keeps every sample written. With `pace`, a write takes as long as its
// sound would take to play divided by `pace`, so that an utterance is still playing when a
// test skips it.
class RecordingOutput : public AudioOutput {
public:
    struct Log {
        std::mutex mutex;
        std::vector<Samples> streams; // one per stream opened, in order
        int flushes = 0;
        int drains = 0;
    };

    explicit RecordingOutput(std::shared_ptr<Log> log, double pace = 0) : log_(std::move(log)), pace_(pace) {}
    std::unique_ptr<AudioStream> open(const std::atomic<bool>& cancel) override;
    // Fails every later open() with this message, as an unreachable server does.
    std::optional<std::string> failOpen;

private:
    std::shared_ptr<Log> log_;
    double pace_;
};

// A stand-in synthesizer: a script that behaves as `behaviour` says ("exit1", "crash",
// "hang", "quiet-hang" (closes its output first), "garbage", "truncated" (the real WAV cut
// short), "huge" (endless output), "child" (leaves a process of its own running, its id in
// `switchFile`.child, then synthesizes)) while the file `switchFile` exists, and runs the
// real one otherwise.
std::string writeStandIn(const std::string& folder, const std::string& behaviour, const std::string& switchFile);

// Seconds of sound.
inline double seconds(std::size_t samples)
{
    return static_cast<double>(samples) / kSampleRate;
}

} // namespace kven::testing
