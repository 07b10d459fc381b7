#include "files/Errors.h"
#include "files/FileIo.h"
#include "intake/DocumentOutline.h"
#include "intake/Intake.h"
#include "state/Session.h"
#include "support/AnsweringDialogs.h"
#include "support/Documents.h"
#include "support/IconvAll.h"
#include "support/ScratchFolder.h"
#include "support/Sjis.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kven {
namespace {

using testing::AnsweringDialogs;
using testing::nameDocument;
using testing::ScratchFolder;

const std::string kEnd = "\r\n" + std::string(sjis::kEndLine);

class IntakeTest : public ::testing::Test {
protected:
    IntakeTest() { folder.write("KVEN.txt", ""); }

    std::string doc(std::string_view name, std::string_view bytes) const { return folder.write(name, bytes); }
    void open(const std::string& path)
    {
        dialogs.fileAnswers.push_back(path);
        intake.openDocument();
    }

    ScratchFolder folder;
    Session session;
    AnsweringDialogs dialogs;
    EucJp conv;
    Bookmarks bookmarks{session, folder.path("KVEN.txt")};
    DocumentIntake intake{session, dialogs, bookmarks, conv};
};

TEST_F(IntakeTest, ExtensionDecidesWhetherAFileIsHtml)
{
    const struct {
        const char* name;
        bool commandLine;
        bool html;
    } rows[] = {
        {"a.txt", true, false},        {"a.TXT", true, false},    {"a.Txt", true, true},   {"a.text", true, true},
        {"noext", true, true},         {"d.x/noext", true, true}, {"a.html", true, true},  {"a.txt", false, false},
        {"a.Txt", false, false},       {"a.text", false, false},  {"noext", false, false}, {"a.htm", false, true},
        {"a.html", false, true},       {"a.HTM", false, true},    {"a.HTML", false, true}, {"a.Htm", false, false},
        {"d.htm/noext", false, false}, // a dot in a folder name is no extension
    };
    for (const auto& row : rows) {
        const std::string path = doc(row.name, "<b>x</b>");
        if (row.commandLine)
            intake.loadFromCommandLine({path});
        else
            open(path);
        EXPECT_EQ(session.text(), (row.html ? "x" : "<b>x</b>") + kEnd) << row.name << " " << row.commandLine;
    }
}

TEST_F(IntakeTest, CommandLineSetsPathsAndCaption)
{
    const std::string name = "\xe6\x97\xa5\xe6\x9c\xac.txt"; // 日本.txt
    const std::string path = doc(name, "abc");
    intake.loadFromCommandLine({" \t" + path + "\r\n", "/ignored/second"});
    EXPECT_EQ(session.document().file, path);
    EXPECT_EQ(session.document().path, cp932::fromUtf8(path));
    EXPECT_EQ(session.document().path.substr(session.document().path.size() - 8), "\x93\xfa\x96\x7b.txt");
    EXPECT_EQ(session.caption(), "KVEN " + name);

    // Relative to the working folder.
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    doc("with blank.txt", "x");
    ASSERT_EQ(::chdir(folder.path().c_str()), 0);
    EXPECT_NO_THROW(intake.loadFromCommandLine({"with blank.txt"}));
    ASSERT_EQ(::chdir(cwd), 0);
    EXPECT_EQ(session.document().file, folder.path("with blank.txt"));
}

TEST_F(IntakeTest, NoArgumentResetsCursorAndPathOnly)
{
    session.setText("kept");
    session.setSelStart(3);
    nameDocument(session, "/d/old.txt", "/d/old.txt");
    session.setSelStart(3);
    intake.loadFromCommandLine({});
    EXPECT_EQ(session.selStart(), 0u);
    EXPECT_TRUE(session.document().path.empty());
    EXPECT_TRUE(session.document().file.empty());
    EXPECT_EQ(session.text(), "kept");
    EXPECT_EQ(session.caption(), "KVEN");
}

TEST_F(IntakeTest, BrowserCachePagesGetTheTemporaryCaptionOnlyFromTheCommandLine)
{
    const std::string page = doc("Temporary Internet Files/p.htm", "<p>x</p>");
    folder.write("KVEN.txt", cp932::fromUtf8(page) + ",1\r\n");
    intake.loadFromCommandLine({page});
    EXPECT_EQ(session.caption(), "KVEN (temporary)");
    EXPECT_EQ(session.selStart(), 1u); // its bookmark is looked up
    open(page);
    EXPECT_EQ(session.caption(), "KVEN p.htm");
    EXPECT_EQ(folder.read("KVEN.txt"), cp932::fromUtf8(page) + ",1\r\n"); // never written
}

TEST_F(IntakeTest, LoadingResolvesMarkersAndPlacesTheCursor)
{
    const struct {
        const char* why;
        std::string file;
        bool headingSearch;
        std::string text;
        std::size_t cursor;
        std::vector<std::size_t> headings; // where each heading begins, for an audiobook's chapters
        std::vector<std::size_t> ends;     // where a page's headings end, for the chapter titles
    } rows[] = {
        {"marker in plain text", "ab\r\nKVENmarkTitle KVENmark", true, "ab\r\n Title  ", 5, {5, 12}, {}},
        {"heading search off", "abKVENmarkT", false, "ab T", 0, {3}, {}},
        {"no marker", "abc", true, "abc", 0, {}, {}},
        {"empty file", "", true, "", 0, {}, {}},
        {"marker case matters", "kvenmarkX", true, "kvenmarkX", 0, {}, {}},
        {"HTML heading",
         "<html><body>intro<h1 class=c>Head</h1>text</body></html>",
         true,
         "intro Headtext",
         6,
         {6},
         {10}},
        {"heading ends past an entity and a marker",
         "<h2>A&lt;B</h2><p>x</p><h2>C</h2>",
         true,
         " A<Bx C",
         1,
         {1, 6},
         {4, 7}},
        {"a heading the page leaves open has no end", "<h1>A<p>x<h1>B</h1>y", true, " Ax By", 1, {1, 4}, {5}},
    };
    for (const auto& row : rows) {
        session.setOption(&ReadingOptions::headingSearch, row.headingSearch);
        intake.loadFromCommandLine({doc(row.file.starts_with("<") ? "h.html" : "p.txt", row.file)});
        EXPECT_EQ(session.text(), row.text + kEnd) << row.why;
        EXPECT_EQ(session.selStart(), row.cursor) << row.why;
        EXPECT_EQ(session.selLength(), 0u) << row.why;
        EXPECT_EQ(session.document().headings, row.headings) << row.why;
        EXPECT_EQ(session.document().headingEnds, row.ends) << row.why;
    }
}

TEST_F(IntakeTest, ALoadedDocumentCarriesItsOutlineAndAnEditedTextItsOwn)
{
    using testing::sj;
    const std::string text =
        sj("題名\r\n作者\r\n\r\n一［＃「一」は中見出し］\r\n本文。\r\n二［＃「二」は中見出し］\r\n");
    intake.loadFromCommandLine({doc("book.txt", text)});
    const auto titles = [](const std::vector<Chapter>& chapters) {
        std::vector<std::string> found;
        for (const Chapter& chapter : chapters)
            found.push_back(chapter.title);
        return found;
    };
    EXPECT_EQ(session.document().title, "題名");
    EXPECT_EQ(session.document().author, "作者");
    EXPECT_EQ(titles(session.document().chapters), (std::vector<std::string>{"題名", "一", "二"}));
    EXPECT_EQ(titles(currentOutline(session).chapters), titles(session.document().chapters));

    // An edit leaves the document as loaded; what the text now says is worked out anew.
    session.setText(sj("別題\r\n\r\n三［＃「三」は中見出し］\r\n"));
    EXPECT_EQ(session.document().title, "題名");
    EXPECT_EQ(currentOutline(session).title, "別題");
    EXPECT_EQ(titles(currentOutline(session).chapters), (std::vector<std::string>{"別題", "三"}));
}

// A UTF-16 page is read as such whatever it declares, its line breaks made CR LF; the option
// for block line ends reaches the page conversion.
TEST_F(IntakeTest, Utf16PagesAndBlockLines)
{
    const auto utf16 = [](const char* encoding, std::string_view utf8) {
        return testing::iconvAll(encoding, "UTF-8", "\xef\xbb\xbf" + std::string(utf8)).value();
    };
    const struct {
        const char* why;
        std::string page;
        bool blockLines;
        std::string text;
    } rows[] = {
        // In Shift_JIS, ﾃｩ is the UTF-8 spelling of é, which CP932 lacks.
        {"UTF-16LE declaring UTF-8", utf16("UTF-16LE", "<head><meta charset=UTF-8></head><p>ﾃｩ</p>\n<p>語</p>"), false,
         testing::sj("ﾃｩ\r\n語")},
        {"UTF-16BE", utf16("UTF-16BE", "<p>&hellip;</p>\r"), false, testing::sj("…\r\n")},
        {"one line, the option off", "<p>a</p><p>b</p>", false, "ab"},
        {"one line, the option on", "<p>a</p><p>b</p>", true, "a\r\nb"},
    };
    for (const auto& row : rows) {
        session.setOption(&ReadingOptions::blockLines, row.blockLines);
        intake.loadFromCommandLine({doc("p.html", row.page)});
        EXPECT_EQ(session.text(), row.text + kEnd) << row.why;
    }
}

// A page or a text whose encoding changes partway is read in one encoding as before, the rest
// mojibake; the load says so.
TEST_F(IntakeTest, BytesThatFitNoEncodingWholeAreWarnedOf)
{
    using testing::sj;
    const std::string utf8 = "<head><meta charset=UTF-8></head><p>羅生門の下で雨やみを待っていた。</p>";
    const auto warning = [](std::string_view encoding) {
        return "この文書の一部が " + std::string(encoding) +
               " として読めません (途中で文字コードが変わっているか、壊れています): その部分は文字化けしています";
    };
    const struct {
        const char* why;
        const char* name;
        std::string bytes;
        std::vector<std::string> warnings;
    } rows[] = {
        {"a UTF-8 page", "p.html", utf8, {}},
        {"a UTF-8 page going on in Shift_JIS",
         "p.html",
         utf8 + sj("<p>下人の行方は、誰も知らない。</p>"),
         {warning("UTF-8")}},
        {"a Shift_JIS text", "t.txt", sj("下人の行方は、誰も知らない。"), {}},
        // Its last "い" ends in a Shift_JIS lead byte, which the line feed cannot follow.
        {"a Shift_JIS text going on in UTF-8",
         "t.txt",
         sj("下人の行方は、\n") + "誰も知らない\n",
         {warning("Shift_JIS")}},
    };
    for (const auto& row : rows) {
        intake.loadFromCommandLine({doc(row.name, row.bytes)});
        EXPECT_EQ(intake.warnings(), row.warnings) << row.why;
    }
    // A paste has nothing to warn of.
    intake.loadPaste("x");
    EXPECT_TRUE(intake.warnings().empty());
}

TEST_F(IntakeTest, LineBreaksBecomeCrLf)
{
    intake.loadFromCommandLine({doc("a.txt", "a\rb\nc\r\nd\n\re\r\r")});
    EXPECT_EQ(session.text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n\r\n" + kEnd);
    intake.loadFromCommandLine({doc("a.html", "<p>a</p>\rb\nc")});
    EXPECT_EQ(session.text(), "a\r\nb\r\nc" + kEnd);
}

TEST_F(IntakeTest, OpeningAnotherFileRecordsTheFirstOnesBookmark)
{
    const std::string a = doc("a.txt", "0123456789");
    const std::string b = doc("b.txt", "abcdefghij");
    intake.loadFromCommandLine({a});
    session.setSelStart(7);
    open(b);
    EXPECT_EQ(folder.read("KVEN.txt"), a + ",7\r\n");
    EXPECT_EQ(session.text(), "abcdefghij" + kEnd);
    EXPECT_EQ(session.selStart(), 0u);
    EXPECT_EQ(dialogs.fileFolders.back(), folder.path());
    session.setSelStart(3);
    open(a);
    EXPECT_EQ(folder.read("KVEN.txt"), a + ",7\r\n" + b + ",3\r\n");
    EXPECT_EQ(session.selStart(), 7u);
    // The same file again: written, then restored where it stood.
    session.setSelStart(9);
    open(a);
    EXPECT_EQ(session.selStart(), 9u);
    EXPECT_EQ(folder.read("KVEN.txt"), b + ",3\r\n" + a + ",9\r\n");
}

TEST_F(IntakeTest, CancelledOpenChangesNothing)
{
    const std::string a = doc("a.txt", "abc");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::setenv("HOME", "/home/reader", 1);
    intake.openDocument();
    if (home)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
    EXPECT_EQ(dialogs.fileFolders, std::vector<std::string>{"/home/reader"});
    intake.loadFromCommandLine({a});
    session.setSelStart(2);
    intake.openDocument();
    EXPECT_EQ(folder.read("KVEN.txt"), ""); // no bookmark written
    EXPECT_EQ(session.document().file, a);
    EXPECT_EQ(session.selStart(), 2u);
}

TEST_F(IntakeTest, UnopenableFileKeepsEditorPathAndCaption)
{
    const std::string missing = folder.path("missing.txt");
    session.setText("before");
    try {
        intake.loadFromCommandLine({missing});
        ADD_FAILURE() << "load did not fail";
    } catch (const KvenError& e) {
        EXPECT_EQ(std::string(e.what()), msgCannotOpen(missing));
    }
    EXPECT_EQ(session.text(), "before");
    EXPECT_TRUE(session.document().path.empty());
    EXPECT_EQ(session.caption(), "KVEN");

    // Through Open the document being left is recorded first, and stays the current one.
    const std::string a = doc("a.txt", "abcdef");
    intake.loadFromCommandLine({a});
    session.setSelStart(4);
    EXPECT_THROW(open(folder.makeFolder("folder.txt")), KvenError);
    EXPECT_EQ(folder.read("KVEN.txt"), a + ",4\r\n");
    EXPECT_EQ(session.document().file, a);
    EXPECT_EQ(session.caption(), "KVEN a.txt");
    EXPECT_EQ(session.text(), "abcdef" + kEnd);
}

TEST_F(IntakeTest, OnlyRegularFilesWithinTheEditorsLimitAreRead)
{
    std::string detail;
    const auto failure = [&](const std::string& path) {
        try {
            intake.loadFromCommandLine({path});
        } catch (const KvenError& e) {
            detail = e.detail();
            return std::string(e.what());
        }
        return std::string("no error");
    };
    session.setText("before");
    const std::string fifo = folder.path("fifo.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(failure(fifo), msgCannotOpen(fifo)) << "a FIFO is never waited on";
    EXPECT_EQ(failure("/dev/zero"), msgCannotOpen("/dev/zero"));

    // Sparse pages whose unclosed "<" leaves no text: the file's size alone decides.
    const std::string large = doc("large.html", "<");
    ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(kEditorTextLimit) + 1), 0);
    EXPECT_EQ(failure(large), msgTextTooLarge()) << "refused by its size, without reading it";
    EXPECT_EQ(detail, "ファイル " + large + " は上限の 256 MiB を超えています");
    EXPECT_EQ(session.text(), "before");
    EXPECT_TRUE(session.document().file.empty());
    const std::string full = doc("full.html", "<");
    ASSERT_EQ(::truncate(full.c_str(), static_cast<off_t>(kEditorTextLimit)), 0);
    EXPECT_EQ(failure(full), "no error");
    EXPECT_EQ(session.text(), kEnd);
}

// A lead byte at the very end of a file would pair with the CR of the end line and glue the
// end line to the last chunk.
TEST_F(IntakeTest, ALoneLeadByteAtTheEndIsDropped)
{
    const struct {
        std::string file;
        std::string text;
    } rows[] = {
        {"ab\x81", "ab"},
        {"ab\x81\x81", "ab\x81\x81"},     // a whole character whose second byte is a lead value
        {"ab\x81\x81\x81", "ab\x81\x81"}, // ...and a lone lead after it
        {"\x83\x41\xe0", "\x83\x41"},     // ア, then a lone lead
        {"a\r\n\x88", "a\r\n"},
        {"\x81", ""},
    };
    for (const auto& row : rows) {
        intake.loadFromCommandLine({doc("lone.txt", row.file)});
        EXPECT_EQ(session.text(), row.text + kEnd);
    }
}

TEST_F(IntakeTest, FailedBookmarkWriteEndsOpenBeforeTheDocumentChanges)
{
    const std::string a = doc("a.txt", "abc");
    intake.loadFromCommandLine({a});
    folder.remove("KVEN.txt");
    folder.makeFolder("KVEN.txt"); // exists, cannot be read
    EXPECT_THROW(open(doc("b.txt", "xyz")), KvenError);
    EXPECT_EQ(session.document().file, a);
    EXPECT_EQ(session.text(), "abc" + kEnd);
}

TEST_F(IntakeTest, FailedLookupLeavesTheDocumentLoadedAndPositioned)
{
    folder.remove("KVEN.txt");
    const std::string a = doc("a.txt", "abKVENmarkc");
    try {
        intake.loadFromCommandLine({a});
        ADD_FAILURE() << "lookup did not fail";
    } catch (const KvenError& e) {
        EXPECT_EQ(std::string(e.what()), msgCannotOpen(folder.path("KVEN.txt")));
    }
    EXPECT_EQ(session.text(), "ab c" + kEnd);
    EXPECT_EQ(session.selStart(), 3u);
    EXPECT_EQ(session.document().file, a);
}

TEST(PlainText, Utf8AndEucJpAreConvertedAndEverythingElseStays)
{
    using testing::sj;
    const auto euc = [](std::string_view utf8) { return testing::iconvAll("EUC-JP", "UTF-8", utf8).value(); };
    // In EUC-JP, the first is not well-formed Shift_JIS (its 12th byte is 0xFD); the second is.
    constexpr std::string_view kRashomon = "ある日の暮方の事である。一人の下人が、羅生門の下で雨やみを待っていた。";
    constexpr std::string_view kKanaOnly = "このほんはにほんごでかかれています。";
    const struct {
        const char* why;
        std::string in;
        std::string out;
    } rows[] = {
        {"pure ASCII", "abc\r\n", "abc\r\n"},
        {"UTF-8 Japanese", "\xe6\x97\xa5\xe6\x9c\xac", "\x93\xfa\x96\x7b"},
        {"BOM dropped",
         "\xef\xbb\xbf"
         "abc",
         "abc"},
        {"BOM, then Japanese", "\xef\xbb\xbf\xe3\x81\x82", "\x82\xa0"},
        {"UTF-16LE by its mark", std::string("\xff\xfe\x42\x30\x0a\x00", 6), "\x82\xa0\n"},
        {"UTF-16BE by its mark, an odd byte at the end dropped", std::string("\xfe\xff\x30\x42\x00", 5), "\x82\xa0"},
        // Its mark begins as UTF-16LE's does; read as UTF-16 it lost its first character and the rest.
        {"UTF-32LE by its mark: one beyond the plane, one no character",
         std::string("\xff\xfe\x00\x00\x42\x30\x00\x00\x00\xf6\x01\x00\x00\x00\x11\x00\x0a\x00\x00\x00", 20),
         "\x82\xa0??\n"},
        {"UTF-32BE by its mark, a partial unit at the end dropped",
         std::string("\x00\x00\xfe\xff\x00\x00\x30\x42\x00\x00", 10), "\x82\xa0"},
        {"four-byte sequence: no CP932 form", "a\xf0\x9f\x98\x80", "a?"},
        {"Shift_JIS 日本", "\x93\xfa\x96\x7b", "\x93\xfa\x96\x7b"},
        {"overlong slash", "\xc0\xaf\xe3\x81\x82", "\xc0\xaf\xe3\x81\x82"},
        {"overlong three-byte", "\xe0\x80\xaf", "\xe0\x80\xaf"},
        {"encoded surrogate", "\xed\xa0\x80", "\xed\xa0\x80"},
        {"above U+10FFFF", "\xf4\x90\x80\x80", "\xf4\x90\x80\x80"},
        {"cut off at the end", "\xe3\x81\x82\xe3\x81", "\xe3\x81\x82\xe3\x81"},
        {"stray continuation byte", "\xe3\x81\x82\x82", "\xe3\x81\x82\x82"},
        {"EUC-JP (Rashomon)", euc(kRashomon), sj(kRashomon)},
        {"EUC-JP that is also well-formed Shift_JIS stays", euc(kKanaOnly), euc(kKanaOnly)},
        {"Shift_JIS with a byte of no character stays: nothing else fits better",
         sj("吾輩は猫である。") + "\x80" + sj("名前はまだ無い。"),
         sj("吾輩は猫である。") + "\x80" + sj("名前はまだ無い。")},
    };
    const EucJp conv;
    for (const auto& row : rows)
        EXPECT_EQ(plainTextToSjis(row.in, conv), row.out) << row.why;
    // ASCII is the same in both encodings: it is not taken for UTF-8.
    EXPECT_FALSE(isMultiByteUtf8("plain ASCII\r\n"));
    EXPECT_TRUE(isMultiByteUtf8("a\xc2\xa9"));
}

TEST_F(IntakeTest, Utf8RuleAppliesToPlainTextOnly)
{
    const std::string utf8 = "<p>\xe6\x97\xa5\xe6\x9c\xac</p>";
    open(doc("u.txt", utf8));
    EXPECT_EQ(session.text(), "<p>\x93\xfa\x96\x7b</p>" + kEnd);
    // No declaration in the page: the HTML conversion leaves its bytes as they are.
    open(doc("u.html", utf8));
    EXPECT_EQ(session.text(), "\xe6\x97\xa5\xe6\x9c\xac" + kEnd);
}

TEST_F(IntakeTest, CorpusPlainTextKeepsItsBytesApartFromLineBreaks)
{
    const std::string dir = std::string(KVEN_CORPUS_DIR) + "/aozora_txt/";
    if (::access(dir.c_str(), R_OK) != 0)
        GTEST_SKIP() << "test corpus not present at " << dir;
    const struct {
        const char* file;
        std::size_t addedBreakBytes; // one byte per lone CR or LF
    } rows[] = {
        {"miyazawa_dokumomi_no_sukina_shochosan_454_ruby.txt", 90}, // CR only
        {"izumi_onnakeizu_1087_ruby_4443.txt", 2},                  // two bare LFs
        {"hozumi_hoso_yawa_1872_ruby.txt", 0},                      // not even valid CP932
        {"akutagawa_wagaya_no_kogan_3798_ruby_27269.txt", 0},
        {"natsume_wagahaiwa_nekodearu_789_ruby_5639.txt", 0},
    };
    for (const auto& row : rows) {
        std::string original;
        ASSERT_EQ(readWholeFile(dir + row.file, kEditorTextLimit, original), ReadStatus::ok) << row.file;
        open(dir + row.file);
        const std::string& text = session.text();
        EXPECT_EQ(text.size(), original.size() + row.addedBreakBytes + kEnd.size()) << row.file;
        std::string stripped;
        for (char c : text.substr(0, text.size() - kEnd.size())) {
            if (c != '\r' && c != '\n')
                stripped.push_back(c);
        }
        std::string originalStripped;
        for (char c : original) {
            if (c != '\r' && c != '\n')
                originalStripped.push_back(c);
        }
        EXPECT_EQ(stripped, originalStripped) << row.file;
        EXPECT_EQ(text.find("\r\r"), std::string::npos) << row.file;
        for (std::size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
            ASSERT_EQ(text[i - 1], '\r') << row.file << " at " << i;
    }
}

} // namespace
} // namespace kven
