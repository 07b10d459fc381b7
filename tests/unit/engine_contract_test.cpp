// The timing contract of the speech engine interface, run against every back end built here,
// then what only the Open JTalk back end has: real voices, rate, failures of the synthesizer.

#include "export/ExportEngine.h"
#include "speech/OpenJTalkEngine.h"
#include "support/ScratchFolder.h"
#include "support/SpeechRig.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

namespace kven {
namespace {

using namespace std::chrono_literals;
using testing::RecordingOutput;
using testing::seconds;

// A sentence of about three seconds of speech.
constexpr char16_t kSentence[] = u"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。";

struct OpenJTalkRig {
    EventQueue loop;
    std::shared_ptr<RecordingOutput::Log> log = std::make_shared<RecordingOutput::Log>();
    // Four times real time: long texts are still playing when a test skips them.
    OpenJTalkEngine engine{loop, testing::testSetup(), std::make_unique<RecordingOutput>(log, 4.0)};

    static std::optional<std::string> missing() { return testing::missingSynthesizer(); }
    bool soundStarted()
    {
        std::lock_guard lock(log->mutex);
        return !log->streams.empty() && !log->streams.back().empty();
    }
};

struct WavRig {
    testing::ScratchFolder folder;
    EventQueue loop;
    ExportEngine engine{loop, testing::testSetup(), folder.path("out.wav"), 2};

    static std::optional<std::string> missing() { return testing::missingSynthesizer(); }
    // Nothing is heard from a file: an utterance is under way once Speak took it.
    bool soundStarted() const { return true; }
};

template<class Rig> class EngineContract : public ::testing::Test {
protected:
    void SetUp() override
    {
        KVEN_REQUIRE(Rig::missing());
        rig.engine.setOnEndStream([this](int stream, std::int64_t) { ended.push_back(stream); });
    }

    // Runs the event loop until `count` events came or `limit` passed.
    void waitForEvents(std::size_t count, std::chrono::milliseconds limit = 20s)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (ended.size() < count && std::chrono::steady_clock::now() < deadline)
            rig.loop.runOne(10ms);
    }

    Rig rig;
    std::vector<int> ended;
};

using Rigs = ::testing::Types<OpenJTalkRig, WavRig>;
TYPED_TEST_SUITE(EngineContract, Rigs);

TYPED_TEST(EngineContract, EachSpeakEndsWithOneEventAfterItReturned)
{
    const int first = this->rig.engine.speak(u"こんにちは。");
    const int second = this->rig.engine.speak(u"さようなら。");
    EXPECT_TRUE(this->ended.empty()) << "an event ran inside Speak";
    this->waitForEvents(2);
    this->waitForEvents(3, 300ms);
    EXPECT_EQ(this->ended, (std::vector<int>{first, second})) << "one event per utterance, in order";
}

TYPED_TEST(EngineContract, SilentUtterancesStillEnd)
{
    // Empty, only symbols, only control characters and blanks, only characters above U+FFFF.
    const int a = this->rig.engine.speak(u"");
    const int b = this->rig.engine.speak(u"・・・！？");
    const int c = this->rig.engine.speak(u"\r\n\t\u3000 ");
    const int d = this->rig.engine.speak(u"\U0001F600");
    this->waitForEvents(4);
    EXPECT_EQ(this->ended, (std::vector<int>{a, b, c, d}));
}

TYPED_TEST(EngineContract, SkipOfAPlayingStreamGivesExactlyOneEvent)
{
    std::u16string text;
    for (int i = 0; i < 4; ++i)
        text += kSentence;
    const int stream = this->rig.engine.speak(text);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!this->rig.soundStarted() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(this->rig.soundStarted());
    this->rig.engine.skip("Sentence", kSkipAll);
    EXPECT_TRUE(this->ended.empty()) << "an event ran inside Skip";
    this->waitForEvents(1, 2s);
    this->waitForEvents(2, 300ms);
    EXPECT_EQ(this->ended, std::vector<int>{stream});

    // Nothing playing: no event at all.
    this->rig.engine.skip("Sentence", kSkipAll);
    this->waitForEvents(2, 300ms);
    EXPECT_EQ(this->ended.size(), 1u);
}

TYPED_TEST(EngineContract, SkipEndsQueuedUtterancesTooAndTheNextSpeakIsHeard)
{
    const int a = this->rig.engine.speak(kSentence);
    const int b = this->rig.engine.speak(kSentence);
    this->rig.engine.skip("Sentence", kSkipAll);
    this->waitForEvents(2, 5s);
    EXPECT_EQ(this->ended, (std::vector<int>{a, b}));
    const int c = this->rig.engine.speak(u"はい。");
    this->waitForEvents(3);
    EXPECT_EQ(this->ended.back(), c);
}

// What only the real back end does.
class OpenJTalk : public ::testing::Test {
protected:
    void SetUp() override { KVEN_REQUIRE(testing::missingSynthesizer()); }

