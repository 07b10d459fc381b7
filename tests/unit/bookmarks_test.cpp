#include "files/Errors.h"
#include "files/FileIo.h"
#include "intake/Bookmarks.h"
#include "intake/RecentDocuments.h"
#include "state/Session.h"
#include "support/Documents.h"
#include "support/ScratchFolder.h"
#include "support/Sjis.h"
#include "text/TextOps.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace kven {
namespace {

using testing::nameDocument;
using testing::ScratchFolder;

class BookmarksTest : public ::testing::Test {
protected:
    BookmarksTest() { session.setText(std::string(1000, 'x')); }

    std::string file() const { return folder.read("KVEN.txt"); }
    void setFile(std::string_view bytes) const { folder.write("KVEN.txt", bytes); }

    // Leaves `path` with the cursor at `cursor`.
    void leave(const std::string& path, std::size_t cursor)
    {
        nameDocument(session, path);
        session.setSelStart(cursor);
        bookmarks.recordPosition();
    }

    ScratchFolder folder;
    Session session;
    Bookmarks bookmarks{session, folder.path("KVEN.txt")};
};

TEST_F(BookmarksTest, LookupTakesTheLastLineOfExactlyThePath)
{
    const struct {
        const char* why;
        std::string file;
        std::string path;
        std::size_t expected; // the cursor starts at 777
    } rows[] = {
        {"last own line wins", "/d/a.txt,10\r\n/d/b.txt,20\r\n/d/a.txt,30\r\n", "/d/a.txt", 30},
        {"no own line keeps the cursor", "/d/b.txt,20\r\n", "/d/a.txt", 777},
        {"empty file", "", "/d/a.txt", 777},
        {"letter case makes another document", "/d/A.txt,5\r\n/d/a.txt,7\r\n", "/d/A.txt", 5},
        {"a longer path is another document's", "/d/a.txt,3\r\n/d/a.txt.bak,9\r\n", "/d/a.txt", 3},
        {"the longer path finds its own line", "/d/a.txt.bak,9\r\n/d/a.txt,3\r\n", "/d/a.txt.bak", 9},
        {"a path ending in ours is another document's", "/x/a.txt,4\r\n/y/x/a.txt,8\r\n", "/x/a.txt", 4},
        {"comma in the path: the number after the last comma", "/d/x,y/a.txt,40\r\n", "/d/x,y/a.txt", 40},
        {"comma in the path followed by digits", "/d/x,12y/a.txt,40\r\n", "/d/x,12y/a.txt", 40},
        {"the path before a comma in another's is not ours", "/d/x,y.txt,5000\r\n", "/d/x", 777},
        {"a line without a comma is nobody's", "12 /d/a.txt\r\n", "/d/a.txt", 777},
        {"past the end of the text clamps", "/d/a.txt,5000\r\n", "/d/a.txt", 1000},
        {"negative position (hand-edited) means the start", "/d/a.txt,-5\r\n", "/d/a.txt", 0},
        {"LF and lone CR separate lines too", "/d/a.txt,1\n/d/b.txt,2\r/d/a.txt,3", "/d/a.txt", 3},
        // 0x2C ',' is never the second byte of a character: ア is 0x83 0x41.
        {"two-byte characters around the comma", "/d/\x83\x41,\x83\x41.txt,6\r\n", "/d/\x83\x41,\x83\x41.txt", 6},
        {"the end of another's name is not ours", "/d/\x83\x41\x42.txt,5\r\n", "B.txt", 777},
    };
    for (const auto& row : rows) {
        setFile(row.file);
        nameDocument(session, row.path);
        session.setSelStart(777);
        session.setSelLength(3);
        bookmarks.lookup();
        EXPECT_EQ(session.selStart(), row.expected) << row.why;
        if (row.expected != 777) {
            EXPECT_EQ(session.selLength(), 0u) << row.why;
        }
    }
}

// Random documents among lines of paths that nearly are theirs: the lookup resumes at the
// document's last own line and the writer changes no other line.
TEST_F(BookmarksTest, EveryDocumentResumesAtItsOwnPlace)
{
    std::mt19937 random(20261208);
    const auto pick = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    // Pieces of names: commas, dots, digits and two-byte characters (ア, あ, 表 whose second
    // byte is a backslash).
    const std::string pieces[] = {"/", "a", ",", ".", "x", "5", ",5", "\x83\x41", "\x82\xA0", "\x95\x5C", ".txt"};
    const auto name = [&] {
        std::string path = "/";
        for (std::size_t n = 1 + pick(8); n > 0; --n)
            path += pieces[pick(std::size(pieces))];
        return path;
    };
    for (int round = 0; round < 1000; ++round) {
        const std::string path = name();
        const std::string near[] = {
            path.substr(0, 1 + pick(path.size())), path + ".bak", path + ",1", "/y" + path, path.substr(1), name()};
        std::vector<std::string> others;
        std::string bytes;
        std::size_t expected = 777;
        for (std::size_t n = pick(8); n > 0; --n) {
            const std::string position = std::to_string(pick(1000));
            if (pick(3) == 0) {
                bytes += path + "," + position + "\r\n";
                expected = std::stoul(position);
            } else if (const std::string& other = near[pick(std::size(near))]; other != path) {
                others.push_back(other + "," + position);
                bytes += others.back() + "\r\n";
            }
        }
        setFile(bytes);
        nameDocument(session, path);
        session.setSelStart(777);
        bookmarks.lookup();
        ASSERT_EQ(session.selStart(), expected) << bytes;
        leave(path, 5);
        others.push_back(path + ",5");
        ASSERT_EQ(file(), joinLinesCrLf(others)) << bytes;
    }
}

TEST_F(BookmarksTest, PositionIsReadFromAtMost99BytesAfterTheComma)
{
    setFile("/d/a.txt," + std::string(97, '0') + "12\r\n/d/b.txt," + std::string(98, '0') + "12\r\n");
    nameDocument(session, "/d/a.txt");
    bookmarks.lookup();
    EXPECT_EQ(session.selStart(), 12u);
    nameDocument(session, "/d/b.txt");
    bookmarks.lookup();
    EXPECT_EQ(session.selStart(), 1u); // the "2" is the 100th byte
}

TEST_F(BookmarksTest, LookupReadsPastBlankLinesToTheEnd)
{
    setFile("/d/a.txt,1\r\n\r\n/d/b.txt,2\r\n\r\n/d/b.txt,6");
    nameDocument(session, "/d/b.txt");
    bookmarks.lookup();
    EXPECT_EQ(session.selStart(), 6u);
}

TEST_F(BookmarksTest, LookupOfAnUnreadableFileChangesNothing)
{
    nameDocument(session, "/d/a.txt");
    session.setSelStart(5);
    for (bool asFolder : {false, true}) {
        if (asFolder)
            folder.makeFolder("KVEN.txt");
        try {
            bookmarks.lookup();
            ADD_FAILURE() << "lookup did not fail";
        } catch (const KvenError& e) {
            EXPECT_EQ(std::string(e.what()), msgCannotOpen(folder.path("KVEN.txt")));
        }
        EXPECT_EQ(session.selStart(), 5u);
    }
}

TEST_F(BookmarksTest, WriterMovesTheDocumentsLineToTheEnd)
{
    setFile("/d/a.txt,1\r\n/d/b.txt,2\r\n/d/c.txt,3\r\n");
    leave("/d/b.txt", 2); // unchanged position: still moved
    EXPECT_EQ(file(), "/d/a.txt,1\r\n/d/c.txt,3\r\n/d/b.txt,2\r\n");
    leave("/d/a.txt", 40);
    EXPECT_EQ(file(), "/d/c.txt,3\r\n/d/b.txt,2\r\n/d/a.txt,40\r\n");
}

TEST_F(BookmarksTest, WriterCreatesTheFileAndEndsEveryLineWithCrLf)
{
    leave("/d/a.txt", 0);
    EXPECT_EQ(file(), "/d/a.txt,0\r\n");
    // Lines of any break style (and a last line without one) come back with "\r\n".
    setFile("/d/x,1\n/d/y,2\r/d/z,3");
    leave("/d/a.txt", 1000);
    EXPECT_EQ(file(), "/d/x,1\r\n/d/y,2\r\n/d/z,3\r\n/d/a.txt,1000\r\n");
}

TEST_F(BookmarksTest, WriterReplacesOnlyTheDocumentsOwnLines)
{
    setFile("/d/A.txt,5\r\n/d/a.txt.bak,9\r\n/d/a.txt,3\r\n/d/\x83\x41\x42.txt,4\r\n/d/a.txt,x/b.txt,6\r\n"
            "/d/x,y/a.txt,8\r\n/d/a.txt,2\r\n");
    // Another case, bytes that match only across a character boundary, a longer path and a
    // path that goes on after a comma are other documents; a comma in the path is no end.
    leave("AB.txt", 1);
    leave("/d/a.txt", 7);
    leave("/d/x,y/a.txt", 0);
    EXPECT_EQ(file(), "/d/A.txt,5\r\n/d/a.txt.bak,9\r\n/d/\x83\x41\x42.txt,4\r\n/d/a.txt,x/b.txt,6\r\nAB.txt,1\r\n"
                      "/d/a.txt,7\r\n/d/x,y/a.txt,0\r\n");
}

// A line break in the path would split its line, and what follows the break could pass for
// another document's bookmark.
TEST_F(BookmarksTest, PathWithALineBreakGetsNoBookmark)
{
    for (const std::string path : {"/d/n\r\n/d/x.txt", "/d/n\n/d/x.txt", "/d/n\r/d/x.txt"}) {
        setFile("/d/x.txt,5\r\n");
        leave(path, 900);
        EXPECT_EQ(file(), "/d/x.txt,5\r\n");
        folder.remove("KVEN.txt");
        session.setSelStart(3);
        EXPECT_NO_THROW(bookmarks.lookup()) << "the file is not even read";
        EXPECT_EQ(session.selStart(), 3u);
    }
}

TEST_F(BookmarksTest, NothingIsWrittenWithoutAPathOrForTheBrowserCache)
{
    leave("", 5);
    EXPECT_FALSE(folder.exists("KVEN.txt"));
    const std::string cached = "/home/u/Temporary Internet Files/page.htm";
    leave(cached, 5);
    EXPECT_FALSE(folder.exists("KVEN.txt"));
    // Looked up like any other path.
    setFile(cached + ",8\r\n");
    nameDocument(session, cached);
    bookmarks.lookup();
    EXPECT_EQ(session.selStart(), 8u);
    leave(cached, 20);
    EXPECT_EQ(file(), cached + ",8\r\n");
}

TEST_F(BookmarksTest, WriterKeepsLinesTheBookmarkListNeverSaw)
{
    // A document load that failed at start-up: no lookup ran, the bookmark list is empty.
    setFile("/d/x.txt,1\r\n/d/y.txt,2\r\n");
    leave("/d/z.txt", 3);
    EXPECT_EQ(file(), "/d/x.txt,1\r\n/d/y.txt,2\r\n/d/z.txt,3\r\n");
}

TEST_F(BookmarksTest, WriterKeepsLinesWrittenAfterAFailedLookup)
{
    setFile("/d/x.txt,1\r\n");
    nameDocument(session, "/d/z.txt");
    bookmarks.lookup();
    // The bookmark file is unreadable at the next lookup...
    folder.remove("KVEN.txt");
    folder.makeFolder("KVEN.txt");
    nameDocument(session, "/d/a.txt");
    EXPECT_THROW(bookmarks.lookup(), KvenError);
    // ...and another copy writes it meanwhile.
    folder.remove("KVEN.txt");
    setFile("/d/x.txt,1\r\n/d/other.txt,50\r\n");
    leave("/d/a.txt", 4);
    EXPECT_EQ(file(), "/d/x.txt,1\r\n/d/other.txt,50\r\n/d/a.txt,4\r\n");
}

TEST_F(BookmarksTest, WriterRefusesToRebuildAFileItCannotRead)
{
    folder.makeFolder("KVEN.txt");
    folder.write("KVEN.txt/inside", "kept");
    nameDocument(session, "/d/a.txt");
    try {
        bookmarks.recordPosition();
        ADD_FAILURE() << "recording the position did not fail";
    } catch (const KvenError& e) {
        EXPECT_EQ(std::string(e.what()), msgCannotOpen(folder.path("KVEN.txt")));
    }
    EXPECT_EQ(folder.read("KVEN.txt/inside"), "kept");
}

// A bookmark file too large to read is never rewritten from what little could be known of it.
TEST_F(BookmarksTest, FileOverTheLimitIsUnreadableAndKept)
{
    const std::string path = folder.write("KVEN.txt", "/d/a.txt,5\r\n");
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kSmallFileLimit) + 1), 0);
    nameDocument(session, "/d/a.txt");
    session.setSelStart(9);
    EXPECT_THROW(bookmarks.lookup(), KvenError);
    EXPECT_EQ(session.selStart(), 9u);
    try {
        bookmarks.recordPosition();
        ADD_FAILURE() << "recording the position did not fail";
    } catch (const KvenError& e) {
        EXPECT_EQ(std::string(e.what()), msgCannotOpen(path));
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), kSmallFileLimit + 1);

    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kSmallFileLimit)), 0);
    EXPECT_NO_THROW(bookmarks.lookup()) << "exactly at the limit is read";
    EXPECT_EQ(session.selStart(), 5u);
}

