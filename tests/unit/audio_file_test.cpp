// The audio files of an export: each format read back by libsndfile with its length and
// tags, a failed write that leaves the old file alone, the files, names and playlist of a
// split export, and what killed exports left.

#include "export/ChapterFiles.h"
#include "export/EncoderSinks.h"
#include "export/Lyrics.h"
#include "export/SplitPlaylist.h"
#include "files/Errors.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace kven {
namespace {

// Two seconds of a tone between stretches of silence, like an utterance.
Samples speechLike()
{
    Samples samples(samplesForMs(300), 0);
    for (int i = 0; i < 2 * kSampleRate; ++i)
        samples.push_back(static_cast<std::int16_t>(8000 * std::sin(i * 2 * M_PI * 220 / kSampleRate)));
    samples.resize(samples.size() + samplesForMs(300), 0);
    return samples;
}

struct ReadBack {
    int rate = 0;
    int channels = 0;
    std::int64_t frames = 0;
    std::string title, artist, album, track;
};

ReadBack readBack(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    ReadBack back;
    if (file == nullptr)
        return back;
    const auto text = [file](int type) {
        const char* s = sf_get_string(file, type);
        return std::string(s != nullptr ? s : "");
    };
    back = {info.samplerate,    info.channels,           info.frames, text(SF_STR_TITLE), text(SF_STR_ARTIST),
            text(SF_STR_ALBUM), text(SF_STR_TRACKNUMBER)};
    sf_close(file);
    return back;
}

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

constexpr AudioFormat kFormats[] = {AudioFormat::wav, AudioFormat::flac, AudioFormat::vorbis, AudioFormat::opus,
                                    AudioFormat::mp3};

TEST(AudioFile, EveryFormatReadsBackWithItsLengthAndTags)
{
    testing::ScratchFolder folder;
    const Samples samples = speechLike();
    const AudioTags tags{"吾輩は猫である", "夏目漱石", "猫", 3};
    for (const AudioFormat format : kFormats) {
        SCOPED_TRACE(extensionOf(format));
        ASSERT_TRUE(canWrite(format)) << "the installed libsndfile cannot write this format";
        const std::string path = folder.path(std::string("out") + extensionOf(format));
        auto sink = openAudioSink(path, format, tags);
        sink->append(samples);
        EXPECT_FALSE(std::filesystem::exists(path)) << "only a complete file takes its place";
        sink->finish();
        const ReadBack back = readBack(path);
        EXPECT_EQ(back.rate, kSampleRate);
        EXPECT_EQ(back.channels, 1);
        const auto expected = static_cast<double>(samples.size());
        EXPECT_NEAR(static_cast<double>(back.frames), expected, expected * 0.01);
        if (format == AudioFormat::wav) {
            EXPECT_EQ(back.title, "") << "WAV keeps the bytes of our own writer";
            continue;
        }
        EXPECT_EQ(back.title, tags.title);
        EXPECT_EQ(back.artist, tags.artist);
        EXPECT_EQ(back.album, tags.album);
        EXPECT_EQ(back.track, "3");
    }
}

TEST(AudioFile, TheBitRateSetsTheSize)
{
    testing::ScratchFolder folder;
    Samples samples;
    for (int i = 0; i < 5; ++i) {
        const Samples part = speechLike();
        samples.insert(samples.end(), part.begin(), part.end());
    }
    for (const AudioFormat format : {AudioFormat::opus, AudioFormat::mp3, AudioFormat::vorbis}) {
        SCOPED_TRACE(extensionOf(format));
        const auto sizeAt = [&](int kbps) {
            const std::string path = folder.path(std::to_string(kbps) + extensionOf(format));
            auto sink = openAudioSink(path, format, {}, kbps);
            sink->append(samples);
            sink->finish();
            return static_cast<double>(std::filesystem::file_size(path));
        };
        const BitrateRange range = *bitrateRange(format);
        EXPECT_LT(sizeAt(range.min) * 1.5, sizeAt(*defaultBitrate(format) * 3));
    }
}

// A file size limit makes every write past it fail, as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_DFL);
    }

private:
    rlimit old_{};
};

