// The audio output against a real sound server: the private one scripts/test starts with a
// null sink (KVEN_TEST_SINK), and no server at all.

#include "files/Errors.h"
#include "speech/AudioOutput.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/SpeechRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>

namespace kven {
namespace {

using testing::ScopedEnv;

const std::atomic<bool> never{false};

std::optional<std::string> missingSink()
{
    if (!std::getenv("KVEN_TEST_SINK"))
        return std::string("KVEN_TEST_SINK is not set: no private sound server (scripts/test starts one)");
    return std::nullopt;
}

Samples tone(int milliseconds)
{
    Samples s(samplesForMs(milliseconds));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) * 2 * 3.14159265 * 440 / kSampleRate));
    return s;
}

TEST(PulseOutput, PlaysDrainsAndFlushes)
{
    KVEN_REQUIRE(missingSink());
    auto output = makePulseOutput(std::getenv("KVEN_TEST_SINK"));
    const Samples sound = tone(200);
    std::atomic<bool> cancel{false};
    {
        auto stream = output->open(never);
        for (std::size_t at = 0; at < sound.size(); at += 480)
            EXPECT_TRUE(
                stream->write(std::span(sound.data() + at, std::min<std::size_t>(480, sound.size() - at)), cancel));
        EXPECT_EQ(stream->drain(cancel), AudioStream::Drain::heard);
    }
    // A cancelled drain gives up at once and the rest is dropped.
    auto stream = output->open(never);
    EXPECT_TRUE(stream->write(sound, cancel));
    cancel = true;
    EXPECT_EQ(stream->drain(cancel), AudioStream::Drain::cancelled);
    EXPECT_FALSE(stream->write(sound, cancel)) << "a cancelled write gives up too";
    stream->flush();
    // One connection per utterance: a new stream after the old one went works as well.
    stream.reset();
    cancel = false;
    EXPECT_NO_THROW(output->open(never)->write(tone(10), cancel));
}

TEST(PulseOutput, ATailShorterThanThePrebufferAfterAnUnderrunIsHeard)
{
    KVEN_REQUIRE(missingSink());
    // The synthesizer can be slower than playback: the server runs dry and waits to
    // prebuffer again, which the last few milliseconds of an utterance never fill.
    auto output = makePulseOutput(std::getenv("KVEN_TEST_SINK"));
    std::atomic<bool> cancel{false};
    for (const int tail : {10, 20, 30}) {
        auto stream = output->open(never);
        EXPECT_TRUE(stream->write(tone(100), cancel));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(stream->write(tone(tail), cancel));
        EXPECT_EQ(stream->drain(cancel), AudioStream::Drain::heard) << tail << " ms";
    }
}

TEST(PulseOutput, NoServerIsAClearError)
{
    testing::ScratchFolder folder;
    ScopedEnv server("PULSE_SERVER", ("unix:" + folder.path("no-server")).c_str());
    ScopedEnv noAutospawn("PULSE_CLIENTCONFIG", folder.write("client.conf", "autospawn = no\n").c_str());
    auto output = makePulseOutput();
    try {
        output->open(never);
        FAIL() << "no server must be an error";
    } catch (const KvenError& e) {
        EXPECT_NE(std::string(e.what()).find("PulseAudio"), std::string::npos) << e.what();
    }
}

// The server that played the last utterance and then went away is not one that never was.
TEST(PulseOutput, AServerGoneAfterPlayingHasStoppedAnswering)
{
    KVEN_REQUIRE(missingSink());
    auto output = makePulseOutput(std::getenv("KVEN_TEST_SINK"));
    ASSERT_NE(output->open(never), nullptr);
    testing::ScratchFolder folder;
    ScopedEnv server("PULSE_SERVER", ("unix:" + folder.path("no-server")).c_str());
    ScopedEnv noAutospawn("PULSE_CLIENTCONFIG", folder.write("client.conf", "autospawn = no\n").c_str());
    try {
        output->open(never);
        FAIL() << "a server gone must be an error";
    } catch (const KvenError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("音声出力 (PulseAudio) が応答しなくなりました: ")) << e.what();
        EXPECT_NE(e.detail().find("動いているか確かめて"), std::string::npos) << e.detail();
    }
}

} // namespace
} // namespace kven
