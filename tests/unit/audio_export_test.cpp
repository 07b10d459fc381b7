// Whole exports through the synthesizer: every format as long as the WAV export of the same
// text, the chapter files of a split export adding up to it, and a cancel that leaves nothing.

#include "export/AudioExport.h"
#include "files/Errors.h"
#include "settings/VoiceChoice.h"
#include "support/ScratchFolder.h"
#include "support/Sjis.h"
#include "support/SpeechRig.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <filesystem>
#include <sstream>

namespace kven {
namespace {

ExportRequest requestFor(const std::string& path, bool split = false, std::optional<int> bitrate = std::nullopt)
{
    ExportRequest request;
    request.path = path;
    request.split = split;
    request.bitrate = bitrate;
    return request;
}

const char* const kBook = "題名\r\n作者\r\n\r\n前書きです。\r\n"
                          "［＃８字下げ］一［＃「一」は中見出し］\r\n最初の章です。猫がいます。\r\n"
                          "［＃８字下げ］二［＃「二」は中見出し］\r\n次の章です。\r\n";

// The reading options of the default settings file.
Session bookWindow()
{
    Session session;
    session.setText(testing::sj(kBook));
    session.setLimit(&ReadingOptions::unreadLimit, 4);
    session.setLimit(&ReadingOptions::blankLimit, 9);
    session.setOption(&ReadingOptions::silentNotes, true);
    session.setTalkSymbols(testing::sj("、。，．・：；？！ー―…「」『』（）"));
    return session;
}

class AudioExportTest : public ::testing::Test {
protected:
    void SetUp() override { KVEN_REQUIRE(testing::missingSynthesizer()); }

    void exportTo(const std::string& path, bool split = false)
    {
        AudioExport job(bookWindow(), requestFor(path, split), testing::testSetup());
        job.run([](SpeechEngine& engine, Session& state) {
            setUpVoiceList(engine, state, 0, NegativeVoiceIndex::selectsFirst);
        });
    }

    static SF_INFO infoOf(const std::string& path)
    {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        EXPECT_NE(file, nullptr) << path;
        if (file != nullptr)
            sf_close(file);
        return info;
    }

    testing::ScratchFolder folder;
};

TEST_F(AudioExportTest, EveryFormatLastsAsLongAsTheWavExport)
{
    exportTo(folder.path("book.wav"));
    const SF_INFO wav = infoOf(folder.path("book.wav"));
    ASSERT_GT(wav.frames, kSampleRate);
    for (const char* ext : {".flac", ".ogg", ".opus", ".mp3"}) {
        SCOPED_TRACE(ext);
        exportTo(folder.path(std::string("book") + ext));
        const SF_INFO info = infoOf(folder.path(std::string("book") + ext));
        EXPECT_EQ(info.samplerate, wav.samplerate);
        EXPECT_EQ(info.channels, 1);
        EXPECT_NEAR(static_cast<double>(info.frames), static_cast<double>(wav.frames),
                    static_cast<double>(wav.frames) * 0.01);
    }
}

TEST_F(AudioExportTest, ChapterFilesAddUpToTheWholeAndArePlayedInOrder)
{
    exportTo(folder.path("book.wav"));
    exportTo(folder.path("book.opus"), true);
    const std::string playlist = folder.read("book/book.m3u8");
    std::istringstream lines(playlist);
    std::vector<std::string> files;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#')
            files.push_back(line);
    EXPECT_EQ(files, (std::vector<std::string>{"01 題名.opus", "02 一.opus", "03 二.opus"})) << playlist;
    double frames = 0;
    for (const std::string& file : files)
        frames += static_cast<double>(infoOf(folder.path("book/" + file)).frames);
    const double whole = static_cast<double>(infoOf(folder.path("book.wav")).frames);
    EXPECT_NEAR(frames, whole, whole * 0.01);
}

TEST_F(AudioExportTest, ACancelledExportLeavesNothing)
{
    AudioExport job(bookWindow(), requestFor(folder.path("book.opus"), true), testing::testSetup());
    int ticks = 0;
    try {
        job.run([](SpeechEngine& engine,
                   Session& state) { setUpVoiceList(engine, state, 0, NegativeVoiceIndex::selectsFirst); },
                [&] {
                    if (++ticks == 2)
                        job.cancel();
                });
        ADD_FAILURE() << "a cancelled export must not end as a complete one";
    } catch (const KvenError& e) {
        EXPECT_STREQ(e.what(), "中断しました");
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "no folder, no file, no temporary file";
}

// The text track follows the book as it is shown, not what the synthesizer is given: no ruby
// reading in katakana, no note as a pause mark, times as before.
TEST_F(AudioExportTest, TextTrackLinesAreTheBooksOwnText)
{
    Session session = bookWindow();
    session.setText(testing::sj("吾輩《わがはい》は猫である。\r\n［＃改丁］\r\n名前はまだ無い。\r\n"));
    session.setOption(&ReadingOptions::aozoraRuby, true);
    ExportRequest request = requestFor(folder.path("cat.wav"));
    request.lyrics = true;
    AudioExport job(std::move(session), request, testing::testSetup());
    job.run([](SpeechEngine& engine, Session& state) {
        setUpVoiceList(engine, state, 0, NegativeVoiceIndex::selectsFirst);
    });
    std::istringstream lines(folder.read("cat.lrc"));
    std::vector<std::string> texts;
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("[0"))
            texts.push_back(line.substr(line.find(']') + 1));
    EXPECT_EQ(texts, (std::vector<std::string>{"吾輩は猫である。", "名前はまだ無い。"})) << folder.read("cat.lrc");
}

TEST(AudioExportRequest, BadRequestsAreRefusedBeforeAnything)
{
    const struct {
        ExportRequest request;
        const char* says;
    } rows[] = {
        {requestFor("book.m4a"), ".wav .flac .ogg .opus .mp3"},
        {requestFor("book.opus", false, 300), "6 から 256"},
        {requestFor("book.flac", false, 64), "ビットレートがありません"},
        {requestFor("/tmp/.opus", true), "作成できません"},
    };
    for (const auto& row : rows) {
        try {
            checkRequest(row.request);
            ADD_FAILURE() << row.request.path;
        } catch (const KvenError& e) {
            EXPECT_NE(std::string(e.what()).find(row.says), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(checkRequest(requestFor("x/Book.MP3")), AudioFormat::mp3);
    EXPECT_EQ(chapterFolderOf("/a/book.opus"), "/a/book");
    EXPECT_EQ(chapterFolderOf("/a.b/book"), "/a.b/book");
}

} // namespace
} // namespace kven
