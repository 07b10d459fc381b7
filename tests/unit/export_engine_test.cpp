// The WAV back end: the same file whatever the number of workers, the pause before each
// utterance, and no file at all unless the export completed.

#include "export/EncoderSinks.h"
#include "export/ExportEngine.h"
#include "export/Lyrics.h"
#include "speech/OpenJTalkEngine.h"
#include "support/ScratchFolder.h"
#include "support/SpeechRig.h"
#include "support/TrackTags.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace kven {
namespace {

using namespace std::chrono_literals;

const std::vector<std::u16string> kUtterances = {
    u"吾輩は猫である。",
    u"名前はまだ無い。",
    u"、。",
    u"どこで生れたかとんと見当がつかぬ。",
    u"",
    u"何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。",
    u"はい。",
    u"いいえ。"};

class WavExport : public ::testing::Test {
protected:
    void SetUp() override { KVEN_REQUIRE(testing::missingSynthesizer()); }

    // Exports the utterances with `workers` workers, with the text track "out-N.lrc" when
    // `lyrics`; returns the file's bytes.
    std::string exportWith(unsigned workers, int rate = 0, bool lyrics = false)
    {
        const std::string path = folder.path("out-" + std::to_string(workers) + ".wav");
        EventQueue loop;
        ExportEngine engine(
            loop, testing::testSetup(),
            [&] {
                return singleFileTarget(openAudioSink(path, AudioFormat::wav, {}),
                                        lyrics ? lyricsPathOf(path) : std::string());
            },
            workers);
        int ended = 0;
        engine.setOnEndStream([&](int, std::int64_t) { ++ended; });
        engine.setRate(rate);
        for (const auto& u : kUtterances)
            engine.speak(u);
        loop.runPending();
        EXPECT_EQ(ended, static_cast<int>(kUtterances.size())) << "each Speak ends at once";
        EXPECT_EQ(engine.workers(), workers);
        engine.finish();
        return folder.read("out-" + std::to_string(workers) + ".wav");
    }

    std::vector<std::string> leftovers() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder.path()))
            names.push_back(e.path().filename().string());
        return names;
    }

    testing::ScratchFolder folder;
};

TEST_F(WavExport, ParallelWorkersWriteTheSameBytesAsOne)
{
    const std::string one = exportWith(1);
    const std::string three = exportWith(3);
    EXPECT_EQ(one.size(), three.size());
    EXPECT_TRUE(one == three) << "the file must not depend on the number of workers";
}

TEST_F(WavExport, EveryUtteranceFollowsTwoHundredMillisecondsOfSilence)
{
    const Samples all = parseWav(exportWith(2, 0, true));
    // Each utterance alone, as the spoken back end plays it.
    EventQueue loop;
    auto log = std::make_shared<testing::RecordingOutput::Log>();
    OpenJTalkEngine spoken(loop, testing::testSetup(), std::make_unique<testing::RecordingOutput>(log));
    int ended = 0;
    spoken.setOnEndStream([&](int, std::int64_t) { ++ended; });
    for (const auto& u : kUtterances)
        spoken.speak(u);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (ended < static_cast<int>(kUtterances.size()) && std::chrono::steady_clock::now() < deadline)
        loop.runOne(10ms);

    // The silent utterances ("、。" and "") open no stream but still have their pause.
    Samples expected;
    std::string lyrics;
    std::size_t stream = 0;
    for (std::size_t i = 0; i < kUtterances.size(); ++i) {
        expected.insert(expected.end(), samplesForMs(kSilenceBeforeUtteranceMs), 0);
        lyrics += lyricsTime(expected.size()) + cp932::wideToUtf8(kUtterances[i]) + "\n";
        if (i == 2 || i == 4)
            continue;
        ASSERT_LT(stream, log->streams.size());
        expected.insert(expected.end(), log->streams[stream].begin(), log->streams[stream].end());
        ++stream;
    }
    EXPECT_EQ(all.size(), expected.size());
    EXPECT_TRUE(all == expected) << "the file holds what the spoken back end plays";
    EXPECT_EQ(folder.read("out-2.lrc"), lyrics) << "each line at the sample where its speech begins";
}

