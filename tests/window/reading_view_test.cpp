// The reading view with the real web engine, offscreen: what it marks, where a click and the
// keyboard move the cursor, and that the editor is the view until it is switched on.

#include "window/WindowRig.h"

#include "reading/ChunkCuts.h"
#include "reading/ViewHtml.h"
#include "text/Sjis.h"

#include <QAccessible>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace kven::testing {

namespace {

// What a script gives back, waited for.
QVariant js(QWebEngineView& view, const QString& script)
{
    QVariant result;
    bool done = false;
    view.page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 20000)
        QTest::qWait(5);
    if (!done)
        qWarning("no answer to %s", qPrintable(script));
    return result;
}

bool waitFor(QWebEngineView& view, const QString& condition)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        if (js(view, condition).toBool())
            return true;
        QTest::qWait(10);
    }
    return false;
}

std::string corpusFile(const char* name)
{
    QFile file(QStringLiteral(KVEN_CORPUS_DIR "/aozora_txt/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// The chunk as the book shows it: ruby readings, the marks of ruby bases (a "｜" with a ruby
// after it on its line) and notes left out, a gaiji as the character its note names, line
// breaks not shown.
QString asShown(std::string_view whole, std::size_t from, std::size_t to)
{
    std::string sjis;
    for (std::size_t i = from; i < to; i += sjis::charLength(whole, i)) {
        const std::string_view c = whole.substr(i, sjis::charLength(whole, i));
        if (c == sjis::kRubyBaseMark) {
            const std::size_t lineEnd = std::min(whole.find_first_of("\r\n", i), whole.size());
            bool ruby = false;
            for (std::size_t j = i; j < lineEnd; j += sjis::charLength(whole, j))
                ruby = ruby || whole.substr(j, 2) == sjis::kRubyOpen;
            if (ruby)
                continue;
        }
        sjis += c;
    }
    const std::string text = u8(sjis);
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::string_view rest = std::string_view(text).substr(i);
        const auto skipPast = [&](std::string_view close) {
            const std::size_t end = rest.find(close);
            return end == std::string_view::npos ? std::string_view::npos : end + close.size();
        };
        if (rest.starts_with("※［＃")) {
            const std::size_t end = skipPast("］");
            const std::string c = gaijiCharacter(rest.substr(std::string_view("※").size(), end));
            if (end != std::string_view::npos && !c.empty()) {
                out += c;
                i += end;
                continue;
            }
        }
        if (rest.starts_with("［＃") || (rest.starts_with("《") && !rest.starts_with("《》"))) {
            if (const std::size_t end = skipPast(rest.starts_with("《") ? "》" : "］"); end != std::string_view::npos) {
                i += end;
                continue;
            }
        }
        if (rest[0] != '\r' && rest[0] != '\n')
            out += rest[0];
        ++i;
    }
    return QString::fromStdString(out);
}

} // namespace

class ReadingViewTest : public QObject {
    Q_OBJECT

private slots:
    void isTheEditorUntilSwitchedOn();
    void marksEveryChunkOfABookWholeAndInView();
    void followsTheReading();
    void clickAndEnterMoveTheCursor();
    void itsTextReachesScreenReaders();
};

void ReadingViewTest::isTheEditorUntilSwitchedOn()
{
    WindowRig rig(settingsFile("[Voice]=0\r\n[View]=2\r\n"));
    const std::string path = rig.writeDocument("a.txt", "一行目\r\n二行目\r\n");
    MainWindow& form = rig.create();
    form.show();
    form.openDropped(path);
    auto* editor = form.findChild<QPlainTextEdit*>(QStringLiteral("editor"));
    QVERIFY(editor != nullptr);
    // The stored mode holds from the start: the book in the editor's place.
    QCOMPARE(form.readingView().mode(), 2);
    QVERIFY(!editor->isVisible());
    QVERIFY(form.readingView().isVisible());
    QCOMPARE(form.readingView().geometry(), editor->geometry());
    QVERIFY(waitFor(*form.readingView().page(), QStringLiteral("!!window.kv && kv.drawn !== undefined")));
    QCOMPARE(js(*form.readingView().page(), QStringLiteral("document.documentElement.className")).toString(),
             QStringLiteral("h"));
    // The text size keys.
    const int size = form.readingView().fontSize();
    QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(form.readingView().fontSize(), size + 2);
    QVERIFY(waitFor(*form.readingView().page(),
                    QStringLiteral("getComputedStyle(document.documentElement).fontSize === '%1px'").arg(size + 2)));
    QTest::keyClick(&form, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(form.readingView().fontSize(), size);

    // F8 gives the editor back, with the text it holds unchanged; again, the book as it was.
    QTest::keyClick(&form, Qt::Key_F8);
    QVERIFY(editor->isVisible());
    QVERIFY(!form.readingView().isVisible());
    QCOMPARE(form.readingView().mode(), 0);
    QVERIFY(form.session().text().starts_with(sj("一行目\r\n二行目\r\n")));
    QCOMPARE(editor->toPlainText(), QString::fromStdString(u8(form.session().text())).replace("\r\n", "\n"));
    QTest::keyClick(&form, Qt::Key_F8);
    QCOMPARE(form.readingView().mode(), 2);
    QTest::keyClick(&form, Qt::Key_F8, Qt::ShiftModifier);
    QCOMPARE(form.readingView().mode(), 1);

    // Without the key, the editor alone: the engine is not even started.
    WindowRig plain;
    MainWindow& editorOnly = plain.create();
    QCOMPARE(editorOnly.readingView().mode(), 0);
    QVERIFY(editorOnly.readingView().page() == nullptr);
}

void ReadingViewTest::marksEveryChunkOfABookWholeAndInView()
{
    const std::string book = corpusFile("akutagawa_rashomon_127_ruby_150.txt");
    if (book.empty())
        QSKIP("the corpus is not here");
    WindowRig rig;
    QFile file(QString::fromStdString(rig.path("rashomon.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(book));
    file.close();
    MainWindow& form = rig.create({rig.path("rashomon.txt")});
    form.resize(900, 700);
    form.show();
    rig.finishUtterances();
    form.commands().stop();
    // The view starts at the cursor, late in the book.
    const std::size_t cursor = form.session().text().rfind(sj("下人"));
    form.session().setSelStart(cursor);
    form.readingView().setMode(1);
    QWebEngineView& view = *form.readingView().page();
    QVERIFY(waitFor(view, QStringLiteral("JSON.stringify(kv.drawn) === '[%1,%1]'").arg(cursor)));
    QVERIFY(
        js(view, QStringLiteral("(() => { const b = kv.range(%1, %2).getBoundingClientRect();"
                                " return b.left >= 0 && b.right <= innerWidth && b.top >= 0 && b.bottom <= innerHeight;"
                                " })()")
                     .arg(cursor)
                     .arg(cursor + 4))
            .toBool());

    const std::string& text = form.session().text();
    int chunks = 0;
    for (std::size_t at = 0; at < text.size(); ++chunks) {
        const std::size_t length = std::max<std::size_t>(1, chunkLength(std::string_view(text).substr(at)));
        form.session().setSelStart(at);
        form.session().setSelLength(length);
        const QString drawn = QStringLiteral("JSON.stringify(kv.drawn) === '[%1,%2]'").arg(at).arg(at + length);
        QVERIFY2(waitFor(view, drawn), qPrintable(QString::number(at)));
        const QString expected = asShown(text, at, at + length);
        QCOMPARE(js(view, QStringLiteral("kv.shownText(%1, %2)").arg(at).arg(at + length)).toString(), expected);
        if (!expected.isEmpty()) {
            // Whole and in view, when it can be.
            const QVariantList box =
                js(view, QStringLiteral("(() => { const b = kv.range(%1, %2).getBoundingClientRect();"
                                        " return [b.left, b.top, b.right, b.bottom, innerWidth, innerHeight]; })()")
                             .arg(at)
                             .arg(at + length))
                    .toList();
            QCOMPARE(box.size(), 6);
            const double width = box[2].toDouble() - box[0].toDouble();
            const double height = box[3].toDouble() - box[1].toDouble();
            if (width < box[4].toDouble() * 0.7 && height < box[5].toDouble() * 0.7) {
                QVERIFY2(box[0].toDouble() >= 0 && box[1].toDouble() >= 0 && box[2].toDouble() <= box[4].toDouble() &&
                             box[3].toDouble() <= box[5].toDouble(),
                         qPrintable(QString::number(at)));
            }
            QVERIFY(js(view, QStringLiteral("document.querySelectorAll('.mk').length")).toInt() > 0);
        }
        at += length;
    }
    QVERIFY(chunks > 100);
}

void ReadingViewTest::followsTheReading()
{
    WindowRig rig;
    const std::string path = rig.writeDocument("a.txt", "最初の文。｜次《つぎ》の文。\r\n三つ目の文。\r\n");
    MainWindow& form = rig.create({path});
    form.show();
    form.readingView().setMode(2);
    QWebEngineView& view = *form.readingView().page();
    QVERIFY(waitFor(view, QStringLiteral("!!window.kv && kv.drawn !== undefined")));
    rig.finishUtterances(); // the start on the command line
    form.commands().stop();
    form.session().setSelStart(0);
    form.commands().start();
    for (const QString& chunk :
         {QStringLiteral("最初の文。"), QStringLiteral("次の文。"), QStringLiteral("三つ目の文。")}) {
        QTRY_VERIFY(form.session().reading());
        const std::size_t start = form.session().chunkStart();
        const std::size_t end = form.session().chunkEnd();
        QVERIFY(waitFor(view, QStringLiteral("JSON.stringify(kv.drawn) === '[%1,%2]'").arg(start).arg(end)));
        QCOMPARE(js(view, QStringLiteral("kv.shownText(%1, %2)").arg(start).arg(end)).toString(), chunk);
        rig.finishUtterances();
    }
}

void ReadingViewTest::clickAndEnterMoveTheCursor()
{
    WindowRig rig;
    std::string utf8;
    for (int line = 0; line < 40; ++line)
        utf8 += "吾輩は｜猫《ねこ》である。名前はまだ無い。abc 123 どこで生れたか頓《とん》と見当がつかぬ。\r\n";
    const std::string path = rig.writeDocument("a.txt", utf8);
    MainWindow& form = rig.create({path});
    form.resize(900, 700);
    form.show();
    rig.finishUtterances();
    form.commands().stop();
    for (const int mode : {1, 2}) {
        form.readingView().setMode(mode);
        QWebEngineView& view = *form.readingView().page();
        QVERIFY(waitFor(view, QStringLiteral("!!window.kv && kv.drawn !== undefined")));
        const std::string& text = form.session().text();
        // A sample of shown characters, each brought into view and clicked on its leading quarter.
        for (std::size_t at = 2; at < text.size(); at += 997) {
            // A character and the start of its span, which the cursor is put on first.
            const QVariantList pair =
                js(view, QStringLiteral("(() => { const s = kv.spanOf(%1); if (!s || s.hasAttribute('u')) return [];"
                                        " const o = +s.getAttribute('o'), w = s.hasAttribute('w') ? 1 : 2;"
                                        " const n = s.textContent.length; if (n < 2) return [];"
                                        " const k = Math.max(1, Math.min(n - 1, Math.floor((%1 - o) / w)));"
                                        " return [o, o + k * w]; })()")
                             .arg(at))
                    .toList();
            if (pair.size() != 2)
                continue;
            const auto spanStart = static_cast<std::size_t>(pair[0].toLongLong());
            const auto target = static_cast<std::size_t>(pair[1].toLongLong());
            form.session().setSelStart(spanStart);
            QVERIFY(waitFor(view, QStringLiteral("JSON.stringify(kv.drawn) === '[%1,%1]'").arg(spanStart)));
            const QVariantList box =
                js(view, QStringLiteral(
                             "(() => { const s = kv.spanOf(%1); const o = +s.getAttribute('o');"
                             " const w = s.hasAttribute('w') ? 1 : 2; const r = document.createRange();"
                             " const k = (%1 - o) / w; r.setStart(s.firstChild, k); r.setEnd(s.firstChild, k + 1);"
                             " const b = r.getBoundingClientRect(); return [b.left, b.top, b.width, b.height]; })()")
                             .arg(target))
                    .toList();
            QCOMPARE(box.size(), 4);
            const QPoint point = mode == 1 ? QPoint(int(box[0].toDouble() + box[2].toDouble() / 2),
                                                    int(box[1].toDouble() + box[3].toDouble() / 4))
                                           : QPoint(int(box[0].toDouble() + box[2].toDouble() / 4),
                                                    int(box[1].toDouble() + box[3].toDouble() / 2));
            QVERIFY(point.x() >= 0 && point.y() >= 0 && point.x() < view.width() && point.y() < view.height());
            QTest::mouseClick(view.focusProxy(), Qt::LeftButton, {}, point);
            QTRY_COMPARE(form.session().selStart(), target);
        }
        // The keyboard: a place moved with the arrows, and Enter.
        form.session().setSelStart(0);
        QVERIFY(waitFor(view, QStringLiteral("JSON.stringify(kv.drawn) === '[0,0]'")));
        view.setFocus();
        QTest::keyClick(view.focusProxy(), mode == 1 ? Qt::Key_Down : Qt::Key_Right);
        QTest::keyClick(view.focusProxy(), mode == 1 ? Qt::Key_Down : Qt::Key_Right);
        QVERIFY(waitFor(view, QStringLiteral("!getSelection().isCollapsed")));
        const auto chosen =
            js(view, QStringLiteral("kv.offsetAt(getSelection().anchorNode, getSelection().anchorOffset)"))
                .toLongLong();
        QVERIFY(chosen > 0);
        QTest::keyClick(view.focusProxy(), Qt::Key_Return);
        QTRY_COMPARE(form.session().selStart(), static_cast<std::size_t>(chosen));
    }
}

// Whether some object under `node` names or holds `text`. The objects are the engine's, whose
// library gives their classes no type information that the checks of a sanitized build know.
__attribute__((no_sanitize("vptr"))) bool accessibleHolds(QAccessibleInterface* node, const QString& text,
                                                          int depth = 0)
{
    if (node == nullptr || depth > 40)
        return false;

    if (node->text(QAccessible::Name).contains(text) || node->text(QAccessible::Value).contains(text))
        return true;
    for (int i = 0; i < node->childCount(); ++i)
        if (accessibleHolds(node->child(i), text, depth + 1))
            return true;
    return false;
}

void ReadingViewTest::itsTextReachesScreenReaders()
{
    WindowRig rig;
    const std::string path = rig.writeDocument("a.txt", "吾輩は｜猫《ねこ》である。\r\n");
    MainWindow& form = rig.create();
    form.show();
    form.openDropped(path);
    form.readingView().setMode(1);
    QWebEngineView& view = *form.readingView().page();
    QVERIFY(waitFor(view, QStringLiteral("!!window.kv && kv.drawn !== undefined")));
    // A screen reader starts: the engine gives it the page's text.
    QAccessible::setActive(true);
    QTRY_VERIFY_WITH_TIMEOUT(accessibleHolds(QAccessible::queryAccessibleInterface(&view), QStringLiteral("である")),
                             10000);
    QAccessible::setActive(false);
}

} // namespace kven::testing

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    kven::testing::ReadingViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "reading_view_test.moc"
