// The byte view of the editor: Shift_JIS text and byte offsets over the QString the editor
// holds, checked against an independent count of editor positions.

#include "text/Cp932.h"
#include "window/EditorText.h"

#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include <random>

using namespace kven;

namespace {

std::string sj(const char* utf8)
{
    return cp932::fromUtf8(utf8);
}

// The editor position of a byte offset counted independently: the UTF-16 length of the
// text before it, with each CR LF one block separator.
int referencePosition(const std::string& sjis, std::size_t offset)
{
    return static_cast<int>(QString::fromStdString(cp932::toUtf8(sjis.substr(0, offset)))
                                .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                .size());
}

std::size_t sjisLength(const std::string& s, std::size_t at)
{
    const auto b = static_cast<unsigned char>(s[at]);
    return ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && at + 1 < s.size() ? 2 : 1;
}

void commit(QWidget* target, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

class EditorTextTest : public QObject {
    Q_OBJECT

private slots:
    void roundTripsShiftJisWithCrLf();
    void mapsEveryBoundaryOfALongText();
    void offsetsInsideACharacterRoundDown();
    void cursorSetFromCodeIsReportedExactly();
    void charactersBeyondTheBmpAreOneQuestionMark();
    void editsInvalidateTheDerivedText();
    void selectionIsClampedAndKeptVisible();
    void longTextsSurviveTheSlicedConversion();
    void charactersWithAnotherWayBackAreShownAndMappedAlike();
    void randomTextsMapBothWays();
};

void EditorTextTest::roundTripsShiftJisWithCrLf()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    const std::string doc = sj("一行目\r\nab ｶﾞ\r\n\r\n終わり。");
    text.setText(doc);
    QCOMPARE(text.text(), doc);
    QCOMPARE(editor.toPlainText(), QString::fromUtf8("一行目\nab ｶﾞ\n\n終わり。"));
    QCOMPARE(text.selStart(), std::size_t{0});
    QCOMPARE(text.selLength(), std::size_t{0});
    // Lone CR and LF become line breaks of the editor, CR LF in the byte text.
    text.setText("a\rb\nc");
    QCOMPARE(text.text(), std::string("a\r\nb\r\nc"));
}

void EditorTextTest::mapsEveryBoundaryOfALongText()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    std::string doc;
    for (int i = 0; i < 400; ++i)
        doc += sj(i % 3 == 0 ? "吾輩は猫である。\r\n" : (i % 3 == 1 ? "name ﾅﾏｴ\r\n" : "《ルビ》漢字"));
    text.setText(doc);
    QCOMPARE(text.text(), doc);
    // Every character boundary, across many anchors, both ways.
    int checked = 0;
    for (std::size_t offset = 0; offset <= doc.size();) {
        const int position = text.positionOf(offset);
        QCOMPARE(position, referencePosition(doc, offset));
        QCOMPARE(text.offsetOf(position), offset);
        ++checked;
        if (offset == doc.size())
            break;
        const auto b = static_cast<unsigned char>(doc[offset]);
        offset += (doc[offset] == '\r' || (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
    }
    QVERIFY(checked > 1000);
    QCOMPARE(text.offsetOf(1 << 30), doc.size());
    QCOMPARE(text.positionOf(doc.size() + 10), editor.document()->characterCount() - 1);
}

void EditorTextTest::offsetsInsideACharacterRoundDown()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    text.setText(sj("漢字\r\nx"));
    QCOMPARE(text.positionOf(1), 0); // inside 漢
    QCOMPARE(text.positionOf(3), 1); // inside 字
    QCOMPARE(text.positionOf(5), 2); // between CR and LF
    QCOMPARE(text.positionOf(6), 3);
}

void EditorTextTest::cursorSetFromCodeIsReportedExactly()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    text.setText(sj("漢字\r\nx"));
    // The editor cannot stand between CR and LF, yet the reading step gets its offset back.
    text.setSelStart(5);
    QCOMPARE(editor.textCursor().position(), 2);
    QCOMPARE(text.selStart(), std::size_t{5});
    text.setSelLength(2);
    QCOMPARE(text.selLength(), std::size_t{2});
    QCOMPARE(editor.textCursor().selectedText(), QString(QChar::ParagraphSeparator) + QLatin1Char('x'));
    // Once the user moves the cursor, the editor's position is what counts.
    QTextCursor moved = editor.textCursor();
    moved.setPosition(1);
    editor.setTextCursor(moved);
    QCOMPARE(text.selStart(), std::size_t{2});
}

void EditorTextTest::charactersBeyondTheBmpAreOneQuestionMark()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    editor.setPlainText(QString::fromUtf8("a😀?字"));
    QCOMPARE(text.text(), std::string("a??") + sj("字"));
    // The emoji is two editor units and one byte; the literal "?" is one of each.
    QCOMPARE(text.positionOf(2), 3);
    QCOMPARE(text.positionOf(3), 4);
    QCOMPARE(text.offsetOf(2), std::size_t{1}); // inside the surrogate pair
    QCOMPARE(text.offsetOf(4), std::size_t{3});
    text.setSelStart(3);
    text.setSelLength(2);
    QCOMPARE(editor.textCursor().selectedText(), QString::fromUtf8("字"));
}