TEST(AudioFile, AFailedWriteReportsAndLeavesTheOldFile)
{
    testing::ScratchFolder folder;
    Samples samples;
    for (int i = 0; i < 20; ++i) {
        const Samples part = speechLike();
        samples.insert(samples.end(), part.begin(), part.end());
    }
    for (const AudioFormat format : kFormats) {
        SCOPED_TRACE(extensionOf(format));
        const std::string name = std::string("book") + extensionOf(format);
        folder.write(name, "a good old file");
        bool failed = false;
        {
            FileSizeLimit limit(20000);
            try {
                auto sink = openAudioSink(folder.path(name), format, {"題", "", "", 0});
                sink->append(samples);
                sink->finish();
            } catch (const KvenError& e) {
                failed = true;
                EXPECT_NE(std::string(e.what()).find(folder.path(name)), std::string::npos) << e.what();
            }
        }
        EXPECT_TRUE(failed) << "a write that failed must not pass for a complete file";
        EXPECT_EQ(folder.read(name), "a good old file");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "no temporary file left";
        folder.remove(name);
    }
}

TEST(AudioFile, FormatsAndFileNames)
{
    const struct {
        const char* path;
        std::optional<AudioFormat> format;
    } formats[] = {{"a.wav", AudioFormat::wav},     {"a.FLAC", AudioFormat::flac},
                   {"a.ogg", AudioFormat::vorbis},  {"a.oga", AudioFormat::vorbis},
                   {"b/a.Opus", AudioFormat::opus}, {"a.mp3", AudioFormat::mp3},
                   {"a.m4a", std::nullopt},         {"a", std::nullopt},
                   {"x.mp3/a", std::nullopt}};
    for (const auto& row : formats)
        EXPECT_EQ(audioFormatOf(row.path), row.format) << row.path;

    const struct {
        const char* title;
        const char* name;
    } names[] = {{"第一章　始まり", "第一章　始まり"},
                 {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
                 {"　 前後の空白 ", "前後の空白"},
                 {"..", ""},
                 {".隠し.", "隠し"},
                 {"行\r\n改", "行__改"}};
    for (const auto& row : names)
        EXPECT_EQ(safeFileName(row.title), row.name) << row.title;
    // Cut at a character boundary: 40 three-byte characters into at most 100 bytes.
    std::string long_;
    for (int i = 0; i < 40; ++i)
        long_ += "字";
    EXPECT_EQ(safeFileName(long_, 100).size(), 99u);
}

TEST(AudioFile, ChapterFilesAreNumberedNamedTaggedAndListed)
{
    testing::ScratchFolder folder;
    const std::string book = folder.path("book");
    const Samples samples = speechLike();
    {
        auto target = chapterFilesTarget(book, AudioFormat::opus, {{"題名"}, {"一"}, {"二/三"}, {"四"}},
                                         {"", "作者", "題名", 0}, std::nullopt, true);
        // Chapter 2 has nothing to say: no file, and the numbers stay in sequence.
        target->append(0, samples);
        target->cue(0, "二番目");
        target->append(1, samples);
        target->append(1, samples);
        target->append(3, samples);
        EXPECT_FALSE(folder.exists("book/01 題名.opus")) << "nothing in place before the end";
        target->finish();
    }
    // The playlist as players read it: the record of each file for a later run is a comment.
    const auto played = [&folder](const std::string& name) {
        std::string kept;
        std::istringstream lines(folder.read(name));
        for (std::string line; std::getline(lines, line);)
            if (!line.starts_with("#KVEN-CHAPTER:"))
                kept += line + "\n";
        return kept;
    };
    EXPECT_EQ(played("book/book.m3u8"),
              "#EXTM3U\n#KVEN-EXPORT\n#EXTINF:3,題名\n01 題名.opus\n#EXTINF:5,一\n02 一.opus\n"
              "#EXTINF:3,四\n03 四.opus\n");
    const ReadBack second = readBack(book + "/02 一.opus");
    const auto one = static_cast<double>(samples.size());
    EXPECT_NEAR(static_cast<double>(second.frames), 2 * one, one * 0.02);
    EXPECT_EQ(second.title, "一");
    EXPECT_EQ(second.track, "2");
    EXPECT_EQ(second.album, "題名");
    EXPECT_EQ(second.artist, "作者");
    EXPECT_EQ(folder.read("book/01 題名.lrc"),
              "[ti:題名]\n[ar:作者]\n[al:題名]\n" + lyricsTime(samples.size()) + "二番目\n");
    EXPECT_TRUE(folder.exists("book/03 四.lrc"));

    // Abandoned: the folder it made goes again, and a folder that was there stays as it was,
    // with nothing left beside it.
    {
        auto target = chapterFilesTarget(folder.path("gone"), AudioFormat::mp3, {{"一"}, {"二"}}, {});
        target->append(0, samples);
        target->append(1, samples);
    }
    EXPECT_FALSE(folder.exists("gone"));
    folder.write("book/cover.jpg", "the user's");
    folder.write("book/mine.opus", "the user's");
    folder.write("book/07 holiday.opus", "the user's, named like a chapter but in no playlist");
    folder.write("book/07 holiday.lrc", "the user's");
    const std::set<std::string> before = namesIn(book);
    {
        auto target = chapterFilesTarget(book, AudioFormat::mp3, {{"一"}}, {});
        target->append(0, samples);
    }
    EXPECT_EQ(namesIn(book), before);
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"book"});

    // A shorter book over it, in another format: the earlier export's chapters (those its
    // playlist lists) and their text tracks go, its playlist is replaced, and the user's own
    // files stay.
    {
        auto target = chapterFilesTarget(book, AudioFormat::mp3, {{"一"}, {"二"}}, {});
        target->append(0, samples);
        target->append(1, samples);
        target->finish();
    }
    EXPECT_EQ(namesIn(book), (std::set<std::string>{"01 一.mp3", "02 二.mp3", "07 holiday.lrc", "07 holiday.opus",
                                                    "book.m3u8", "cover.jpg", "mine.opus"}));
    EXPECT_EQ(folder.read("book/book.m3u8"),
              "#EXTM3U\n#KVEN-EXPORT\n#EXTINF:3,一\n01 一.mp3\n#EXTINF:3,二\n02 二.mp3\n");
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"book"});

    // Another program's playlist of the same name lists files that are not ours.
    folder.write("album/album.m3u8", "#EXTM3U\n01 Intro.mp3\n");
    folder.write("album/01 Intro.mp3", "the user's");
    {
        auto target = chapterFilesTarget(folder.path("album"), AudioFormat::mp3, {{"一"}, {"二"}}, {});
        target->append(1, samples);
        target->finish();
    }
    EXPECT_EQ(namesIn(folder.path("album")), (std::set<std::string>{"01 Intro.mp3", "01 二.mp3", "album.m3u8"}));
}