TEST(Lyrics, TimesAreHundredthsOfTheSamplesWritten)
{
    const struct {
        std::uint64_t sample;
        const char* time;
    } rows[] = {
        {0, "[00:00.00]"},
        {239, "[00:00.00]"}, // just under half a hundredth
        {240, "[00:00.01]"}, // half rounds up
        {9600, "[00:00.20]"},
        {48000ULL * 60 - 1, "[01:00.00]"},
        // Two hours of a chapter: exact, where a clock or single-precision seconds would drift.
        {48000ULL * 7200 - 480, "[119:59.99]"},
        {48000ULL * 7200 + 479, "[120:00.01]"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(lyricsTime(row.sample), row.time) << row.sample;
    LyricsTrack track({"題", "著", "", 0});
    track.add(9600, "一行\r\n二行 ");
    EXPECT_EQ(track.text(), "[ti:題]\n[ar:著]\n[00:00.20]一行  二行\n") << "tags, then one line per utterance";
}

// No title, author or text can start a tag or a time stamp of its own, for a player that finds
// them anywhere on a line.
TEST(Lyrics, NoFieldStartsATagOrATimeStamp)
{
    const struct {
        const char* field;
        const char* written; // as a tag's value and as a line's text
    } rows[] = {
        {"題名]\n[offset:99999]", "題名］ ［offset:99999］"}, // a title that closes its tag and adds one
        {"猫[00:12.00]犬", "猫［00:12.00］犬"},               // a time stamp inside the text
        {"<00:01.00>語", "＜00:01.00＞語"},                   // the word times some players read
        {"a\rb\x0B"
         "c\u2028d\u0085e",
         "a b c d e"},             // every kind of line break
        {"x\xFF[y", "x\uFFFD［y"}, // no UTF-8: no bracket hides in it
    };
    for (const auto& row : rows) {
        LyricsTrack track({row.field, row.field, row.field, 0});
        track.add(0, row.field);
        const std::string text = track.text();
        EXPECT_EQ(testing::trackFault(text), std::nullopt) << text;
        EXPECT_EQ(text, "[ti:" + std::string(row.written) + "]\n[ar:" + row.written + "]\n[al:" + row.written +
                            "]\n[00:00.00]" + row.written + "\n");
    }
}

TEST_F(WavExport, NothingIsLeftBehindUnlessFinished)
{
    const std::string path = folder.path("book.wav");
    folder.write("book.wav", "the old file");
    {
        EventQueue loop;
        ExportEngine engine(loop, testing::testSetup(), path, 2);
        for (const auto& u : kUtterances)
            engine.speak(u);
        engine.cancel();
        // The engine goes without finish(): its temporary file goes with it.
    }
    EXPECT_EQ(leftovers(), std::vector<std::string>{"book.wav"});
    EXPECT_EQ(folder.read("book.wav"), "the old file");
}

TEST_F(WavExport, AFailureEndsTheExportWithoutAFile)
{
    OpenJTalkSetup setup = testing::testSetup();
    const std::string failing = folder.write("failing", "");
    setup.executable = testing::writeStandIn(folder.path(), "exit1", failing);
    const std::string path = folder.path("book.wav");
    EventQueue loop;
    ExportEngine engine(loop, setup, path, 2);
    engine.speak(u"はい。");
    EXPECT_THROW(engine.finish(), KvenError);
    EXPECT_FALSE(folder.exists("book.wav"));
    EXPECT_THROW(loop.runPending(), KvenError) << "the failure also reaches the event loop";
}

TEST_F(WavExport, AnUtteranceNotYetSynthesizedIsNotWritten)
{
    OpenJTalkSetup setup = testing::testSetup();
    setup.executable = testing::writeStandIn(folder.path(), "hang", folder.write("hanging", ""));
    EventQueue loop;
    ExportEngine engine(loop, setup, folder.path("book.wav"), 1);
    engine.speak(u"はい。");
    EXPECT_FALSE(engine.allWritten()) << "no writer is busy, yet the utterance is still to come";
}

TEST_F(WavExport, TheSynthesizerInheritsOnlyItsStandardStreamsAndStartsWithDefaultSignals)
{
    // As a parent would that leaks a descriptor into us, ignores SIGPIPE and SIGHUP (nohup) and
    // blocks SIGTERM: none of it may reach the synthesizer. The workers inherit the mask.
    const int leaked = ::open("/dev/null", O_RDONLY);
    const auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
    const auto oldHup = std::signal(SIGHUP, SIG_IGN);
    sigset_t term, oldMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &term, &oldMask);

    const std::string listing = folder.path("fds");
    const std::string signals = folder.path("signals");
    const std::string script = folder.path("synth-listing");
    {
        // Perl leaves the signal mask as it found it (a shell clears it), so it reads the
        // signal state; a shell then lists the descriptors and runs the real synthesizer.
        std::ofstream out(script);
        out << "#!/usr/bin/perl\n"
            << "open(my $in, '<', '/proc/self/status') or die;\n"
            << "open(my $out, '>>', '" << signals << "') or die;\n"
            << "print $out grep { /^Sig(Ign|Blk):/ } <$in>;\n"
            << "close $out;\n"
            << "exec '/bin/sh', '-c', 'ls -l /proc/self/fd >>\"$0\"; exec /usr/bin/open_jtalk \"$@\"', '" << listing
            << "', @ARGV;\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    OpenJTalkSetup setup = testing::testSetup();
    setup.executable = script;
    {
        EventQueue loop;
        ExportEngine engine(loop, setup, folder.path("book.wav"), 2);
        for (const auto& u : kUtterances)
            engine.speak(u);
        engine.finish();
    }
    ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    std::signal(SIGPIPE, oldPipe);
    std::signal(SIGHUP, oldHup);
    ::close(leaked);

    std::istringstream lines(folder.read("fds"));
    int seen = 0;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t arrow = line.find(" -> ");
        if (arrow == std::string::npos)
            continue;
        const std::size_t space = line.rfind(' ', arrow - 1);
        const int fd = std::stoi(line.substr(space + 1, arrow - space - 1));
        const std::string target = line.substr(arrow + 4);
        ++seen;
        // The listing's own reading of /proc, and the script that the shell runs, are the shell's.
        if (fd <= 2 || target.starts_with("/proc/") || target == script)
            continue;
        ADD_FAILURE() << "the synthesizer inherited descriptor " << fd << " -> " << target;
    }
    EXPECT_GE(seen, 3) << "no listing from the stand-in synthesizer";

    // Nothing ignored, nothing blocked: a SigIgn and a SigBlk line per call of the synthesizer.
    // Not ours to decide: the C library's own signals (32 up to SIGRTMIN), which its spawn
    // leaves ignored, and SIGFPE, which Perl ignores for itself.
    std::uint64_t reserved = std::uint64_t{1} << (SIGFPE - 1);
    for (int s = 32; s < SIGRTMIN; ++s)
        reserved |= std::uint64_t{1} << (s - 1);
    std::istringstream status(folder.read("signals"));
    int states = 0;
    for (std::string line; std::getline(status, line); ++states)
        EXPECT_EQ(std::stoull(line.substr(line.find(':') + 1), nullptr, 16) & ~reserved, 0u) << line;
    EXPECT_GE(states, 2) << "no signal states from the stand-in synthesizer";
}

} // namespace
} // namespace kven