    // Speaks `text` on a fresh engine at `rate` and returns the samples heard.
    Samples spoken(std::u16string_view text, int rate = 0, OpenJTalkSetup setup = testing::testSetup())
    {
        EventQueue loop;
        auto log = std::make_shared<RecordingOutput::Log>();
        OpenJTalkEngine engine(loop, std::move(setup), std::make_unique<RecordingOutput>(log));
        bool done = false;
        engine.setOnEndStream([&](int, std::int64_t) { done = true; });
        engine.setRate(rate);
        engine.speak(text);
        // A bound, not a measure: ten sentences take their time on a busy machine.
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (!done && std::chrono::steady_clock::now() < deadline)
            loop.runOne(10ms);
        EXPECT_TRUE(done);
        Samples all;
        for (const Samples& s : log->streams)
            all.insert(all.end(), s.begin(), s.end());
        return all;
    }
};

TEST_F(OpenJTalk, ListsTheInstalledVoicesMeiNormalFirst)
{
    EventQueue loop;
    OpenJTalkEngine engine(loop, testing::testSetup(), std::make_unique<RecordingOutput>(nullptr));
    const auto voices = engine.installedVoices();
    std::vector<std::string> names;
    for (const auto& v : voices)
        names.push_back(cp932::wideToUtf8(v->description(0)));
    EXPECT_EQ(names, (std::vector<std::string>{"mei (normal)", "mei (angry)", "mei (bashful)", "mei (happy)",
                                               "mei (sad)", "nitech m001"}));
}

TEST_F(OpenJTalk, NoVoiceIsAnErrorNamingTheFoldersSearched)
{
    testing::ScratchFolder empty;
    OpenJTalkSetup setup = testing::testSetup();
    setup.voiceFolders = {empty.path(), empty.path("missing")};
    EventQueue loop;
    OpenJTalkEngine engine(loop, setup, std::make_unique<RecordingOutput>(nullptr));
    try {
        engine.installedVoices();
        FAIL() << "no voice must be an error";
    } catch (const KvenError& e) {
        EXPECT_NE(std::string(e.what()).find(empty.path("missing")), std::string::npos) << e.what();
    }
    EXPECT_FALSE(engine.connected());
}

TEST_F(OpenJTalk, SpeechHasShortSilentEndsAndAHigherRateIsShorter)
{
    const Samples normal = spoken(kSentence);
    const Samples fast = spoken(kSentence, 10);
    const Samples slow = spoken(kSentence, -10);
    ASSERT_GT(seconds(normal.size()), 2.0);
    // Speed 3 and 1/3: about a third and three times as long, give or take the pauses.
    EXPECT_NEAR(seconds(fast.size()) / seconds(normal.size()), 1.0 / 3, 0.1);
    EXPECT_NEAR(seconds(slow.size()) / seconds(normal.size()), 3.0, 0.6);

    // Barely any silence before the first sound and after the last.
    const auto loud = [](std::int16_t s) { return std::abs(static_cast<int>(s)) > 64; };
    const auto first = std::find_if(normal.begin(), normal.end(), loud) - normal.begin();
    const auto last = normal.rend() - std::find_if(normal.rbegin(), normal.rend(), loud);
    EXPECT_LE(static_cast<std::size_t>(first), samplesForMs(kEdgeSilenceMs));
    EXPECT_LE(normal.size() - static_cast<std::size_t>(last), samplesForMs(kEdgeSilenceMs));
}

TEST_F(OpenJTalk, LongTextIsSpokenWholeAcrossPieces)
{
    // 40 sentences, far past what one call of the synthesizer reads (1022 bytes) and past
    // what it survives in half-width characters: every piece must be heard.
    std::u16string longText;
    for (int i = 0; i < 10; ++i)
        longText += kSentence;
    std::u16string ascii(400, u'a');
    const Samples one = spoken(kSentence);
    const Samples ten = spoken(longText);
    EXPECT_NEAR(seconds(ten.size()) / seconds(one.size()), 10.0, 1.5);
    EXPECT_GT(seconds(spoken(ascii).size()), 5.0) << "400 half-width letters, spelled out";
}

TEST_F(OpenJTalk, AFailingSynthesizerIsAnErrorAndTheEngineRecovers)
{
    testing::ScratchFolder folder;
    const std::string failing = folder.write("failing", "");
    for (const std::string behaviour : {"exit1", "crash", "hang", "quiet-hang", "garbage", "truncated", "huge"}) {
        SCOPED_TRACE(behaviour);
        OpenJTalkSetup setup = testing::testSetup();
        setup.executable = testing::writeStandIn(folder.path(), behaviour, failing);
        // Long enough for the real synthesizer on a busy machine, short for the test.
        setup.timeout = 2s;
        folder.write("failing", "");

        EventQueue loop;
        auto log = std::make_shared<RecordingOutput::Log>();
        OpenJTalkEngine engine(loop, setup, std::make_unique<RecordingOutput>(log));
        std::vector<int> ended;
        engine.setOnEndStream([&](int stream, std::int64_t) { ended.push_back(stream); });
        engine.speak(kSentence);
        const int failed = engine.speak(u"はい。");
        std::vector<std::string> errors;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (ended.size() < 2 && std::chrono::steady_clock::now() < deadline) {
            try {
                loop.runOne(10ms);
            } catch (const KvenError& e) {
                errors.push_back(e.what());
            }
        }
        EXPECT_EQ(errors.size(), 2u) << "each failure reaches the event loop once, as an error";
        // The bound of a short text is under 1 MiB.
        if (behaviour == "huge" && !errors.empty()) {
            const std::string& error = errors.back();
            const std::size_t bound = error.rfind('(');
            EXPECT_TRUE(bound != std::string::npos && error.ends_with(" MiB 超)") &&
                        error.compare(bound, 3, "(0.") == 0 && error[bound + 3] >= '1' && error[bound + 3] <= '9')
                << error;
        }
        EXPECT_EQ(ended, (std::vector<int>{failed - 1, failed})) << "a failed utterance still ends its stream";
        ended.clear();

        folder.remove("failing");
        const int next = engine.speak(u"はい。");
        while (ended.empty() && std::chrono::steady_clock::now() < deadline + 10s)
            loop.runOne(10ms);
        EXPECT_EQ(ended, std::vector<int>{next});
        std::lock_guard lock(log->mutex);
        ASSERT_FALSE(log->streams.empty());
        EXPECT_GT(seconds(log->streams.back().size()), 0.2);
    }
}

TEST_F(OpenJTalk, AMissingSynthesizerOrDictionaryOrACorruptVoiceIsOneClearError)
{
    testing::ScratchFolder folder;
    folder.write("voices/broken.htsvoice", "not a voice");
    const OpenJTalkSetup real = testing::testSetup();
    const struct {
        const char* why;
        std::string executable;
        std::string dictionary;
        std::vector<std::string> voiceFolders;
        const char* says;
    } rows[] = {
        {"no synthesizer", folder.path("no-synthesizer"), real.dictionary, real.voiceFolders, "open-jtalk"},
        {"no dictionary", real.executable, folder.path("no-dictionary"), real.voiceFolders, "辞書"},
        {"a voice file that is no voice", real.executable, real.dictionary, {folder.path("voices")}, "音声合成"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        OpenJTalkSetup setup = real;
        setup.executable = r.executable;
        setup.dictionary = r.dictionary;
        setup.voiceFolders = r.voiceFolders;
        EventQueue loop;
        OpenJTalkEngine engine(loop, setup, std::make_unique<RecordingOutput>(nullptr));
        int ended = 0;
        engine.setOnEndStream([&](int, std::int64_t) { ++ended; });
        std::vector<std::string> errors;
        try {
            engine.speak(u"はい。");
        } catch (const KvenError& e) {
            errors.push_back(e.what());
        }
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (errors.empty() && std::chrono::steady_clock::now() < deadline) {
            try {
                loop.runOne(10ms);
            } catch (const KvenError& e) {
                errors.push_back(e.what());
            }
        }
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(r.says), std::string::npos) << errors[0];
        EXPECT_EQ(ended, engine.connected() ? 1 : 0) << "a Speak that was taken ends its stream";
    }
}

TEST_F(OpenJTalk, WhatTheSynthesizerStartedEndsWithIt)
{
    testing::ScratchFolder folder;
    const std::string on = folder.write("on", "");
    OpenJTalkSetup setup = testing::testSetup();
    setup.executable = testing::writeStandIn(folder.path(), "child", on);
    setup.timeout = 5s;
    // The child holds the synthesizer's output open: its end, not the pipe's, decides.
    EXPECT_GT(seconds(spoken(u"はい。", 0, setup).size()), 0.2);
    const std::string child = "/proc/" + folder.read("on.child").substr(0, folder.read("on.child").find('\n'));
    const auto running = [&] {
        // A zombie is gone too: only its parent's reaping is left.
        std::ifstream stat(child + "/stat");
        std::string pid, name, state;
        return stat >> pid >> name >> state && state != "Z";
    };
    for (int i = 0; i < 100 && running(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(running()) << "the synthesizer's own child is gone";
}

TEST_F(OpenJTalk, ACancelWakesAWaitForAPiece)
{
    testing::ScratchFolder folder;
    OpenJTalkSetup setup = testing::testSetup();
    setup.executable = testing::writeStandIn(folder.path(), "hang", folder.write("hanging", ""));
    // Shared with the waiting thread: one that never wakes is left to wait, not destroyed under it.
    struct Synthesis {
        OpenJTalkSetup setup;
        PieceSynthesis pieces{setup, {}, {"はい。"}};
    };
    const auto synthesis = std::make_shared<Synthesis>(setup);
    std::promise<bool> cancelled;
    std::future<bool> woke = cancelled.get_future();
    std::thread waiter(
        [synthesis, cancelled = std::move(cancelled)]() mutable { cancelled.set_value(!synthesis->pieces.piece(0)); });
    std::this_thread::sleep_for(200ms); // for the wait to begin
    synthesis->pieces.cancel();
    const bool ended = woke.wait_for(10s) == std::future_status::ready;
    ended ? waiter.join() : waiter.detach();
    ASSERT_TRUE(ended) << "the wait for a piece outlived the cancel";
    EXPECT_TRUE(woke.get()) << "a cancelled piece has no samples";
}

TEST_F(OpenJTalk, NoAudioServerIsAClearErrorButSilenceNeedsNone)
{
    EventQueue loop;
    auto output = std::make_unique<RecordingOutput>(std::make_shared<RecordingOutput::Log>());
    output->failOpen = "音声出力 (PulseAudio) に接続できません: Connection refused";
    OpenJTalkEngine engine(loop, testing::testSetup(), std::move(output));
    int ended = 0;
    engine.setOnEndStream([&](int, std::int64_t) { ++ended; });
    engine.speak(u"、。");
    engine.speak(u"こんにちは。");
    std::string error;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (error.empty() && std::chrono::steady_clock::now() < deadline) {
        try {
            loop.runOne(10ms);
        } catch (const KvenError& e) {
            error = e.what();
        }
    }
    EXPECT_EQ(ended, 2) << "the silent utterance, and the failed one";
    EXPECT_NE(error.find("PulseAudio"), std::string::npos) << error;
}

TEST_F(OpenJTalk, SynthesisAheadIsUsedOnlyForTheSameTextVoiceAndRate)
{
    EventQueue loop;
    auto log = std::make_shared<RecordingOutput::Log>();
    OpenJTalkEngine engine(loop, testing::testSetup(), std::make_unique<RecordingOutput>(log));
    int ended = 0;
    engine.setOnEndStream([&](int, std::int64_t) { ++ended; });
    const auto waitFor = [&](int n) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (ended < n && std::chrono::steady_clock::now() < deadline)
            loop.runOne(10ms);
    };
    engine.setEventInterests(kAllEvents);
    engine.prepare(u"はい。");
    engine.speak(u"はい。");
    waitFor(1);
    EXPECT_EQ(engine.preparedHits(), 1);

    engine.prepare(u"いいえ。");
    engine.speak(u"はい。"); // another text
    engine.prepare(u"はい。");
    engine.setRate(5); // another rate
    engine.speak(u"はい。");
    engine.prepare(u"はい。");
    engine.setVoice(engine.installedVoices().back()); // another voice
    engine.speak(u"はい。");
    waitFor(4);
    EXPECT_EQ(engine.preparedHits(), 1);

    std::lock_guard lock(log->mutex);
    ASSERT_EQ(log->streams.size(), 4u);
    EXPECT_EQ(log->streams[0], log->streams[1]) << "prepared audio is the same audio";
    EXPECT_LT(log->streams[2].size(), log->streams[1].size()) << "the rate of the Speak applies";
    EXPECT_NE(log->streams[3], log->streams[1]) << "the voice of the Speak applies";
}

} // namespace
} // namespace kven
