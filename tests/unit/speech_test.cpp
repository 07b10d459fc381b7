#include "settings/VoiceChoice.h"
#include "state/Session.h"
#include "support/ScriptedEngine.h"
#include "support/Sjis.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

using testing::ScriptedEngine;
using V = std::vector<std::string>;

TEST(SpeechEngine, ConnectsOnFirstUseAndRetriesAFailedConnection)
{
    EventQueue loop;
    ScriptedEngine engine(loop);
    EXPECT_FALSE(engine.connected());
    engine.failOn = "connect";
    engine.failMessage = "no engine";
    try {
        engine.setRate(3);
        FAIL() << "a failed connection must throw";
    } catch (const KvenError& e) {
        EXPECT_STREQ(e.what(), "no engine");
    }
    EXPECT_FALSE(engine.connected());
    engine.failOn.reset();
    engine.setRate(3);
    engine.setEventInterests(kAllEvents);
    EXPECT_TRUE(engine.connected());
    EXPECT_EQ(engine.calls, (V{"connect", "connect", "Rate 3", "EventInterests 33790"}));
}

TEST(SpeechEngine, EndOfStreamArrivesThroughTheLoopAfterSpeakReturns)
{
    EventQueue loop;
    ScriptedEngine engine(loop);
    std::vector<int> ended;
    engine.setOnEndStream([&](int stream, std::int64_t) { ended.push_back(stream); });
    const int first = engine.speak(u"あ");
    const int second = engine.speak(u"い");
    EXPECT_NE(first, second);
    engine.finishSpeaking();
    EXPECT_TRUE(ended.empty()) << "never from inside a call of the interface";
    EXPECT_EQ(loop.runPending(), 2u);
    EXPECT_EQ(ended, (std::vector<int>{first, second}));
}

TEST(SpeechEngine, EventsOfADestroyedEngineAreDropped)
{
    EventQueue loop;
    int events = 0;
    {
        ScriptedEngine engine(loop);
        engine.setOnEndStream([&](int, std::int64_t) { ++events; });
        engine.speak(u"あ");
        engine.finishSpeaking();
    }
    EXPECT_EQ(loop.runPending(), 1u);
    EXPECT_EQ(events, 0);
}

TEST(SetUpVoiceList, TheChosenVoiceReachesTheSessionAndTheEngine)
{
    constexpr auto nothing = NegativeVoiceIndex::selectsNothing;
    constexpr auto first = NegativeVoiceIndex::selectsFirst;
    const struct {
        const char* why;
        int voices;
        int index;
        NegativeVoiceIndex negative;
        int selected;
        const char* voiceCall; // nullptr: the engine keeps its voice
    } rows[] = {
        {"an index in the list", 3, 1, nothing, 1, "Voice 1"},
        {"the last one", 3, 2, nothing, 2, "Voice 2"},
        {"one past the end selects the last", 3, 3, nothing, 2, "Voice 2"},
        {"far past the end too", 3, 1000, first, 2, "Voice 2"},
        {"the first one", 3, 0, nothing, 0, "Voice 0"},
        {"below 0, for the window", 3, -1, nothing, -1, nullptr},
        {"below 0, for kven-read", 3, -1, first, 0, "Voice 0"},
        {"no voice at all", 0, 0, first, -1, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EventQueue loop;
        ScriptedEngine engine(loop);
        engine.setVoices({u"女性 A", u"男性 B", u"C"});
        engine.voices.resize(static_cast<std::size_t>(r.voices));
        Session session;
        const std::vector<VoiceHandle> voices = setUpVoiceList(engine, session, r.index, r.negative);
        EXPECT_EQ(voices, engine.voices);
        const V all = {testing::sj("女性 A"), testing::sj("男性 B"), "C"};
        EXPECT_EQ(session.voices(), V(all.begin(), all.begin() + r.voices)) << "descriptions in Shift_JIS";
        EXPECT_EQ(session.voiceIndex(), r.selected);
        V expected = {"connect", "EventInterests 33790", "installedVoices"};
        if (r.voiceCall)
            expected.push_back(r.voiceCall);
        EXPECT_EQ(engine.calls, expected);
    }
}

TEST(EventQueue, ATaskThatThrowsLeavesTheLaterOnesQueued)
{
    EventQueue loop;
    int ran = 0;
    loop.post([] { throw KvenError("boom"); });
    loop.post([&] { ++ran; });
    EXPECT_THROW(loop.runPending(), KvenError);
    EXPECT_EQ(loop.size(), 1u);
    EXPECT_TRUE(loop.runOne());
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(loop.runOne(std::chrono::milliseconds(1)));
}

TEST(EventQueue, ATaskPostedByARunningTaskRunsAfterThoseAlreadyQueued)
{
    EventQueue loop;
    V order;
    loop.post([&] {
        order.push_back("a");
        loop.post([&] { order.push_back("posted by a"); });
    });
    loop.post([&] { order.push_back("b"); });
    EXPECT_EQ(loop.runPending(), 2u) << "only the tasks queued when it started";
    EXPECT_EQ(order, (V{"a", "b"}));
    EXPECT_EQ(loop.size(), 1u);
    EXPECT_EQ(loop.runPending(), 1u);
    EXPECT_EQ(order, (V{"a", "b", "posted by a"}));

    // One task at a time gives the same order.
    order.clear();
    loop.post([&] {
        order.push_back("c");
        loop.post([&] { order.push_back("posted by c"); });
    });
    loop.post([&] { order.push_back("d"); });
    while (loop.runOne())
        ;
    EXPECT_EQ(order, (V{"c", "d", "posted by c"}));
}

} // namespace
} // namespace kven