void EditorTextTest::editsInvalidateTheDerivedText()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    text.setText(sj("東京"));
    text.setSelStart(2);
    const std::string& before = text.text();
    QCOMPARE(before, sj("東京"));
    commit(&editor, QString::fromUtf8("と"));
    QCOMPARE(text.text(), sj("東と京"));
    QCOMPARE(text.selStart(), std::size_t{4});
    editor.clear();
    QCOMPARE(text.text(), std::string());
    QCOMPARE(text.selStart(), std::size_t{0});
}

void EditorTextTest::selectionIsClampedAndKeptVisible()
{
    QPlainTextEdit editor;
    editor.resize(200, 100);
    editor.show();
    EditorText text(editor);
    std::string doc;
    for (int i = 0; i < 500; ++i)
        doc += sj("行です。\r\n");
    text.setText(doc);
    text.setSelStart(doc.size() + 100);
    QCOMPARE(text.selStart(), doc.size());
    text.setSelStart(doc.size() - 12);
    text.setSelLength(100);
    QCOMPARE(text.selLength(), std::size_t{12});
    // The chunk at the end of the text is scrolled into view.
    QVERIFY(editor.verticalScrollBar()->value() > 0);
    QVERIFY(editor.viewport()->rect().intersects(editor.cursorRect()));
}

void EditorTextTest::longTextsSurviveTheSlicedConversion()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    // One line far longer than a slice, with one-byte characters shifting the double-byte
    // ones to odd offsets, so that a slice cut by byte count would split a character.
    std::string line;
    while (line.size() < 300000)
        line += sj("ｱ漢字かなｶﾅ");
    text.setText(line);
    QCOMPARE(text.text(), line);
    QCOMPARE(editor.toPlainText(), QString::fromStdString(cp932::toUtf8(line)));
    // Many lines: slices end after line feeds.
    std::string lines;
    while (lines.size() < 300000)
        lines += sj("ｱ一行の文章です。\r\n");
    text.setText(lines);
    QCOMPARE(text.text(), lines);
}

void EditorTextTest::charactersWithAnotherWayBackAreShownAndMappedAlike()
{
    QPlainTextEdit editor;
    EditorText text(editor);
    // NEC's ≒ (87 90) is U+2252, which goes back as the standard ≒ (81 E0); an unassigned code
    // (85 40) is shown as "?". Offsets still map through the text the editor gives back.
    std::string doc;
    for (int i = 0; i < 300; ++i)
        doc += sj("行") + "\x87\x90" + "\x85\x40" + sj("です。\r\n");
    text.setText(doc);
    std::string expected;
    for (int i = 0; i < 300; ++i)
        expected += sj("行") + "\x81\xe0" + "?" + sj("です。\r\n");
    QCOMPARE(text.text(), expected);
    for (std::size_t offset = 0; offset < expected.size(); offset += 7) {
        const int position = text.positionOf(offset);
        QCOMPARE(text.offsetOf(position), text.offsetOf(text.positionOf(text.offsetOf(position))));
        QVERIFY(text.offsetOf(position) <= offset);
    }
    QCOMPARE(text.positionOf(expected.size()), referencePosition(expected, expected.size()));
    QCOMPARE(text.positionOf(13 * 10 + 2), referencePosition(expected, 13 * 10 + 2));
    QCOMPARE(text.positionOf(13 * 10 + 4), 10 * 7 + 2);
}

// Texts drawn from the byte sequences that matter: ASCII, CR LF and lone CR or LF, half-width
// kana, kanji, vendor rows, unassigned and broken codes, a lead byte at the very end. Each is
// shown, derived and mapped at every character boundary of the derived text.
void EditorTextTest::randomTextsMapBothWays()
{
    const std::vector<std::string> pieces = {"a",      "?",      "\r\n",     "\r",       "\n",       "\xb1",
                                             sj("漢"), sj("。"), "\x87\x90", "\x85\x40", "\xfa\x40", "\x81\x7f",
                                             "\x80",   "\xa0",   "\xfd",     " "};
    std::mt19937 random(20261207);
    QPlainTextEdit editor;
    EditorText text(editor);
    for (int round = 0; round < 200; ++round) {
        std::string doc;
        const std::size_t length = random() % 60;
        for (std::size_t i = 0; i < length; ++i)
            doc += pieces[random() % pieces.size()];
        if (random() % 4 == 0)
            doc += "\x82";
        text.setText(doc);
        const std::string& derived = text.text();
        QCOMPARE(editor.toPlainText().size(), referencePosition(derived, derived.size()));
        for (std::size_t offset = 0; offset <= derived.size();) {
            const int position = text.positionOf(offset);
            QCOMPARE(position, referencePosition(derived, offset));
            QCOMPARE(text.offsetOf(position), offset);
            if (offset == derived.size())
                break;
            offset += derived.compare(offset, 2, "\r\n") == 0
                          ? 2
                          : (derived[offset] & 0x80 ? sjisLength(derived, offset) : 1);
        }
    }
}

QTEST_MAIN(EditorTextTest)
#include "editor_text_test.moc"