TEST_F(BookmarksTest, FailedWriteLeavesTheOldFile)
{
    // A name so long that no temporary file can be made beside it, though the file itself
    // can be read.
    const std::string name = std::string(248, 'b') + ".txt";
    const std::string path = folder.write(name, "/d/x.txt,1\r\n");
    Bookmarks longNamed(session, path);
    nameDocument(session, "/d/a.txt");
    try {
        longNamed.recordPosition();
        ADD_FAILURE() << "recording the position did not fail";
    } catch (const KvenError& e) {
        EXPECT_EQ(std::string(e.what()), msgCannotCreate(path));
    }
    EXPECT_EQ(folder.read(name), "/d/x.txt,1\r\n");
}

TEST(BookmarkFilePath, IsKvenTxtInTheDataFolder)
{
    const char* old = std::getenv("KVEN_HOME");
    const std::string saved = old ? old : "";
    ::setenv("KVEN_HOME", "/some/where/", 1);
    EXPECT_EQ(bookmarkFilePath(), "/some/where/KVEN.txt");
    if (old)
        ::setenv("KVEN_HOME", saved.c_str(), 1);
    else
        ::unsetenv("KVEN_HOME");
}

// The documents read lately: newest first, each once, no browser-cache page, at most the count
// asked for, with the share read where the length of its text was noted when it was left. The
// bookmark file keeps its lines as every copy of the program reads them.
TEST_F(BookmarksTest, RecentDocumentsNewestFirstWithTheShareRead)
{
    setFile("/d/old.txt,5\r\n/d/Temporary Internet Files/p.htm,1\r\n/d/b.txt,7\r\n");
    leave("/d/a.txt", 250); // its text is 1000 bytes long
    leave("/d/b.txt", 500);
    EXPECT_EQ(file(), "/d/old.txt,5\r\n/d/Temporary Internet Files/p.htm,1\r\n/d/a.txt,250\r\n/d/b.txt,500\r\n");
    const std::vector<RecentDocument> recent = recentDocuments(folder.path("KVEN.txt"), 10);
    ASSERT_EQ(recent.size(), 3U);
    EXPECT_EQ(recent[0].file, "/d/b.txt");
    EXPECT_EQ(recent[0].share(), 0.5);
    EXPECT_EQ(recent[1].file, "/d/a.txt");
    EXPECT_EQ(recent[1].share(), 0.25);
    EXPECT_EQ(recent[2].file, "/d/old.txt");
    EXPECT_EQ(recent[2].share(), std::nullopt);
    EXPECT_EQ(recentDocuments(folder.path("KVEN.txt"), 2).size(), 2U);
}

