#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "settings/SettingsFile.h"
#include "state/Session.h"
#include "support/AnsweringDialogs.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace kven {
namespace {

namespace fs = std::filesystem;
using testing::AnsweringDialogs;
using testing::ScratchFolder;

const std::string kQuestionBang = "\x81\x48\x81\x49"; // ？！
const std::string kMaruTen = "\x81\x42\x81\x41";      // 。、
const std::string kFullBlank = "\x81\x40";            // 全角空白

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest()
    {
        session.setWindowLeft(50);
        session.setWindowTop(60);
        speedListener = session.subscribe([this](Session::Changes changes) {
            if ((changes & Session::speedChanged) != 0)
                rates.push_back(session.speed());
        });
    }

    void writeFile(const std::string& bytes) const { scratch.write("KVEN.ini", bytes); }
    std::string readFile(const std::string& file) const { return scratch.read(file.substr(dir.size() + 1)); }
    SettingsFile settings() { return SettingsFile(session, dialogs, path); }
    void expectError(const std::function<void()>& run, const std::string& message)
    {
        try {
            run();
            ADD_FAILURE() << "no error, expected " << message;
        } catch (const KvenError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }

    ScratchFolder scratch;
    std::string dir = scratch.path();
    std::string path = scratch.path("KVEN.ini");
    Session session;
    AnsweringDialogs dialogs;
    std::vector<int> rates;
    Session::Subscription speedListener;
};

// Every key is read from its own line; the talk and skip lines are present so the read ends normally.
TEST_F(SettingsFileTest, StartupReadAppliesEachKey)
{
    struct Row {
        const char* reason;
        std::string keys;
        bool aozora, aa, head, repeat;
        int silent, space, speed, left, top;
    };
    const Row rows[] = {
        {"all set",
         "[Aozora]=-1\n[AA]=-1\n[Head]=-1\n[Repeat]=-1\n[Silent]=3\n[Space]=5\n[Speed]=2\n[X]=334\n[Y]=119\n", true,
         true, true, true, 3, 5, 2, 334, 119},
        {"missing keys read as 0: options off, session moved to 0", "", false, false, false, false, 0, 0, 0, 0, 0},
        {"only -1 means on", "[Aozora]=1\n[AA]=-2\n[Head]=-1\n[Repeat]=yes\n", false, false, true, false, 0, 0, 0, 0,
         0},
        {"names ignore letter case", "[aozora]=-1\n[aa]=-1\n[HEAD]=-1\n[rePeat]=-1\n", true, true, true, true, 0, 0, 0,
         0, 0},
        {"sliders clamped", "[Silent]=25\n[Space]=-3\n[Speed]=-30\n", false, false, false, false, 10, 0, -10, 0, 0},
        {"-1000 leaves the session, -999 moves it", "[X]=-1000\n[Y]=-999\n", false, false, false, false, 0, 0, 0, 50,
         -999},
        {"first matching line wins; a line without = never matches", "[AA]\n[Aozora]=-1\n[Aozora]=0\n[AA]=-1\n", true,
         true, false, false, 0, 0, 0, 0, 0},
        {"a blank before = is part of the name", "[Aozora] =-1\n", false, false, false, false, 0, 0, 0, 0, 0},
        {"the value starts after the first =", "[Silent]==3\n[Space]=4=5\n", false, false, false, false, 0, 4, 0, 0, 0},
        {"a number followed by text keeps its digits but loses its sign", "[Aozora]=-1 \n[Speed]=-5x\n", false, false,
         false, false, 0, 0, 5, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        session = Session();
        session.setWindowLeft(50);
        session.setWindowTop(60);
        writeFile(row.keys + "[Talk]=0\n\n[Skip]=0\n");
        settings().startupRead();
        EXPECT_EQ(session.options().aozoraRuby, row.aozora);
        EXPECT_EQ(session.options().aaSkip, row.aa);
        EXPECT_EQ(session.options().headingSearch, row.head);
        EXPECT_EQ(session.options().repeatSuppression, row.repeat);
        EXPECT_EQ(session.options().unreadLimit, row.silent);
        EXPECT_EQ(session.options().blankLimit, row.space);
        EXPECT_EQ(session.speed(), row.speed);
        EXPECT_EQ(session.windowLeft(), row.left);
        EXPECT_EQ(session.windowTop(), row.top);
    }
}

// The listening options came after the other keys: a file without their keys reads as before.
TEST_F(SettingsFileTest, ListeningOptionsAreOnOnlyWhenTheirKeySaysSo)
{
    const struct {
        const char* keys;
        bool notes, words, marks, numbers, english, blocks;
    } rows[] = {
        {"", false, false, false, false, false, false},
        {"[Notes]=-1\n[Words]=-1\n[Marks]=-1\n[Numbers]=-1\n[English]=-1\n[Blocks]=-1\n", true, true, true, true, true,
         true},
        {"[notes]=-1\n[WORDS]=1\n[marks]=1\n[NUMBERS]=1\n[english]=1\n[blocks]=1\n", true, false, false, false, false,
         false},
        {"[Notes]=0\n[Words]=-1\n[ENGLISH]=-1\n", false, true, false, false, true, false},
        {"[Numbers]=-1\n", false, false, false, true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keys);
        const auto expect = [&] {
            EXPECT_EQ(session.options().silentNotes, row.notes);
            EXPECT_EQ(session.options().wordReadings, row.words);
            EXPECT_EQ(session.options().passOverMarks, row.marks);
            EXPECT_EQ(session.options().readNumbers, row.numbers);
            EXPECT_EQ(session.options().readEnglish, row.english);
            EXPECT_EQ(session.options().blockLines, row.blocks);
        };
        const auto setOpposite = [&] {
            session.setOption(&ReadingOptions::silentNotes, !row.notes);
            session.setOption(&ReadingOptions::wordReadings, !row.words);
            session.setOption(&ReadingOptions::passOverMarks, !row.marks);
            session.setOption(&ReadingOptions::readNumbers, !row.numbers);
            session.setOption(&ReadingOptions::readEnglish, !row.english);
            session.setOption(&ReadingOptions::blockLines, !row.blocks);
        };
        setOpposite();
        writeFile(std::string(row.keys) + "[Talk]=0\n\n[Skip]=0\n");
        settings().startupRead();
        expect();
        setOpposite();
        settings().reload();
        expect();
    }
}

TEST_F(SettingsFileTest, TalkSymbolsAndSkipListComeFromTheirSectionLines)
{
    struct Row {
        const char* reason;
        std::string file;
        std::string talk;
        std::vector<std::string> skip;
    };
    const Row rows[] = {
        {"usual layout",
         "[Voice]=0\r\n[Talk]=0\r\n" + kQuestionBang + "\r\n[Skip]=0\r\nad\r\n\r\nfoo\r\n",
         kQuestionBang + "\r\n",
         {"ad", "", "foo"}},
        {"no [Talk]: the first line is the talk symbols", "first\n[Skip]=0\nx\n", "first\r\n", {"x"}},
        {"no [Skip]: every line is a skip entry", "[Talk]=0\nt\n", "t\r\n", {"[Talk]=0", "t"}},
        {"lines between talk and skip are ignored; names ignore case",
         "[talk]=0\rone\rtwo\r[SKIP]=1\rz",
         "one\r\n",
         {"z"}},
        {"[Skip] before [Talk]", "[Skip]=0\n[Talk]=0\nt\n", "t\r\n", {"[Talk]=0", "t"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        session = Session();
        writeFile(row.file);
        settings().startupRead();
        EXPECT_EQ(session.talkSymbols(), row.talk);
        EXPECT_EQ(session.skipList(), row.skip);
    }
}

TEST_F(SettingsFileTest, UnopenableFileChangesNothing)
{
    bool voiceSetUpRan = false;
    expectError([&] { settings().startupRead([&](int) { voiceSetUpRan = true; }); }, msgCannotOpen(path));
    EXPECT_FALSE(voiceSetUpRan);
    EXPECT_TRUE(session.options().aozoraRuby && session.options().aaSkip && session.options().headingSearch &&
                session.options().repeatSuppression);
    EXPECT_EQ(session.windowLeft(), 50);

    fs::create_directory(path); // a folder cannot be opened as the settings file either
    session.setSkipList({"keep"});
    expectError([&] { settings().reload(); }, msgCannotOpen(path));
    EXPECT_EQ(session.skipList(), std::vector<std::string>{"keep"});
    EXPECT_TRUE(session.options().aozoraRuby);
}

TEST_F(SettingsFileTest, FileOverTheLimitCannotBeOpened)
{
    writeFile("[Aozora]=0\r\n[Talk]=0\r\nt\r\n");
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kSmallFileLimit) + 1), 0);
    expectError([&] { settings().startupRead(); }, msgCannotOpen(path));
    EXPECT_TRUE(session.options().aozoraRuby);
    expectError([&] { settings().reload(); }, msgCannotOpen(path));
    EXPECT_TRUE(session.talkSymbols().empty());
}

TEST_F(SettingsFileTest, EmptyFileFailsAtTheTalkSymbolsAfterResettingEverything)
{
    writeFile("");
    int storedVoice = 99;
    expectError([&] { settings().startupRead([&](int v) { storedVoice = v; }); }, msgListIndex(0));
    EXPECT_EQ(storedVoice, 0);
    EXPECT_FALSE(session.options().aozoraRuby || session.options().aaSkip || session.options().headingSearch ||
                 session.options().repeatSuppression);
    EXPECT_EQ(session.windowLeft(), 0);
    EXPECT_EQ(session.windowTop(), 0);
    EXPECT_TRUE(session.talkSymbols().empty());
    EXPECT_TRUE(session.skipList().empty());
}

TEST_F(SettingsFileTest, TalkAsLastLineFailsWithTheMissingIndex)
{
    writeFile("[Skip]=0\r\nentry\r\n[Talk]=0\r\n");
    expectError([&] { settings().startupRead(); }, msgListIndex(3));
    EXPECT_TRUE(session.skipList().empty());
    EXPECT_TRUE(session.talkSymbols().empty());

    // Reload has already cleared the talk symbols; the skip list keeps its old entries.
    session.setTalkSymbols("old\r\n");
    session.setSkipList({"old"});
    expectError([&] { settings().reload(); }, msgListIndex(3));
    EXPECT_TRUE(session.talkSymbols().empty());
    EXPECT_EQ(session.skipList(), std::vector<std::string>{"old"});
}

TEST_F(SettingsFileTest, VoiceSetUpRunsAfterThePositionAndBeforeTheLists)
{
    writeFile("[Voice]=7\n[X]=10\n[Y]=20\n[Speed]=3\n[Talk]=0\nt\n[Skip]=0\ns\n");
    int stored = -5;
    settings().startupRead([&](int v) {
        stored = v;
        EXPECT_EQ(session.windowTop(), 20);
        EXPECT_EQ(session.speed(), 3);
        EXPECT_TRUE(session.talkSymbols().empty());
        EXPECT_TRUE(session.skipList().empty());
    });
    EXPECT_EQ(stored, 7);
    EXPECT_EQ(session.skipList(), std::vector<std::string>{"s"});

    session = Session();
    EXPECT_THROW(settings().startupRead([](int) { throw KvenError("engine"); }), KvenError);
    EXPECT_TRUE(session.talkSymbols().empty());
    EXPECT_TRUE(session.skipList().empty());
}

TEST_F(SettingsFileTest, SpeedHandlerRunsOnlyWhenThePositionChanges)
{
    writeFile("[Speed]=0\n[Talk]=0\n\n");
    settings().startupRead();
    EXPECT_TRUE(rates.empty());

    writeFile("[Speed]=15\n[Talk]=0\n\n");
    settings().reload();
    EXPECT_EQ(rates, std::vector<int>{10});
    settings().reload(); // 15 clamps to the 10 already shown
    writeFile("[Speed]=-12\n[Talk]=0\n\n");
    settings().reload();
    EXPECT_EQ(rates, (std::vector<int>{10, -10}));
}

TEST_F(SettingsFileTest, ReloadSetsTheVoiceIndexWithoutLimit)
{
    session.setVoices({"a", "b", "c"});
    session.setVoiceIndex(1);
    writeFile("[Voice]=2\n[Talk]=0\n\n");
    settings().reload();
    EXPECT_EQ(session.voiceIndex(), 2);
    writeFile("[Voice]=99\n[Talk]=0\n\n");
    settings().reload();
    EXPECT_EQ(session.voiceIndex(), -1);
}

TEST_F(SettingsFileTest, SaveWritesTheExactFile)
{
    session.setVoices({"v"});
    session.setVoiceIndex(0);
    session.setOption(&ReadingOptions::repeatSuppression, false);
    session.setLimit(&ReadingOptions::unreadLimit, 3);
    session.setLimit(&ReadingOptions::blankLimit, 5);
    session.setSpeed(2);
    session.setWindowLeft(334);
    session.setWindowTop(119);
    session.setTalkSymbols(" \t" + kQuestionBang + "\r\n");
    session.setSkipList({"one", kMaruTen});
    session.setOption(&ReadingOptions::wordReadings, true);
    session.setOption(&ReadingOptions::passOverMarks, true);
    session.setOption(&ReadingOptions::readNumbers, true);
    session.setOption(&ReadingOptions::readEnglish, true);
    session.setOption(&ReadingOptions::blockLines, true);
    settings().save();
    const std::string expected = "[Voice]=0\r\n[Aozora]=-1\r\n[AA]=-1\r\n[Repeat]=0\r\n[Silent]=3\r\n[Space]=5\r\n"
                                 "[Speed]=2\r\n[X]=334\r\n[Y]=119\r\n[Head]=-1\r\n[Notes]=0\r\n[Words]=-1\r\n"
                                 "[Marks]=-1\r\n[Numbers]=-1\r\n[English]=-1\r\n[Readings]=0\r\n[BookReadings]=0\r\n"
                                 "[Blocks]=-1\r\n[Talk]=0\r\n" +
                                 kQuestionBang + "\r\n[Skip]=0\r\none\r\n" + kMaruTen + "\r\n";
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(dialogs.confirmTexts, std::vector<std::string>{"設定を保存します"});

    // Negative numbers, options off, the full-width blank kept at the ends of the talk symbols.
    session.setVoiceIndex(-1);
    session.setOption(&ReadingOptions::aozoraRuby, false);
    session.setSpeed(-7);
    session.setWindowLeft(-20);
    session.setTalkSymbols(kFullBlank + "\r\n");
    session.setSkipList({});
    settings().save();
    const std::string text = readFile(path);
    EXPECT_EQ(text.substr(0, 11), "[Voice]=-1\r");
    EXPECT_NE(text.find("[Aozora]=0\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Speed]=-7\r\n[X]=-20\r\n"), std::string::npos);
    const std::string tail = "[Talk]=0\r\n" + kFullBlank + "\r\n[Skip]=0\r\n";
    EXPECT_TRUE(text.ends_with(tail));
}

TEST_F(SettingsFileTest, TheViewIsKeptUnderItsKeyOnlyWhenTheBookIsShown)
{
    for (const auto& [file, mode] : {std::pair{"[Talk]=0\n\n[Skip]=0\n", 0},
                                     {"[View]=2\n[Talk]=0\n\n[Skip]=0\n", 2},
                                     {"[View]=1\n[Talk]=0\n\n[Skip]=0\n", 1},
                                     {"[View]=3\n[Talk]=0\n\n[Skip]=0\n", 0}}) {
        writeFile(file);
        SettingsFile settingsFile = settings();
        settingsFile.reload();
        EXPECT_EQ(settingsFile.viewMode(), mode) << file;
    }
    SettingsFile settingsFile = settings();
    settingsFile.setViewMode(1);
    settingsFile.save();
    EXPECT_NE(readFile(path).find("[Blocks]=0\r\n[View]=1\r\n[Talk]=0\r\n"), std::string::npos);
    settingsFile.setViewMode(0);
    settingsFile.save();
    EXPECT_EQ(readFile(path).find("[View]"), std::string::npos);
}

TEST_F(SettingsFileTest, SaveThenReloadKeepsEveryControl)
{
    session.setVoices({"a", "b", "c"});
    session.setVoiceIndex(2);
    session.setOption(&ReadingOptions::aozoraRuby, false);
    session.setOption(&ReadingOptions::headingSearch, false);
    session.setOption(&ReadingOptions::silentNotes, true);
    session.setLimit(&ReadingOptions::unreadLimit, 7);
    session.setLimit(&ReadingOptions::blankLimit, 1);
    session.setSpeed(-4);
    session.setWindowLeft(-999);
    session.setWindowTop(1200);
    session.setTalkSymbols(kQuestionBang + "\r\n" + kMaruTen); // only the first line comes back
    session.setSkipList({"[Talk]=0", "", kMaruTen});
    const Session saved = session;
    settings().save();
    EXPECT_TRUE(readFile(path).find(kQuestionBang + "\r\n" + kMaruTen + "\r\n[Skip]=0") != std::string::npos);

    // The listener stays with the session whose values are replaced.
    session = Session();
    session.setVoices({"a", "b", "c"});
    session.setTalkSymbols("stale\r\n");
    session.setSkipList({"stale"});
    rates.clear();
    settings().reload();
    EXPECT_EQ(session.voiceIndex(), saved.voiceIndex());
    EXPECT_EQ(session.options().aozoraRuby, saved.options().aozoraRuby);
    EXPECT_EQ(session.options().aaSkip, saved.options().aaSkip);
    EXPECT_EQ(session.options().headingSearch, saved.options().headingSearch);
    EXPECT_EQ(session.options().repeatSuppression, saved.options().repeatSuppression);
    EXPECT_EQ(session.options().silentNotes, saved.options().silentNotes);
    EXPECT_EQ(session.options().wordReadings, saved.options().wordReadings);
    EXPECT_EQ(session.options().unreadLimit, saved.options().unreadLimit);
    EXPECT_EQ(session.options().blankLimit, saved.options().blankLimit);
    EXPECT_EQ(session.speed(), saved.speed());
    EXPECT_EQ(session.windowLeft(), saved.windowLeft());
    EXPECT_EQ(session.windowTop(), saved.windowTop());
    EXPECT_EQ(session.talkSymbols(), kQuestionBang + "\r\n");
    EXPECT_EQ(session.skipList(), saved.skipList());
    EXPECT_EQ(rates, std::vector<int>{-4});
}

TEST_F(SettingsFileTest, CancelDoesNothing)
{
    dialogs.answer = false;
    writeFile("[Aozora]=0\n[Talk]=0\nt\n");
    settings().reload();
    EXPECT_TRUE(session.options().aozoraRuby);
    EXPECT_TRUE(session.talkSymbols().empty());
    settings().save();
    EXPECT_EQ(readFile(path), "[Aozora]=0\n[Talk]=0\nt\n");
    EXPECT_EQ(dialogs.confirmTexts, (std::vector<std::string>{"Listを再読み込みします", "設定を保存します"}));
}

TEST_F(SettingsFileTest, FailedSaveReportsAndLeavesTheOldFile)
{
    const auto entriesOf = [](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    };
    // The settings path names a folder.
    fs::create_directory(path);
    expectError([&] { settings().save(); }, msgCannotCreate(path));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(entriesOf(dir), std::vector<std::string>{"KVEN.ini"});

    // The folder does not exist.
    const std::string missing = dir + "/none/KVEN.ini";
    expectError([&] { SettingsFile(session, dialogs, missing).save(); }, msgCannotCreate(missing));

    // An existing file whose temporary sibling cannot be created (its name would be too long).
    const std::string longName = dir + "/" + std::string(250, 'k');
    std::ofstream(longName, std::ios::binary) << "old\r\n";
    expectError([&] { SettingsFile(session, dialogs, longName).save(); }, msgCannotCreate(longName));
    EXPECT_EQ(readFile(longName), "old\r\n");
    EXPECT_EQ(entriesOf(dir).size(), 2u);
}

TEST(SettingsFilePath, IsAbsoluteInTheDataFolder)
{
    Session session;
    AnsweringDialogs dialogs;
    const SettingsFile relative(session, dialogs, "sub/KVEN.ini");
    EXPECT_EQ(relative.path(), absolutePath("sub/KVEN.ini"));
    EXPECT_EQ(relative.path().front(), '/');

    ::setenv("KVEN_HOME", "/tmp/kven-home/", 1);
    EXPECT_EQ(settingsFilePath(), "/tmp/kven-home/KVEN.ini");
    ::unsetenv("KVEN_HOME");
}

} // namespace
} // namespace kven