// A killed export leaves its temporary file or folder behind. The next export into the same
// folder removes those whose writer is gone once nothing changed in them for a day (a younger one
// may be written by a copy on another machine), and a split export those of its own book at once;
// what no export names so stays, whatever its age.
TEST(AudioFile, TheNextExportIntoAFolderRemovesWhatKilledExportsLeft)
{
    testing::ScratchFolder folder;
    using std::chrono::minutes;
    constexpr minutes day = std::chrono::hours(24);
    // No process has pid_t's largest number.
    const std::string gone = ".part-2147483647-1-";
    const std::string live = ".part-" + std::to_string(::getpid()) + "-0-";
    const struct {
        std::string name; // a name in a folder stands for the folder
        minutes age;
        bool afterFile; // still there after a single-file export into the folder
        bool afterBook; // and after a split export of "book"
    } rows[] = {
        {"a.opus" + gone + "0", day + minutes(1), false, false},
        {"a.opus" + gone + "1", day - minutes(1), true, true}, // may be another machine's, at work
        {"old" + gone + "0/01 一.mp3" + gone + "0", day + minutes(1), false, false}, // a split export's folder
        {"new" + gone + "0/new.m3u8", day - minutes(1), true, true},
        {"book" + gone + "0/01 一.mp3", minutes(0), true, false}, // the book's own, its writer gone
        {"a.opus" + live + "0", 2 * day, true, true},             // its writer still runs
        {"a.opus.part-2147483647", 2 * day, true, true},          // the older form, which a user's file may have
        {"notes.txt" + gone + "0", 2 * day, true, true},          // no export writes such a file
        {"photos" + gone + "0/a.jpg", 2 * day, true, true},       // nor such a folder
    };
    const auto now = std::filesystem::file_time_type::clock::now();
    const auto top = [&](const std::string& name) { return folder.path(name.substr(0, name.find('/'))); };
    for (const auto& row : rows) {
        std::filesystem::last_write_time(folder.write(row.name, "half"), now - row.age);
        std::filesystem::last_write_time(top(row.name), now - row.age);
    }
    auto sink = openAudioSink(folder.path("x.opus"), AudioFormat::opus, {});
    for (const auto& row : rows)
        EXPECT_EQ(std::filesystem::exists(top(row.name)), row.afterFile) << row.name;
    auto target = chapterFilesTarget(folder.path("book"), AudioFormat::mp3, {{"一"}}, {});
    for (const auto& row : rows)
        EXPECT_EQ(std::filesystem::exists(top(row.name)), row.afterBook) << row.name;
}