// A recent document is named by its title and author where they are known (a book's own, or a
// text that opens with both), else by its file name; the bookmark file and KVEN.lengths keep the
// lines older copies read.
TEST_F(BookmarksTest, RecentDocumentsByTitleWhereKnown)
{
    const auto repeated = [](std::string_view one, int times) {
        std::string out;
        while (times-- > 0)
            out += one;
        return out;
    };
    const struct {
        const char* path;
        const char* text;
        std::string bookTitle;
        std::string title;
        const char* author;
        std::string caption;
    } rows[] = {
        {"/d/789_ruby_5639.zip", "…\r\n【テキスト中に現れる記号について】\r\n…", "", "吾輩は猫である", "夏目漱石",
         "吾輩は猫である（夏目漱石）"},
        {"/d/a.txt", "…\r\n底本：「文庫」\r\n", "", "羅生門", "芥川龍之介", "羅生門（芥川龍之介）"},
        {"/d/book\t.epub", "…", "本の題\t名", "本の題\t名", "", "本の題 名"}, // a book's own title, no author
        // Two lines that open a text are no known title and author.
        {"/d/notes.txt", "…", "", "一行目です。", "二行目", "notes.txt"},
        // A title is kept to 512 bytes, cut at a character.
        {"/d/long.epub", "…", repeated("題", 1000), repeated("題", 1000), "", repeated("題", 170)},
    };
    for (const auto& row : rows) {
        Document document = session.document();
        document.text = testing::sj(row.text) + std::string(1000 - testing::sj(row.text).size(), 'x');
        document.path = row.path;
        document.file = row.path;
        document.bookTitle = row.bookTitle;
        document.title = row.title;
        document.author = row.author;
        session.load(std::move(document));
        session.setSelStart(500);
        bookmarks.recordPosition();
    }
    const std::vector<RecentDocument> recent = recentDocuments(folder.path("KVEN.txt"), 10);
    ASSERT_EQ(recent.size(), std::size(rows));
    for (std::size_t i = 0; i < recent.size(); ++i) {
        EXPECT_EQ(recent[i].caption(), rows[std::size(rows) - 1 - i].caption);
        EXPECT_EQ(recent[i].share(), 0.5);
    }
    EXPECT_EQ(file(), "/d/789_ruby_5639.zip,500\r\n/d/a.txt,500\r\n/d/book\t.epub,500\r\n/d/notes.txt,500\r\n"
                      "/d/long.epub,500\r\n");
    EXPECT_EQ(folder.read("KVEN.lengths"), "/d/789_ruby_5639.zip\t1000\r\n/d/a.txt\t1000\r\n/d/book\t.epub\t1000\r\n"
                                           "/d/long.epub\t1000\r\n/d/notes.txt\t1000\r\n");
}

} // namespace
} // namespace kven