// A run keeps the chapter files that a stopped run of the same export completed and says so;
// those it cannot keep (a run from another start point made them) stay in the stopped run's
// folder, still listed there, for a run that can, and it says where.
TEST(AudioFile, AResumeKeepsWhatItCanAndLeavesTheRestForAnotherRun)
{
    testing::ScratchFolder folder;
    const std::string stopped = ".part-2147483647-1-0"; // no process has pid_t's largest number
    const auto keyFor = [](const char* own, const char* name, const char* title) {
        return keyOf({own, name, title, "", "", "", "0"});
    };
    folder.write("book" + stopped + "/01 一.mp3", "1");
    folder.write("book" + stopped + "/01 二.mp3", "2"); // from a run that started at 二
    folder.write("book" + stopped + "/book.m3u8",
                 playlistText({{"01 一.mp3", "一", 48000, 1, keyFor("k1", "01 一.mp3", "一"), false},
                               {"01 二.mp3", "二", 48000, 1, keyFor("other start", "01 二.mp3", "二"), false}}));
    const std::string spared = folder.path("book" + stopped);
    {
        auto target =
            chapterFilesTarget(folder.path("book"), AudioFormat::mp3, {{"一", "k1"}, {"二", "k2"}}, {}, std::nullopt);
        EXPECT_EQ(target->takenOver(), (TakenOver{1, 1, {spared}}));
        EXPECT_TRUE(target->canKeep(0));
        EXPECT_FALSE(target->canKeep(1));
        target->keep(0);
        target->append(1, speechLike());
        target->finish();
    }
    EXPECT_EQ(folder.read("book/01 一.mp3"), "1") << "kept, not made again";
    EXPECT_EQ(namesIn(spared), (std::set<std::string>{"01 二.mp3", "book.m3u8"}));
    EXPECT_EQ(readPlaylist(spared + "/book.m3u8").size(), 1U);
    // The run from that other start point keeps it in turn, and the folder goes.
    {
        auto target = chapterFilesTarget(folder.path("book"), AudioFormat::mp3, {{"一", ""}, {"二", "other start"}}, {},
                                         std::nullopt);
        EXPECT_EQ(target->takenOver(), (TakenOver{1, 0, {}}));
        target->keep(1);
        target->finish();
    }
    EXPECT_EQ(folder.read("book/01 二.mp3"), "2");
    EXPECT_FALSE(folder.exists("book" + stopped));

    // A resume stopped in its turn leaves what it took over for the next run, and only that.
    folder.write("book" + stopped + "/01 一.mp3", "3");
    folder.write("book" + stopped + "/book.m3u8",
                 playlistText({{"01 一.mp3", "一", 48000, 1, keyFor("k3", "01 一.mp3", "一"), false}}));
    {
        auto target =
            chapterFilesTarget(folder.path("book"), AudioFormat::mp3, {{"一", "k3"}, {"二", "k4"}}, {}, std::nullopt);
        EXPECT_EQ(target->takenOver(), (TakenOver{1, 0, {}}));
        target->keep(0);
        target->append(1, speechLike());
    }
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        if (entry.path().filename() != "book")
            for (const std::string& name : namesIn(entry.path().string()))
                left.insert(entry.path().filename().string().substr(0, 10) + "/" + name);
    EXPECT_EQ(left, (std::set<std::string>{"book.part-/01 一.mp3", "book.part-/book.m3u8"}));
}

} // namespace
} // namespace kven
