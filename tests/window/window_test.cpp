// The main window driven as a user drives it: offscreen, a fresh window per test, the
// scripted engine, dialogs answered in advance.

#include "export/ExportProgress.h"
#include "window/WindowRig.h"

#include "window/InterfaceText.h"
#include "window/Layout.h"
#include "window/MediaControls.h"

#include "reading/Reader.h"
#include "state/Session.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusAbstractAdaptor>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <span>
#include <unistd.h>

using namespace kven;
using namespace kven::testing;

namespace {

constexpr const char* kDocument = "一行目です。二行目\r\n広告の行\r\n東京《とうきょう》へ\r\n";

// The adaptor that serves `name` on the bus for `object`: its slots are the interface's calls,
// its properties the interface's properties.
QObject& busInterface(QObject& object, const char* name)
{
    for (QDBusAbstractAdaptor* adaptor : object.findChildren<QDBusAbstractAdaptor*>()) {
        const QMetaObject* meta = adaptor->metaObject();
        if (qstrcmp(meta->classInfo(meta->indexOfClassInfo("D-Bus Interface")).value(), name) == 0)
            return *adaptor;
    }
    qFatal("no interface %s", name);
}

template<class W = QWidget> W* control(MainWindow& form, const char* name)
{
    auto* widget = form.findChild<W*>(QString::fromLatin1(name));
    if (widget == nullptr)
        qFatal("no control %s", name);
    return widget;
}

QPlainTextEdit* editorOf(MainWindow& form)
{
    return control<QPlainTextEdit>(form, "editor");
}

int count(const std::vector<std::string>& calls, const std::string& prefix)
{
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

void commitText(QWidget* target, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(target, &event);
}

void showAndActivate(MainWindow& form)
{
    form.show();
    QApplication::setActiveWindow(&form);
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("window not exposed");
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void windowAndMenu();
    void fitsTheScreen();
    void interfaceLanguage_data();
    void interfaceLanguage();
    void everyControlHasAnAccessibleName();
    void tabOrder();
    void functionKeysWorkFromTheEditor();
    void readingStartsByItselfAndWalksTheText();
    void stopThenStartKeepsOneChain();
    void chaptersAndSleepTimer();
    void timeLeftKeepsItsPaceAcrossJumps();
    void mediaControlsRunTheWindowsCommands();
    void startOnEmptyEditorReturnsToIdle();
    void pasteReadsTheClipboardAndLeavesTheDocument();
    void resizeToggle();
    void addAndDel();
    void listEditsReachTheNextStep();
    void reloadAndSaveRoundTrip();
    void optionMenu();
    void wordsEditorSavesTheDictionary();
    void wordsEditorAsksBeforeDroppingEdits();
    void exportRunsInTheBackground();
    void storedPositionPlacesTheWindow();
    void openWritesThePreviousBookmark();
    void droppedFileLoadsAsOpen();
    void closeWritesTheBookmark();
    void failedBookmarkWriteKeepsTheWindowOpen();
    void voiceListAndSpeed();
    void voiceTypingAndErasing();
    void unreachableEngineEndsCreation();
    void handlerErrorsGoToTheErrorBox();
    void japaneseTypedIntoTheEditor();
    void captionsRenderAsGlyphs();
    void selectionIsDrawnOnlyWithFocus();
    void theChunkBeingReadIsTheTextsSelection();
    void realDialogsSayWhatTheyShould();
    void corpusDocumentsReadAsTheCoreReadsThem();
};

void WindowTest::layout_data()
{
    QTest::addColumn<int>("row");
    const std::span<const Placement> layout = mainWindowLayout();
    for (std::size_t i = 0; i < layout.size(); ++i)
        QTest::newRow(layout[i].name) << static_cast<int>(i);
}

// Every row of the placement table is a control of its kind, on its parent, at its place,
// with its caption.
void WindowTest::layout()
{
    QFETCH(int, row);
    const Placement& placement = mainWindowLayout()[static_cast<std::size_t>(row)];
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    auto* widget = form.findChild<QWidget*>(QString::fromLatin1(placement.name));
    QVERIFY(widget != nullptr);
    const QString caption = QString::fromUtf8(placement.caption);
    if (placement.kind == ControlKind::TabSheet) {
        const int tab = control<QTabWidget>(form, "listTabs")->indexOf(widget);
        QVERIFY(tab >= 0);
        QCOMPARE(control<QTabWidget>(form, "listTabs")->tabText(tab), caption);
        return;
    }
    QCOMPARE(widget->parentWidget()->objectName(), QString::fromLatin1(placement.parent));
    const std::pair<ControlKind, const char*> kinds[] = {
        {ControlKind::Label, "QLabel"},         {ControlKind::Button, "QPushButton"},
        {ControlKind::CheckBox, "QCheckBox"},   {ControlKind::ComboBox, "QComboBox"},
        {ControlKind::ScrollBar, "QScrollBar"}, {ControlKind::ListBox, "QListWidget"},
        {ControlKind::Memo, "QPlainTextEdit"},  {ControlKind::PageControl, "QTabWidget"}};
    for (const auto& [kind, className] : kinds)
        if (kind == placement.kind)
            QVERIFY(widget->inherits(className));
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A label sizes itself to its text, so that none is cut off in the font at hand.
        QCOMPARE(label->pos(), placement.rect.topLeft());
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
        QVERIFY(label->height() >= label->fontMetrics().height());
        QCOMPARE(label->text(), caption);
        return;
    }
    QCOMPARE(widget->geometry(), placement.rect);
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), caption);
}

// On the screen at hand (the test runs on small screens and at a large scale factor too), the
// whole window and every control shown in it are on the screen, and the chunk being read is in
// view, whole, no lower than the middle, with what follows it.
void WindowTest::fitsTheScreen()
{
    WindowRig rig;
    std::string lines;
    for (int i = 0; i < 200; ++i)
        lines += std::to_string(i) + "行目、吾輩は猫である。\r\n";
    MainWindow& form = rig.create({rig.writeDocument("long.txt", lines)});
    showAndActivate(form);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(form.frameGeometry()), qPrintable(QStringLiteral("window %1,%2 %3x%4 on %5x%6")
                                                                   .arg(form.frameGeometry().x())
                                                                   .arg(form.frameGeometry().y())
                                                                   .arg(form.frameGeometry().width())
                                                                   .arg(form.frameGeometry().height())
                                                                   .arg(screen.width())
                                                                   .arg(screen.height())));
    for (const QWidget* widget : form.findChildren<QWidget*>()) {
        if (widget->isVisible() && !widget->isWindow())
            QVERIFY2(screen.contains(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size())),
                     qPrintable(widget->objectName() + QLatin1String(" ") + widget->metaObject()->className()));
    }
    // Every tab is whole, with its caption, and none hides behind scroll arrows.
    const QTabBar* tabs = control<QTabWidget>(form, "listTabs")->tabBar();
    for (int i = 0; i < tabs->count(); ++i) {
        const QRect tab = tabs->tabRect(i);
        QVERIFY2(tabs->rect().contains(tab) &&
                     tab.width() >= tabs->fontMetrics().horizontalAdvance(tabs->tabText(i).remove(QLatin1Char('&'))),
                 qPrintable(QStringLiteral("tab %1: %2 wide at %3 in a bar %4 wide")
                                .arg(tabs->tabText(i))
                                .arg(tab.width())
                                .arg(tab.x())
                                .arg(tabs->width())));
    }
    for (const QWidget* arrow : tabs->findChildren<QWidget*>())
        QVERIFY2(!arrow->isVisible(), qPrintable(arrow->metaObject()->className()));
    QPlainTextEdit* editor = editorOf(form);
    for (int chunk = 0; chunk < 80; ++chunk)
        rig.finishUtterances();
    QCOMPARE(editor->extraSelections().size(), 1);
    const QTextCursor chunk = editor->extraSelections().front().cursor;
    QTextCursor start = chunk;
    start.setPosition(chunk.selectionStart());
    QTextCursor end = chunk;
    end.setPosition(chunk.selectionEnd());
    const int height = editor->viewport()->height();
    QVERIFY(chunk.hasSelection());
    QVERIFY(editor->cursorRect(start).top() >= 0);
    QVERIFY(editor->cursorRect(start).center().y() <= height / 2 + editor->fontMetrics().lineSpacing());
    QVERIFY(editor->cursorRect(end).bottom() + editor->fontMetrics().lineSpacing() <= height);
}

void WindowTest::windowAndMenu()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN"));
    QCOMPARE(form.centralWidget()->size(), QSize(632, 519));
    QCOMPARE(form.centralWidget()->y(), form.menuBar()->height());
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);

    // Design states, before any reading.
    QVERIFY(control<QPushButton>(form, "startButton")->isEnabled());
    QVERIFY(!control<QPushButton>(form, "stopButton")->isEnabled());
    QCOMPARE(control<QTabWidget>(form, "listTabs")->count(), 3);
    QCOMPARE(control<QTabWidget>(form, "listTabs")->tabText(0), QStringLiteral("Skip"));
    QCOMPARE(control<QTabWidget>(form, "listTabs")->tabText(1), QStringLiteral("Talk"));
    QCOMPARE(control<QTabWidget>(form, "listTabs")->tabText(2), QStringLiteral("etc"));
    QCOMPARE(control<QTabWidget>(form, "listTabs")->currentIndex(), 1);
    for (QCheckBox* box : {control<QCheckBox>(form, "aozoraRubyBox"), control<QCheckBox>(form, "aaSkipBox"),
                           control<QCheckBox>(form, "headingSearchBox"), control<QCheckBox>(form, "repeatBox")})
        QVERIFY(box->isChecked());
    QCOMPARE(control<QScrollBar>(form, "speedBar")->minimum(), -10);
    QCOMPARE(control<QScrollBar>(form, "speedBar")->maximum(), 10);
    QCOMPARE(control<QScrollBar>(form, "unreadLimitBar")->maximum(), 10);
    QVERIFY(control<QComboBox>(form, "voiceBox")->isEditable());
    QCOMPARE(control<QComboBox>(form, "voiceBox")->maxVisibleItems(), 8);
    QCOMPARE(form.focusWidget(), editorOf(form));

    // Fonts: Japanese sans-serif at the design's heights.
    QCOMPARE(editorOf(form)->font().pointSize(), 16);
    QCOMPARE(control<QLabel>(form, "versionLabel")->font().pixelSize(), 19);
    QVERIFY(control<QLabel>(form, "versionLabel")->font().bold());
    QCOMPARE(control<QLabel>(form, "talkSymbolsLabel")->font().pixelSize(), 12);
    QCOMPARE(control<QPushButton>(form, "startButton")->font().pixelSize(), 16);
    // The editor lies above every other control of the client area.
    QCOMPARE(form.centralWidget()->children().last(), editorOf(form));

    // The menu: File (Open F2, Quit) and Read (Start F11, Stop F12, Paste F4), all enabled,
    // then the listening options.
    // Each menu has its mnemonic; Help comes last.
    const QList<QAction*> menus = form.menuBar()->actions();
    QCOMPARE(menus.size(), 6);
    QCOMPARE(menus[0]->text(), QStringLiteral("&File"));
    QCOMPARE(menus[1]->text(), QStringLiteral("&Read"));
    QCOMPARE(menus[2]->text(), QStringLiteral("&Chapter"));
    QCOMPARE(menus[3]->menu(), control<QMenu>(form, "optionMenu"));
    QCOMPARE(menus[4]->menu(), control<QMenu>(form, "viewMenu"));
    QCOMPARE(menus[5]->menu(), control<QMenu>(form, "helpMenu"));
    const struct {
        QAction* action;
        const char* caption;
        QKeySequence key;
    } items[] = {
        {control<QAction>(form, "openAction"), "Open", QKeySequence(Qt::Key_F2)},
        {control<QAction>(form, "quitAction"), "Quit", QKeySequence()},
        {control<QAction>(form, "startAction"), "Start", QKeySequence(Qt::Key_F11)},
        {control<QAction>(form, "stopAction"), "Stop", QKeySequence(Qt::Key_F12)},
        {control<QAction>(form, "pasteAction"), "Paste", QKeySequence(Qt::Key_F4)},
        {control<QAction>(form, "againAction"), "Again", QKeySequence(Qt::Key_F5)},
        {control<QAction>(form, "previousAction"), "Previous", QKeySequence(Qt::Key_F6)},
        {control<QAction>(form, "nextAction"), "Next", QKeySequence(Qt::Key_F7)},
        {control<QAction>(form, "nextChapterAction"), "Next Chapter", QKeySequence(Qt::CTRL | Qt::Key_F7)},
        {control<QAction>(form, "previousChapterAction"), "Previous Chapter", QKeySequence(Qt::CTRL | Qt::Key_F6)}};
    for (const auto& item : items) {
        QCOMPARE(item.action->text().remove(QLatin1Char('&')), QString::fromLatin1(item.caption));
        QCOMPARE(item.action->shortcut(), item.key);
        QVERIFY(item.action->isEnabled());
    }
    QCOMPARE(control<QMenu>(form, "fileMenu")->actions(),
             (QList<QAction*>{control<QAction>(form, "openAction"), control<QAction>(form, "exportAction"),
                              control<QMenu>(form, "recentMenu")->menuAction(), control<QAction>(form, "quitAction")}));
    QCOMPARE(control<QAction>(form, "exportAction")->text(), QString::fromUtf8("音声ファイルに書き出す(&E)…"));
    QList<QAction*> readItems = control<QMenu>(form, "readMenu")->actions();
    readItems.removeIf([](const QAction* a) { return a->isSeparator(); });
    QCOMPARE(readItems,
             (QList<QAction*>{control<QAction>(form, "startAction"), control<QAction>(form, "stopAction"),
                              control<QAction>(form, "pasteAction"), control<QAction>(form, "againAction"),
                              control<QAction>(form, "previousAction"), control<QAction>(form, "nextAction")}));
}

void WindowTest::interfaceLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("fileMenu");
    QTest::newRow("C: the English source captions") << QStringLiteral("C") << false << QStringLiteral("&File");
    QTest::newRow("English") << QStringLiteral("en_US") << false << QStringLiteral("&File");
    QTest::newRow("Japanese") << QStringLiteral("ja_JP") << true << QString::fromUtf8("ファイル(&F)");
}

// The catalogue of the locale's language, installed before the window is made, gives every
// caption, menu and tab; the window keeps its icon and About box in either language.
void WindowTest::interfaceLanguage()
{
    QFETCH(QString, locale);
    QFETCH(bool, japanese);
    QFETCH(QString, fileMenu);
    const std::unique_ptr<QTranslator> translator = interfaceTranslator(QLocale(locale));
    QCOMPARE(translator != nullptr, japanese);
    // Removed however the test ends, so that the next window is made in the source language.
    const std::unique_ptr<QTranslator, bool (*)(QTranslator*)> installed(
        translator && QCoreApplication::installTranslator(translator.get()) ? translator.get() : nullptr,
        QCoreApplication::removeTranslator);
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    QCOMPARE(control<QMenu>(form, "fileMenu")->title(), fileMenu);

    QStringList captions;
    for (const QAbstractButton* button : form.findChildren<QAbstractButton*>())
        if (!button->text().isEmpty())
            captions << button->text();
    for (const QLabel* label : form.findChildren<QLabel*>())
        if (label->objectName() != QStringLiteral("versionLabel") &&
            label->objectName() != QStringLiteral("speedValueLabel") &&
            label->objectName() != QStringLiteral("progressLabel") && !label->text().isEmpty())
            captions << label->text();
    for (int i = 0; i < control<QTabWidget>(form, "listTabs")->count(); ++i)
        captions << control<QTabWidget>(form, "listTabs")->tabText(i);
    // Every menu and every item of one is reached by its mnemonic, a letter after "&".
    QStringList noMnemonic;
    std::function<void(const QAction*)> walkMenu = [&](const QAction* item) {
        if (item->isSeparator())
            return;
        captions << item->text();
        if (!QRegularExpression(QStringLiteral("&[^&]"))
                 .match(QString(item->text()).remove(QStringLiteral("&&")))
                 .hasMatch())
            noMnemonic << item->text();
        if (item->menu() != nullptr)
            for (const QAction* inner : item->menu()->actions())
                walkMenu(inner);
    };
    for (const QAction* menu : form.menuBar()->actions())
        walkMenu(menu);
    QVERIFY2(noMnemonic.isEmpty(), qPrintable(noMnemonic.join(QStringLiteral(", "))));
    const auto isJapanese = [](const QString& text) {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; });
    };
    if (japanese) {
        for (const QString& caption : captions)
            QVERIFY2(isJapanese(caption), qPrintable(caption.isEmpty() ? QStringLiteral("<empty>") : caption));
    } else {
        QVERIFY(captions.contains(QStringLiteral("Start")));
        QVERIFY(captions.contains(QStringLiteral("etc")));
        QVERIFY(captions.contains(QStringLiteral("&About KVEN")));
    }
    QVERIFY(!form.windowIcon().pixmap(32, 32).isNull());

    control<QAction>(form, "aboutAction")->trigger();
    QCOMPARE(rig.dialogs.infos.size(), std::size_t{1});
    const QString about = QString::fromStdString(rig.dialogs.infos[0]);
    for (const char* named : {kVersionCaption, "CC BY 3.0", "naist-jdic", "CMU"})
        QVERIFY2(about.contains(QString::fromLatin1(named)), named);
    QCOMPARE(isJapanese(about), japanese);
}

// A screen reader finds a name for every control it can act on, and a description for each
// of the window's own.
namespace {

// The controls under `root` that a screen reader would announce without a name; `controls`
// counts every control walked.
QStringList namelessControls(QWidget* root, int& controls, const QStringList& described = {})
{
    const QAccessible::Role interactive[] = {
        QAccessible::PushButton,  QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::Slider,
        QAccessible::ScrollBar,   QAccessible::SpinBox,  QAccessible::ComboBox,    QAccessible::EditableText,
        QAccessible::List,        QAccessible::PageTab,  QAccessible::MenuItem,    QAccessible::ButtonMenu,
        QAccessible::ProgressBar, QAccessible::Tree,     QAccessible::Table,       QAccessible::ButtonDropDown};
    QStringList nameless;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (std::find(std::begin(interactive), std::end(interactive), node->role()) != std::end(interactive)) {
            ++controls;
            const QObject* object = node->object();
            const QString where = object
                                      ? object->metaObject()->className() + QStringLiteral(" ") + object->objectName()
                                      : QStringLiteral("role %1").arg(node->role());
            if (node->text(QAccessible::Name).trimmed().isEmpty())
                nameless << where;
            else if (object && described.contains(object->objectName()) &&
                     node->text(QAccessible::Description).isEmpty())
                nameless << where + QStringLiteral(" (no description)");
        }
        for (int i = 0; i < node->childCount(); ++i)
            if (QAccessibleInterface* child = node->child(i))
                walk(child);
    };
    walk(QAccessible::queryAccessibleInterface(root));
    return nameless;
}

} // namespace

// Every control of the window and of every dialog it opens has a name a screen reader says,
// and the window's own a description too.
void WindowTest::everyControlHasAnAccessibleName()
{
    QAccessible::setActive(true);
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    QStringList ownControls;
    for (const Placement& row : mainWindowLayout())
        ownControls << QString::fromLatin1(row.name);
    int controls = 0;
    QStringList nameless = namelessControls(&form, controls, ownControls);
    // The buttons, check boxes, sliders, editors, the list, the tabs and the menus at least.
    QVERIFY(controls >= 30);
    QCOMPARE(control<QLabel>(form, "speedLabel")->buddy(), control<QScrollBar>(form, "speedBar"));

    // Each dialog, walked once it is up, then closed.
    QtDialogs dialogs;
    dialogs.setParent(&form);
    int dialogControls = 0;
    const auto walkWhenUp = [&](const QString& close) {
        QTimer::singleShot(0, [&, close] {
            QWidget* dialog = nullptr;
            QTRY_VERIFY((dialog = QApplication::activeModalWidget()) != nullptr);
            for (const QString& name : namelessControls(dialog, dialogControls))
                nameless << dialog->metaObject()->className() + QStringLiteral(": ") + name;
            for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
                if (b->text().remove(QLatin1Char('&')) == close) {
                    b->click();
                    return;
                }
            static_cast<QDialog*>(dialog)->reject();
        });
    };
    const QString cancel = QString::fromUtf8("キャンセル");
    walkWhenUp(cancel);
    dialogs.confirm("設定を保存します");
    walkWhenUp(cancel);
    dialogs.inputText("SkipList", "追加する文字列を入力してください", 255);
    walkWhenUp(cancel);
    dialogs.chooseExport("/x/book.opus");
    walkWhenUp(QStringLiteral("OK"));
    dialogs.showError("ファイル /x は開けません.");
    walkWhenUp(QStringLiteral("OK"));
    dialogs.showExported("書き出しました", "/x");
    walkWhenUp(cancel);
    dialogs.askUnsavedEdits("読み替え辞書の変更を保存しますか？");
    walkWhenUp(cancel);
    dialogs.chooseFile(QDir::tempPath().toStdString());
    // The dictionary editor is a window of its own.
    control<QAction>(form, "editWordsAction")->trigger();
    auto* words = control(form, "WordsEditor");
    QTRY_VERIFY(words->isVisible());
    for (const QString& name : namelessControls(words, dialogControls))
        nameless << QStringLiteral("WordsEditor: ") + name;
    words->close();
    QVERIFY(dialogControls >= 20);
    QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
    QAccessible::setActive(false);
}

void WindowTest::tabOrder()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    // The text has the focus from the start.
    QTRY_COMPARE(QApplication::focusWidget(), editorOf(form));
    // Stop is disabled and the hidden pages' controls are skipped; the Talk page is shown.
    const char* expected[] = {"startButton", "openButton", "quitButton", "reloadButton",
                              "saveButton",  "voiceBox",   "listTabs",   "talkSymbolsEditor",
                              "pasteButton", "speedBar",   "editor"};
    for (const char* name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused != nullptr);
        // The tab bar and the combo box's field stand for their controls.
        while (focused != nullptr && (focused->objectName().isEmpty() || focused->objectName().startsWith("qt_")))
            focused = focused->parentWidget();
        QVERIFY(focused != nullptr);
        QCOMPARE(focused->objectName(), QString::fromLatin1(name));
    }
}

void WindowTest::functionKeysWorkFromTheEditor()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    form.session().setText(sj("本文です。\r\n次です。\r\n"));
    editorOf(form)->setFocus();

    QTest::keyClick(editorOf(form), Qt::Key_F11);
    QCOMPARE(rig.said(), (std::vector<std::string>{"本文です。"}));
    QVERIFY(!control<QPushButton>(form, "startButton")->isEnabled());
    // F11 still runs Start while the Start button is disabled.
    QTest::keyClick(editorOf(form), Qt::Key_F11);
    QCOMPARE(rig.engine.spoken.size(), std::size_t{2});

    QTest::keyClick(editorOf(form), Qt::Key_F12);
    QVERIFY(control<QPushButton>(form, "startButton")->isEnabled());
    QCOMPARE(count(rig.engine.calls, "Skip Sentence 2147483647"), 1);
    // F12 still runs Stop while the Stop button is disabled: the engine is asked to skip.
    QTest::keyClick(editorOf(form), Qt::Key_F12);
    QCOMPARE(count(rig.engine.calls, "Skip Sentence 2147483647"), 2);
    // The editor never saw the keys.
    QCOMPARE(form.session().text(), sj("本文です。\r\n次です。\r\n"));

    QTest::keyClick(editorOf(form), Qt::Key_F2);
    QCOMPARE(rig.dialogs.fileFolders.size(), std::size_t{1});

    // Alt+F4 is not Paste.
    QTest::keyClick(editorOf(form), Qt::Key_F4, Qt::AltModifier);
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN"));
    rig.clipboard.contents = "貼った";
    QTest::keyClick(editorOf(form), Qt::Key_F4);
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN (temporary)"));
    QCOMPARE(form.session().text(), sj("貼った\r\n\r\n読み上げ終了。"));

    // The voice box would open its list on F4; the window's shortcut comes first.
    rig.clipboard.contents = "別の文。\n次の文。";
    control<QComboBox>(form, "voiceBox")->lineEdit()->setFocus();
    QTest::keyClick(control<QComboBox>(form, "voiceBox")->lineEdit(), Qt::Key_F4);
    QCOMPARE(form.session().text(), sj("別の文。\r\n次の文。\r\n\r\n読み上げ終了。"));
    QVERIFY(!control<QComboBox>(form, "voiceBox")->view()->isVisible());

    // The menu still works when the enlarged editor covers the panel.
    form.showMaximized();
    QTRY_VERIFY(editorOf(form)->width() > 600);
    const std::size_t before = rig.engine.spoken.size();
    QTest::keyClick(editorOf(form), Qt::Key_F12);
    QTest::keyClick(editorOf(form), Qt::Key_F11);
    QCOMPARE(rig.engine.spoken.size(), before + 1);

    // Again (F5), previous (F6) and next (F7) from the editor, each keeping one chain.
    form.session().setText(sj("一\r\n二\r\n三\r\n"));
    rig.engine.spoken.clear();
    QTest::keyClick(editorOf(form), Qt::Key_F11);
    for (const Qt::Key key : {Qt::Key_F5, Qt::Key_F7, Qt::Key_F6}) {
        QTest::keyClick(editorOf(form), key);
        WindowRig::deliver();
    }
    for (int i = 0; i < 10 && !control<QPushButton>(form, "startButton")->isEnabled(); ++i)
        rig.finishUtterances();
    QCOMPARE(rig.said(), (std::vector<std::string>{"一", "一", "二", "一", "二", "三"}));
    QCOMPARE(form.session().text(), sj("一\r\n二\r\n三\r\n"));
}

void WindowTest::readingStartsByItselfAndWalksTheText()
{
    WindowRig rig;
    const std::string doc = rig.writeDocument("doc.txt", kDocument);
    MainWindow& form = rig.create({doc});
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN doc.txt"));
    QVERIFY(rig.engine.spoken.empty());
    showAndActivate(form);
    // Shown with a document: reading starts at once.
    QCOMPARE(rig.said(), (std::vector<std::string>{"一行目です。"}));
    QVERIFY(!control<QPushButton>(form, "startButton")->isEnabled());
    QVERIFY(control<QPushButton>(form, "stopButton")->isEnabled());
    // The chunk being read stays marked; the cursor is after it once the engine has it.
    QCOMPARE(form.session().selStart(), std::size_t{12});
    QCOMPARE(editorOf(form)->extraSelections().size(), 1);
    QCOMPARE(editorOf(form)->extraSelections()[0].cursor.selectedText(), QString::fromUtf8("一行目です。"));
    rig.finishUtterances();
    QCOMPARE(editorOf(form)->extraSelections()[0].cursor.selectedText(), QString::fromUtf8("二行目") + QChar(0x2029));

    for (int i = 0; i < 10 && !control<QPushButton>(form, "startButton")->isEnabled(); ++i)
        rig.finishUtterances();
    QCOMPARE(rig.said(), (std::vector<std::string>{"一行目です。", "二行目", "とうきょうへ", "読み上げ終了。"}));
    QVERIFY(control<QPushButton>(form, "startButton")->isEnabled());
    QVERIFY(editorOf(form)->extraSelections().isEmpty());
    QVERIFY(!control<QPushButton>(form, "stopButton")->isEnabled());
    QCOMPARE(form.session().selStart(), form.session().text().size());
    QCOMPARE(rig.waiter.waits, 4);

    // Stop takes the mark away at once.
    form.session().setSelStart(0);
    control<QPushButton>(form, "startButton")->click();
    QCOMPARE(editorOf(form)->extraSelections().size(), 1);
    control<QPushButton>(form, "stopButton")->click();
    QVERIFY(editorOf(form)->extraSelections().isEmpty());
}

void WindowTest::stopThenStartKeepsOneChain()
{
    WindowRig rig;
    const std::string doc = rig.writeDocument("doc.txt", "一。\r\n二。\r\n三。\r\n四。\r\n五。\r\n");
    MainWindow& form = rig.create({doc});
    showAndActivate(form);
    QCOMPARE(rig.engine.spoken.size(), std::size_t{1});

    // Stop ends the utterance; its end-of-stream event is still queued when Start runs.
    control<QPushButton>(form, "stopButton")->click();
    control<QPushButton>(form, "startButton")->click();
    QCOMPARE(rig.said(), (std::vector<std::string>{"一。", "二。"}));
    WindowRig::deliver();
    // The late event of the stopped utterance starts no second chain.
    QCOMPARE(rig.engine.spoken.size(), std::size_t{2});
    QCOMPARE(rig.engine.pendingUtterances(), 1);
    rig.finishUtterances();
    QCOMPARE(rig.said(), (std::vector<std::string>{"一。", "二。", "三。"}));
    QCOMPARE(rig.engine.pendingUtterances(), 1);

    // Stop alone: the late event runs a step that finds the window idle.
    control<QPushButton>(form, "stopButton")->click();
    WindowRig::deliver();
    QCOMPARE(rig.engine.spoken.size(), std::size_t{3});
    QVERIFY(control<QPushButton>(form, "startButton")->isEnabled());

    // A failed utterance: one error box, reading stops, and Start says that chunk again and
    // goes on from there.
    control<QPushButton>(form, "startButton")->click();
    rig.engine.failSpeaking("音声合成に失敗しました");
    WindowRig::deliver();
    QCOMPARE(rig.dialogs.errors, (std::vector<std::string>{"音声合成に失敗しました."}));
    QVERIFY(control<QPushButton>(form, "startButton")->isEnabled());
    QVERIFY(!control<QPushButton>(form, "stopButton")->isEnabled());
    control<QPushButton>(form, "startButton")->click();
    rig.finishUtterances();
    QCOMPARE(rig.said(), (std::vector<std::string>{"一。", "二。", "三。", "四。", "四。", "五。"}));

    // Keys typed faster than the pause before an utterance: each answers at once, the last
    // state wins, and one chain reads on.
    rig.waiter.onTimer = true;
    rig.finishUtterances();
    form.session().setSelStart(0);
    for (int i = 0; i < 200; ++i) {
        QTest::keyClick(editorOf(form), Qt::Key_F11);
        QTest::keyClick(editorOf(form), Qt::Key_F12);
    }
    QTest::keyClick(editorOf(form), Qt::Key_F11);
    QTest::keyClick(editorOf(form), Qt::Key_F7);
    QTest::keyClick(editorOf(form), Qt::Key_F7);
    QCOMPARE(rig.engine.spoken.size(), std::size_t{6}); // nothing said during the pauses
    QTRY_COMPARE(rig.engine.spoken.size(), std::size_t{7});
    QCOMPARE(rig.said().back(), std::string("三。"));
    rig.finishUtterances();
    QTRY_COMPARE(rig.engine.spoken.size(), std::size_t{8});
    QCOMPARE(rig.said().back(), std::string("四。"));
    QCOMPARE(rig.engine.pendingUtterances(), 1);
}

// The Chapter menu lists the chapters of the document loaded; a jump while reading goes on in
// one chain. The sleep timer lets the chunk being said end, and Start goes on after it.
void WindowTest::chaptersAndSleepTimer()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    const auto listed = [&] { return control<QMenu>(form, "chapterMenu")->findChildren<QAction*>("chapterAction"); };
    QVERIFY(listed().isEmpty());
    const std::string doc = rig.writeDocument("doc.txt", "前。\r\n一［＃「一」は大見出し］\r\n本文一。\r\n"
                                                         "二［＃「二」は大見出し］\r\n本文二。\r\n");
    form.openDropped(doc);
    QCOMPARE(listed().size(), 3);
    QCOMPARE(listed()[2]->text(), QString::fromUtf8("二"));
    const auto heading = [&](const char* utf8) { return form.session().text().find(sj(utf8)); };

    form.session().setSelStart(0);
    control<QAction>(form, "startAction")->trigger();
    QCOMPARE(rig.said().back(), std::string("前。"));
    const struct {
        std::function<void()> command;
        const char* said;    // the heading lines have nothing to say
        const char* chapter; // as the status line names it
    } moves[] = {{[&] { QTest::keyClick(editorOf(form), Qt::Key_F7, Qt::ControlModifier); }, "本文一", "一"},
                 {[&] { QTest::keyClick(editorOf(form), Qt::Key_F7, Qt::ControlModifier); }, "本文二", "二"},
                 {[&] { QTest::keyClick(editorOf(form), Qt::Key_F6, Qt::ControlModifier); }, "本文一", "一"},
                 {[&] { listed()[2]->trigger(); }, "本文二", "二"},
                 {[&] { listed()[0]->trigger(); }, "前。", "前。"}};
    for (const auto& move : moves) {
        const std::size_t before = rig.engine.spoken.size();
        move.command();
        WindowRig::deliver();
        QCOMPARE(rig.engine.spoken.size(), before + 1);
        QCOMPARE(form.session().chunkStart(), heading(move.said));
        QCOMPARE(rig.engine.pendingUtterances(), 1);
        QVERIFY2(control<QLabel>(form, "progressLabel")
                     ->text()
                     .contains(QString::fromUtf8("　") + QString::fromUtf8(move.chapter) + QString::fromUtf8("　残り")),
                 qPrintable(control<QLabel>(form, "progressLabel")->text()));
    }

    // At the end of this chapter: the chunk before the next chapter is the last one said.
    control<QAction>(form, "sleepChapterAction")->trigger();
    // The status line says what is set.
    auto* notice = control<QLabel>(form, "sleepLabel");
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("Stops at the end of the chapter"));
    for (int i = 0; i < 5 && form.session().reading(); ++i)
        rig.finishUtterances();
    QVERIFY(!form.session().reading());
    QCOMPARE(form.session().selStart(), heading("一［"));
    QVERIFY(control<QAction>(form, "sleepOffAction")->isChecked());
    QVERIFY(!notice->isVisible());

    // After some minutes: the utterance playing is not cut short.
    control<QAction>(form, "startAction")->trigger();
    control<QAction>(form, "sleep15Action")->trigger();
    QVERIFY(notice->isVisible());
    QVERIFY2(notice->text() == QStringLiteral("Stops in 15:00") || notice->text() == QStringLiteral("Stops in 14:59"),
             qPrintable(notice->text()));
    auto* timer = control<QTimer>(form, "sleepTimer");
    QCOMPARE(timer->interval(), 15 * 60 * 1000);
    timer->setInterval(0);
    QTRY_VERIFY(control<QAction>(form, "sleepOffAction")->isChecked());
    QVERIFY(form.session().reading());
    QCOMPARE(rig.engine.pendingUtterances(), 1);
    rig.finishUtterances();
    QVERIFY(!form.session().reading());
    QCOMPARE(form.session().selStart(), heading("二［"));
    control<QAction>(form, "startAction")->trigger();
    QCOMPARE(form.session().chunkStart(), heading("本文二"));
}

// The time left and the player's length go by the pace measured between ends of utterances
// that follow each other: a chapter jump while reading is no reading, and the pace learned
// before it holds after it. Each utterance here takes one second of the window's clock.
void WindowTest::timeLeftKeepsItsPaceAcrossJumps()
{
    // The notes are not read, so that every line says as much.
    WindowRig rig(settingsFile("[Voice]=0\r\n[Notes]=-1\r\n"));
    MainWindow& form = rig.create();
    showAndActivate(form);
    ReadingPace::Clock::time_point now{};
    form.setPaceClock([&now] { return now; });
    std::string doc = "前書きです。\r\n";
    const char* kana[] = {"あ", "い", "う", "え", "お", "か", "き", "く", "け", "こ", "さ", "し", "す", "せ", "そ",
                          "た", "ち", "つ", "て", "と", "な", "に", "ぬ", "ね", "の", "は", "ひ", "ふ", "へ", "ほ"};
    for (int chapter = 0; chapter < 3; ++chapter) {
        const std::string title = std::string("見出") + kana[chapter] + "です。";
        doc += title + "［＃「" + title + "」は大見出し］\r\n";
        for (int line = 0; line < 10; ++line)
            doc += std::string("本文") + kana[chapter * 10 + line] + "です。\r\n";
    }
    form.openDropped(rig.writeDocument("doc.txt", doc));
    // The weights of what is said are worked out between events.
    WindowRig::deliver();
    // The utterances after `from`: a heading's note repeats its line, and the end line is said.
    const auto lines = [&](std::size_t from) {
        const auto count = [&](const char* utf8) {
            int found = 0;
            const std::string& text = form.session().text();
            for (std::size_t at = text.find(sj(utf8), from); at != std::string::npos; at = text.find(sj(utf8), at + 1))
                ++found;
            return found;
        };
        return count("です。") - count("」は大見出し］") + 1;
    };
    const auto readFor = [&](int seconds) {
        for (int i = 0; i < seconds; ++i) {
            now += std::chrono::seconds(1);
            rig.finishUtterances();
        }
    };
    const ProgressLine& progress = form.progress();
    const double length = progress.secondsBetween(0, form.session().text().size());
    const auto check = [&](const char* where) {
        // The chunk being said is behind the cursor: the lines after it take a second each.
        const double left = progress.secondsBetween(form.session().selStart(), form.session().text().size());
        const double expected = lines(form.session().selStart());
        QVERIFY2(std::abs(left - expected) <= 0.1 * expected,
                 qPrintable(QStringLiteral("%1: %2 s left, %3 s in truth").arg(where).arg(left).arg(expected)));
    };

    form.session().setSelStart(0);
    control<QAction>(form, "startAction")->trigger();
    readFor(14);
    check("after 14 s");
    const double learned = progress.secondsBetween(0, form.session().text().size());
    QVERIFY(learned != length);
    const struct {
        const char* where;
        Qt::Key key;
    } jumps[] = {{"after the next chapter", Qt::Key_F7},
                 {"after one chapter back", Qt::Key_F6},
                 {"after two chapters back", Qt::Key_F6}};
    for (const auto& jump : jumps) {
        now += std::chrono::milliseconds(200);
        QTest::keyClick(editorOf(form), jump.key, Qt::ControlModifier);
        WindowRig::deliver();
        readFor(3);
        check(jump.where);
        const double player = progress.secondsBetween(0, form.session().text().size());
        QVERIFY2(std::abs(player - learned) <= 0.02 * learned,
                 qPrintable(QStringLiteral("%1: length %2 s, %3 s before").arg(jump.where).arg(player).arg(learned)));
    }
}

// The desktop's play/pause, next and previous run the window's own commands: calls that wait
// together come down to the last state asked for and to one move.
void WindowTest::mediaControlsRunTheWindowsCommands()
{
    WindowRig rig;
    const std::string doc = rig.writeDocument("doc.txt", "一。\r\n二。\r\n三。\r\n四。\r\n五。\r\n");
    MainWindow& form = rig.create({doc});
    showAndActivate(form);
    MediaControls media(form.session(), form.commands(), form.progress(), QDBusConnection(QStringLiteral("no bus")));
    QObject& player = busInterface(media, "org.mpris.MediaPlayer2.Player");
    const auto call = [&player](const char* member, int times = 1) {
        for (int i = 0; i < times; ++i)
            if (!QMetaObject::invokeMethod(&player, member))
                qFatal("no method %s", member);
        WindowRig::deliver();
    };
    const auto status = [&player] { return player.property("PlaybackStatus").toString(); };
    QVERIFY(form.session().reading());
    // A pause puts the cursor back at the start of the chunk it cut off, which play says again.
    call("PlayPause");
    QVERIFY(!form.session().reading());
    QCOMPARE(status(), QStringLiteral("Paused"));
    QCOMPARE(form.session().selStart(), std::size_t{0});
    call("PlayPause", 3);
    QVERIFY(form.session().reading());
    QCOMPARE(status(), QStringLiteral("Playing"));
    call("Next", 2);
    WindowRig::deliver();
    call("Previous");
    WindowRig::deliver();
    QCOMPARE(rig.said(), (std::vector<std::string>{"一。", "一。", "三。", "二。"}));
    QCOMPARE(rig.engine.pendingUtterances(), 1);
    call("Pause");
    QCOMPARE(status(), QStringLiteral("Paused"));
    call("Play");
    QCOMPARE(rig.said().back(), std::string("二。"));
    // Stop is the window's Stop: the cursor stays after the chunk, and a pause then changes
    // nothing.
    const std::size_t after = form.session().selStart();
    call("Stop");
    QCOMPARE(status(), QStringLiteral("Stopped"));
    call("Pause");
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(form.session().selStart(), after);

    // The player shows the document's title and author and its length, and where the cursor is.
    form.openDropped(rig.writeDocument("book.txt", "羅生門\r\n芥川龍之介\r\n\r\nある日の暮方の事である。\r\n"));
    const QVariantMap metadata = player.property("Metadata").toMap();
    QCOMPARE(metadata.value(QStringLiteral("xesam:title")).toString(), QString::fromUtf8("羅生門"));
    QCOMPARE(metadata.value(QStringLiteral("xesam:artist")).toStringList(),
             QStringList{QString::fromUtf8("芥川龍之介")});
    const qlonglong length = metadata.value(QStringLiteral("mpris:length")).toLongLong();
    QVERIFY(length > 0);
    form.session().setSelStart(form.session().text().size() / 2);
    QCOMPARE(player.property("Position").toLongLong(), length / 2);
    // So does the status line, with the time left at the same pace.
    const QString left = QString::fromStdString(clockText(static_cast<double>(length / 2) / 1e6));
    QCOMPARE(control<QLabel>(form, "progressLabel")->text(), QString::fromUtf8("50.0%　残り ") + left);
}

void WindowTest::startOnEmptyEditorReturnsToIdle()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    control<QPushButton>(form, "startButton")->click();
    QVERIFY(control<QPushButton>(form, "startButton")->isEnabled());
    QVERIFY(!control<QPushButton>(form, "stopButton")->isEnabled());
    QVERIFY(rig.engine.spoken.empty());
}

void WindowTest::pasteReadsTheClipboardAndLeavesTheDocument()
{
    WindowRig rig;
    const std::string doc = rig.writeDocument("doc.txt", kDocument);
    MainWindow& form = rig.create({doc});
    showAndActivate(form);
    rig.finishUtterances();
    const std::size_t cursor = form.session().selStart();

    rig.clipboard.contents = "貼り付けた文。\n次の行";
    control<QPushButton>(form, "pasteButton")->click();
    // The document's bookmark is written first; the pasted text is no document.
    QCOMPARE(rig.readFile("KVEN.txt"), doc + "," + std::to_string(cursor) + "\r\n");
    QVERIFY(form.session().document().path.empty());
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN (temporary)"));
    QCOMPARE(form.session().text(), sj("貼り付けた文。\r\n次の行\r\n\r\n読み上げ終了。"));
    QCOMPARE(rig.said().back(), std::string("貼り付けた文。"));
    QVERIFY(!control<QPushButton>(form, "startButton")->isEnabled());
    QCOMPARE(editorOf(form)->extraSelections().size(), 1);
}

void WindowTest::resizeToggle()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    QCOMPARE(form.firstResize(), 0);
    showAndActivate(form);
    // Showing was the first size notification: only the flag changed.
    QCOMPARE(form.firstResize(), 1);
    QCOMPARE(editorOf(form)->size(), QSize(430, 513));

    form.showMaximized();
    QTRY_VERIFY(form.isMaximized());
    QVERIFY(form.recordedMaximized());
    QTRY_COMPARE(editorOf(form)->size(), form.frameGeometry().size() - QSize(32, 54));
    QCOMPARE(editorOf(form)->font().pointSize(), 32);
    // A window system that reports the maximized size late: the editor follows it.
    form.windowHandle()->resize(form.size() + QSize(40, 30));
    QTRY_COMPARE(form.size(), form.windowHandle()->size());
    QVERIFY(form.isMaximized());
    QTRY_COMPARE(editorOf(form)->size(), form.frameGeometry().size() - QSize(32, 54));
    QCOMPARE(editorOf(form)->pos(), QPoint(8, 0));
    QCOMPARE(control<QPushButton>(form, "startButton")->geometry(), QRect(456, 32, 75, 25));

    // Minimizing and coming back leave the layout as it was.
    form.showMinimized();
    WindowRig::deliver();
    form.showMaximized();
    WindowRig::deliver();
    QVERIFY(form.recordedMaximized());
    QCOMPARE(editorOf(form)->font().pointSize(), 32);

    // Restoring, and maximizing again, show the place being read.
    std::string lines;
    for (int i = 0; i < 200; ++i)
        lines += "行" + std::to_string(i) + "。\r\n";
    form.session().setText(sj(lines.c_str()));
    form.session().setSelStart(form.session().text().size() - 4);
    editorOf(form)->verticalScrollBar()->setValue(0);
    const auto cursorShown = [&form] {
        return editorOf(form)->viewport()->rect().contains(editorOf(form)->cursorRect());
    };
    QVERIFY(!cursorShown());
    form.showNormal();
    QTRY_VERIFY(!form.isMaximized());
    QTRY_VERIFY(cursorShown());
    editorOf(form)->verticalScrollBar()->setValue(0);
    form.showMaximized();
    QTRY_VERIFY(form.isMaximized());
    QTRY_VERIFY(cursorShown());
    form.showNormal();
    QTRY_VERIFY(!form.isMaximized());
    QVERIFY(!form.recordedMaximized());
    QCOMPARE(editorOf(form)->size(), QSize(430, 513));
    QCOMPARE(editorOf(form)->font().pointSize(), 16);
    QTRY_COMPARE(form.centralWidget()->size(), QSize(632, 519));

    // The border is fixed: a size forced on the normal window goes back to the design's.
    form.resize(700, 600);
    QTRY_COMPARE(form.centralWidget()->size(), QSize(632, 519));
    QCOMPARE(editorOf(form)->size(), QSize(430, 513));
}

void WindowTest::addAndDel()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    QCOMPARE(form.session().skipList(), (std::vector<std::string>{sj("広告")}));

    // Cancel and an empty text add nothing; blanks and duplicates are taken as typed.
    rig.dialogs.inputAnswers = {std::nullopt, std::string(), std::string("  "), std::string("広告")};
    for (int i = 0; i < 4; ++i)
        control<QPushButton>(form, "addSkipButton")->click();
    QCOMPARE(rig.dialogs.inputLimits, (std::vector<int>{255, 255, 255, 255}));
    QCOMPARE(form.session().skipList(), (std::vector<std::string>{sj("広告"), "  ", sj("広告")}));
    QCOMPARE(control<QListWidget>(form, "skipListBox")->count(), 3);
    QCOMPARE(control<QListWidget>(form, "skipListBox")->item(1)->text(), QStringLiteral("  "));
    QCOMPARE(control<QListWidget>(form, "skipListBox")
                 ->visualItemRect(control<QListWidget>(form, "skipListBox")->item(2))
                 .height(),
             16);
    QCOMPARE(control<QListWidget>(form, "skipListBox")
                 ->visualItemRect(control<QListWidget>(form, "skipListBox")->item(2))
                 .top(),
             32);

    // Del without a selection changes nothing; with one, removes exactly that entry.
    control<QListWidget>(form, "skipListBox")->clearSelection();
    control<QListWidget>(form, "skipListBox")->setCurrentRow(-1);
    control<QPushButton>(form, "deleteSkipButton")->click();
    QCOMPARE(form.session().skipList().size(), std::size_t{3});
    control<QListWidget>(form, "skipListBox")->setCurrentRow(1);
    control<QPushButton>(form, "deleteSkipButton")->click();
    QCOMPARE(form.session().skipList(), (std::vector<std::string>{sj("広告"), sj("広告")}));
    QCOMPARE(control<QListWidget>(form, "skipListBox")->count(), 2);

    // Neither writes the settings file.
    QCOMPARE(rig.readFile("KVEN.ini"), settingsFile());
}

void WindowTest::listEditsReachTheNextStep()
{
    // Each edit is made while an utterance plays and must reach the step that follows it.
    // The unread limit of the rig's settings drops "★三" until ★ is a talk symbol.
    WindowRig rig;
    const std::string doc = rig.writeDocument("doc.txt", "一。\r\n広告です\r\n★三\r\n");
    MainWindow& form = rig.create({doc});
    showAndActivate(form);
    QCOMPARE(rig.said(), (std::vector<std::string>{"一。"}));

    control<QListWidget>(form, "skipListBox")->setCurrentRow(0);
    control<QPushButton>(form, "deleteSkipButton")->click();
    rig.finishUtterances();
    QCOMPARE(rig.said().back(), std::string("広告です"));

    control<QPlainTextEdit>(form, "talkSymbolsEditor")->setFocus();
    control<QPlainTextEdit>(form, "talkSymbolsEditor")->moveCursor(QTextCursor::End);
    commitText(control<QPlainTextEdit>(form, "talkSymbolsEditor"), QString::fromUtf8("★"));
    rig.finishUtterances();
    QCOMPARE(rig.said().back(), std::string("★三"));

    rig.dialogs.inputAnswers = {std::string("終了")};
    control<QPushButton>(form, "addSkipButton")->click();
    rig.finishUtterances();
    // The end line is skipped.
    QCOMPARE(rig.said().size(), std::size_t{3});
    QVERIFY(control<QPushButton>(form, "startButton")->isEnabled());
}

void WindowTest::reloadAndSaveRoundTrip()
{
    WindowRig rig(settingsFile("[Voice]=1\r\n[Speed]=3\r\n"));
    MainWindow& form = rig.create();
    showAndActivate(form);
    QCOMPARE(control<QScrollBar>(form, "speedBar")->value(), 3);
    QCOMPARE(control<QComboBox>(form, "voiceBox")->currentIndex(), 1);

    control<QCheckBox>(form, "aaSkipBox")->setChecked(false);
    control<QScrollBar>(form, "unreadLimitBar")->setValue(7);
    control<QScrollBar>(form, "speedBar")->setValue(-4);
    rig.dialogs.inputAnswers = {std::string("宣伝")};
    control<QPushButton>(form, "addSkipButton")->click();

    // Save asks first; "キャンセル" writes nothing.
    rig.dialogs.confirmAnswers = {false};
    control<QPushButton>(form, "saveButton")->click();
    QCOMPARE(rig.readFile("KVEN.ini"), settingsFile("[Voice]=1\r\n[Speed]=3\r\n"));
    rig.dialogs.confirmAnswers = {true};
    control<QPushButton>(form, "saveButton")->click();
    const std::string saved = rig.readFile("KVEN.ini");
    for (const char* line : {"[Voice]=1\r\n", "[AA]=0\r\n", "[Silent]=7\r\n", "[Speed]=-4\r\n", "広告\r\n宣伝\r\n"})
        QVERIFY2(saved.find(line) != std::string::npos, line);

    // Change everything again, then Reload brings back what was saved.
    control<QCheckBox>(form, "aaSkipBox")->setChecked(true);
    control<QScrollBar>(form, "unreadLimitBar")->setValue(0);
    control<QListWidget>(form, "skipListBox")->setCurrentRow(0);
    control<QPushButton>(form, "deleteSkipButton")->click();
    rig.engine.calls.clear();
    rig.dialogs.confirmAnswers = {true};
    control<QPushButton>(form, "reloadButton")->click();
    QVERIFY(!control<QCheckBox>(form, "aaSkipBox")->isChecked());
    QCOMPARE(control<QScrollBar>(form, "unreadLimitBar")->value(), 7);
    QCOMPARE(form.session().skipList(), (std::vector<std::string>{sj("広告"), sj("宣伝")}));
    // The window position is stored too.
    QVERIFY(saved.find("[X]=" + std::to_string(form.x()) + "\r\n") != std::string::npos);
    // The slider already shows the stored speed: no rate call; the voice is only shown.
    QCOMPARE(count(rig.engine.calls, "Rate"), 0);
    QCOMPARE(count(rig.engine.calls, "Voice"), 0);
    QCOMPARE(rig.dialogs.confirmTexts.size(), std::size_t{3});
}

// The listening options are checkable items of the Option menu, off in a settings file
// without their keys; the reading step uses them, and Save and Reload keep them.
void WindowTest::optionMenu()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    QCOMPARE(control<QMenu>(form, "optionMenu")->title(), QStringLiteral("&Option"));
    QCOMPARE(control<QMenu>(form, "optionMenu")->actions(),
             (QList<QAction*>{control<QAction>(form, "notesAction"), control<QAction>(form, "wordsAction"),
                              control<QAction>(form, "marksAction"), control<QAction>(form, "numbersAction"),
                              control<QAction>(form, "englishAction"), control<QAction>(form, "readingsAction"),
                              control<QAction>(form, "bookReadingsAction"), control<QAction>(form, "blocksAction"),
                              control<QAction>(form, "editWordsAction")}));
    const struct {
        QAction* action;
        const char* caption;
        bool checkable;
    } items[] = {{control<QAction>(form, "notesAction"), "注記を読まない(&N)", true},
                 {control<QAction>(form, "wordsAction"), "読み替え辞書(&W)", true},
                 {control<QAction>(form, "marksAction"), "記号だけの部分を飛ばす(&M)", true},
                 {control<QAction>(form, "numbersAction"), "数字を日本語で読む(&U)", true},
                 {control<QAction>(form, "englishAction"), "英単語を読む(&E)", true},
                 {control<QAction>(form, "readingsAction"), "読み誤りを正す(&R)", true},
                 {control<QAction>(form, "bookReadingsAction"), "ルビの読みを他の箇所にも使う(&B)", true},
                 {control<QAction>(form, "blocksAction"), "段落ごとに区切る(&P)", true},
                 {control<QAction>(form, "editWordsAction"), "読み替え辞書を編集(&D)…", false}};
    for (const auto& item : items) {
        QCOMPARE(item.action->text(), QString::fromUtf8(item.caption));
        QCOMPARE(item.action->isCheckable(), item.checkable);
        QVERIFY(!item.action->isChecked());
        QVERIFY(item.action->isEnabled());
    }

    form.session().setText(sj("め［＃「め」に傍点］だ\r\n"));
    control<QAction>(form, "notesAction")->trigger();
    control<QPushButton>(form, "startButton")->click();
    QCOMPARE(rig.said(), (std::vector<std::string>{"めだ"}));

    control<QAction>(form, "wordsAction")->trigger();
    control<QAction>(form, "marksAction")->trigger();
    control<QAction>(form, "numbersAction")->trigger();
    control<QAction>(form, "englishAction")->trigger();
    control<QAction>(form, "readingsAction")->trigger();
    control<QAction>(form, "bookReadingsAction")->trigger();
    control<QAction>(form, "blocksAction")->trigger();
    rig.dialogs.confirmAnswers = {true};
    control<QPushButton>(form, "saveButton")->click();
    QVERIFY(rig.readFile("KVEN.ini")
                .find("[Head]=-1\r\n[Notes]=-1\r\n[Words]=-1\r\n[Marks]=-1\r\n[Numbers]=-1\r\n[English]=-1\r\n"
                      "[Readings]=-1\r\n[BookReadings]=-1\r\n[Blocks]=-1\r\n[Talk]=0\r\n") != std::string::npos);
    const char* const options[] = {"notesAction",   "wordsAction",    "marksAction",        "numbersAction",
                                   "englishAction", "readingsAction", "bookReadingsAction", "blocksAction"};
    for (const char* name : options)
        control<QAction>(form, name)->trigger();
    const ReadingOptions& off = form.session().options();
    QVERIFY(!off.silentNotes && !off.wordReadings && !off.passOverMarks && !off.readNumbers && !off.readEnglish &&
            !off.correctReadings && !off.bookReadings && !off.blockLines);
    rig.dialogs.confirmAnswers = {true};
    control<QPushButton>(form, "reloadButton")->click();
    for (const char* name : options)
        QVERIFY(control<QAction>(form, name)->isChecked());
}

// The export asks for the file, runs under a progress dialog while the window reads aloud,
// tells when it is done, and leaves nothing behind when cancelled.
void WindowTest::exportRunsInTheBackground()
{
    OpenJTalkSetup setup;
    setup.voiceFolders = {std::string(KVEN_SOURCE_DIR) + "/voices"};
    if (::access(setup.executable.c_str(), X_OK) != 0 ||
        ::access((setup.voiceFolders.front() + "/mei/mei_normal.htsvoice").c_str(), R_OK) != 0) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("CI needs the synthesizer and the voices");
        QSKIP("no synthesizer or no voices (scripts/test installs both)");
    }
    WindowRig rig;
    const std::string book = rig.writeDocument(
        "book.txt",
        "題名\r\n作者\r\n\r\n一［＃「一」は中見出し］\r\n猫です。\r\n二［＃「二」は中見出し］\r\n犬です。\r\n");
    MainWindow& form = rig.create({book});
    form.setExportSetup(setup);
    showAndActivate(form);
    control<QPushButton>(form, "stopButton")->click();

    rig.dialogs.exportAnswers.push_back(ExportChoice{rig.path("out/book.mp3"), true});
    std::filesystem::create_directory(rig.path("out"));
    control<QAction>(form, "exportAction")->trigger();
    QCOMPARE(rig.dialogs.exportSuggestions, (std::vector<std::string>{rig.path("book.opus")}));
    QVERIFY(form.runningExport() != nullptr);
    auto* progress = form.findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
    QVERIFY(progress != nullptr && progress->isVisible() && !progress->isModal());
    // Reading aloud goes on meanwhile.
    control<QPushButton>(form, "startButton")->click();
    QVERIFY(form.session().reading());
    rig.finishUtterances();
    QVERIFY(rig.said().size() >= 2);
    QTRY_VERIFY_WITH_TIMEOUT(form.runningExport() == nullptr, 60000);
    QCOMPARE(rig.dialogs.infos, (std::vector<std::string>{"音声ファイルを書き出しました: " + rig.path("out/book")}));
    QCOMPARE(rig.dialogs.exportFolders, (std::vector<std::string>{rig.path("out/book")}));
    QVERIFY(rig.dialogs.errors.empty());
    for (const char* file : {"01 題名.mp3", "02 一.mp3", "03 二.mp3", "book.m3u8"})
        QVERIFY2(std::filesystem::exists(rig.path(std::string("out/book/") + file)), file);
    // Again: every chapter file is kept, and the message says so.
    rig.dialogs.exportAnswers.push_back(ExportChoice{rig.path("out/book.mp3"), true});
    control<QAction>(form, "exportAction")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(form.runningExport() == nullptr, 60000);
    QCOMPARE(QString::fromStdString(rig.dialogs.infos.back()),
             QString::fromStdString("音声ファイルを書き出しました: " + rig.path("out/book") +
                                    "\n前回までの書き出しから 3 章のファイルを引き継ぎました"));

    // A long document, cancelled: no file, no folder, no temporary file.
    std::string lines;
    for (int i = 0; i < 300; ++i)
        lines += "吾輩は猫である。名前はまだ無い。\r\n";
    form.openDropped(rig.writeDocument("long.txt", lines));
    rig.dialogs.exportAnswers.push_back(ExportChoice{rig.path("long.opus"), false});
    const auto before = std::distance(std::filesystem::directory_iterator(rig.path("")), {});
    control<QAction>(form, "exportAction")->trigger();
    progress = form.findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() > 0, 60000);
    QVERIFY(progress->labelText().contains(QString::fromUtf8("残り")));
    // One figure for the bar and the label, and the whole title.
    QVERIFY(progress->labelText().startsWith(progress->findChild<QProgressBar*>()->text() + QString::fromUtf8("　")));
    QVERIFY(!progress->findChild<QProgressBar*>()->accessibleName().isEmpty());
    QVERIFY(progress->width() > progress->fontMetrics().horizontalAdvance(progress->windowTitle()) * 2);
    progress->findChild<QPushButton*>()->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.runningExport() == nullptr, 10000);
    QCOMPARE(std::distance(std::filesystem::directory_iterator(rig.path("")), {}), before);
    QCOMPARE(rig.dialogs.infos.size(), std::size_t{2});
    QVERIFY(rig.dialogs.errors.empty());

    // A name without a known extension is refused before anything starts.
    rig.dialogs.exportAnswers.push_back(ExportChoice{rig.path("long.m4a"), false});
    control<QAction>(form, "exportAction")->trigger();
    QVERIFY(form.runningExport() == nullptr);
    QCOMPARE(rig.dialogs.errors.size(), std::size_t{1});
}

// The dictionary editor shows KVEN.dic, saves it while reading goes on, and the next chunk is
// read with what it saved; a broken line is reported with its number.
void WindowTest::wordsEditorSavesTheDictionary()
{
    WindowRig rig(settingsFile("[Voice]=0\r\n[Words]=-1\r\n"));
    const auto writeUtf8 = [&](const char* utf8) {
        QFile file(QString::fromStdString(rig.path("KVEN.dic")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(utf8);
    };
    const auto readUtf8 = [&] {
        QFile file(QString::fromStdString(rig.path("KVEN.dic")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    writeUtf8("MeCab=メカブ\n");
    MainWindow& form = rig.create();
    showAndActivate(form);
    form.session().setText(sj("MeCabとLinux\r\nMeCabとLinux。\r\n"));
    control<QPushButton>(form, "startButton")->click();
    QCOMPARE(rig.said(), (std::vector<std::string>{"メカブとＬｉｎｕｘ"}));

    control<QAction>(form, "editWordsAction")->trigger();
    auto* editor = form.findChild<QDialog*>(QStringLiteral("WordsEditor"));
    QVERIFY(editor != nullptr);
    QVERIFY(editor->isVisible());
    QVERIFY(!editor->isModal());
    auto* text = editor->findChild<QPlainTextEdit*>(QStringLiteral("WordsText"));
    QCOMPARE(text->toPlainText(), QString::fromUtf8("MeCab=メカブ\n"));
    text->setPlainText(QString::fromUtf8("MeCab=メカブ\nLinux=リナックス\n壊れた行"));
    editor->findChild<QPushButton*>(QStringLiteral("WordsSave"))->click();
    QCOMPARE(readUtf8(), QString::fromUtf8("MeCab=メカブ\nLinux=リナックス\n壊れた行\n"));
    QCOMPARE(rig.dialogs.errors.size(), std::size_t{1});
    QVERIFY(rig.dialogs.errors[0].find("KVEN.dic の 3 行目") != std::string::npos);

    rig.finishUtterances();
    QCOMPARE(rig.said(), (std::vector<std::string>{"メカブとＬｉｎｕｘ", "メカブとリナックス。"}));

    // Reload reads the dictionary again, as it reads the other lists.
    writeUtf8("Linux=リヌクス\n");
    rig.dialogs.answer = true;
    control<QPushButton>(form, "reloadButton")->click();
    control<QPushButton>(form, "stopButton")->click();
    form.session().setText(sj("Linux\r\n"));
    control<QPushButton>(form, "startButton")->click();
    QCOMPARE(rig.said().back(), std::string("リヌクス"));

    // With the dictionary off, its broken lines are nobody's concern.
    WindowRig off(settingsFile("[Voice]=0\r\n[Words]=0\r\n"));
    off.writeDocument("KVEN.dic", "壊れた行\n");
    off.create();
    QVERIFY(off.dialogs.errors.empty());

    // A large dictionary arrives from the background, its thousands of broken lines in one
    // short message; the document named at the start waits for it to be read.
    WindowRig large(settingsFile("[Voice]=0\r\n[Words]=-1\r\n"));
    std::string lines = "Linux=リナックス\n";
    while (lines.size() <= (std::size_t{1} << 20))
        lines += "壊れた行\n";
    {
        QFile file(QString::fromStdString(large.path("KVEN.dic")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines.data(), static_cast<qint64>(lines.size()));
    }
    MainWindow& largeForm = large.create({large.writeDocument("linux.txt", "Linux\r\n")});
    showAndActivate(largeForm);
    QTRY_COMPARE(large.dialogs.errors.size(), std::size_t{1});
    QVERIFY(large.dialogs.errors[0].starts_with("ファイル " + large.path("KVEN.dic") + " の 2 行目"));
    QCOMPARE(std::count(large.dialogs.errors[0].begin(), large.dialogs.errors[0].end(), '\n'), 10);
    QTRY_VERIFY(!large.said().empty());
    QCOMPARE(large.said().front(), std::string("リナックス"));
}

// Closing the dictionary editor with edits not yet saved asks first, however it is closed:
// keep editing leaves it open with them, discard drops them, save writes them. Unchanged, it
// closes without a question.
void WindowTest::wordsEditorAsksBeforeDroppingEdits()
{
    using Unsaved = WindowDialogs::UnsavedEdits;
    WindowRig rig(settingsFile("[Voice]=0\r\n[Words]=-1\r\n"));
    // Plain ASCII: the document writer would convert it to Shift_JIS.
    rig.writeDocument("KVEN.dic", "Linux=linux\n");
    MainWindow& form = rig.create();
    showAndActivate(form);
    const auto edit = [&form] {
        control<QAction>(form, "editWordsAction")->trigger();
        auto* text = form.findChild<QPlainTextEdit*>(QStringLiteral("WordsText"));
        text->moveCursor(QTextCursor::Start);
        QTest::keyClicks(text, QStringLiteral("#"));
        return text;
    };
    auto* const text = edit();
    auto* const editor = form.findChild<QDialog*>(QStringLiteral("WordsEditor"));
    rig.dialogs.unsavedAnswers = {Unsaved::keepEditing};
    editor->findChild<QPushButton*>(QStringLiteral("WordsClose"))->click();
    QVERIFY(editor->isVisible());
    control<QAction>(form, "editWordsAction")->trigger();
    QCOMPARE(text->toPlainText(), QStringLiteral("#Linux=linux\n"));

    rig.dialogs.unsavedAnswers = {Unsaved::discard};
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!editor->isVisible());
    QCOMPARE(rig.readFile("KVEN.dic"), std::string("Linux=linux\n"));

    edit();
    rig.dialogs.unsavedAnswers = {Unsaved::save};
    editor->close();
    QVERIFY(!editor->isVisible());
    QCOMPARE(rig.readFile("KVEN.dic"), std::string("#Linux=linux\n"));
    QCOMPARE(rig.dialogs.unsavedQuestions.size(), std::size_t{3});

    control<QAction>(form, "editWordsAction")->trigger();
    editor->close();
    QVERIFY(!editor->isVisible());
    QCOMPARE(rig.dialogs.unsavedQuestions.size(), std::size_t{3});
}

void WindowTest::storedPositionPlacesTheWindow()
{
    WindowRig rig;
    const std::string placed = "[Voice]=0\r\n[Aozora]=-1\r\n[AA]=-1\r\n[Repeat]=-1\r\n[Silent]=4\r\n[Space]=9\r\n"
                               "[X]=120\r\n[Y]=80\r\n[Head]=-1\r\n[Talk]=0\r\n、。\r\n[Skip]=0\r\n";
    rig.writeDocument("KVEN.ini", placed);
    MainWindow& form = rig.create();
    QCOMPARE(form.pos(), QPoint(120, 80));
    QCOMPARE(form.session().windowLeft(), 120);
    QCOMPARE(form.session().windowTop(), 80);

    // A position that leaves less than 100 by 50 pixels on the screen gives way to its middle;
    // one that leaves that much is kept.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        QPoint stored;
        bool kept;
    } rows[] = {{{5000, 80}, false},
                {{120, 5000}, false},
                {{screen.right() - 98, 80}, false},
                {{screen.right() - 99, 80}, true},
                {{120, screen.bottom() - 48}, false},
                {{120, screen.bottom() - 49}, true}};
    for (const auto& row : rows) {
        WindowRig moved(settingsFile("[X]=" + std::to_string(row.stored.x()) +
                                     "\r\n[Y]=" + std::to_string(row.stored.y()) + "\r\n"));
        MainWindow& other = moved.create();
        const QPoint middle = screen.center() - QPoint(other.width() / 2, other.height() / 2);
        QCOMPARE(other.pos(), row.kept ? row.stored : middle);
    }
}

void WindowTest::openWritesThePreviousBookmark()
{
    WindowRig rig;
    const std::string first = rig.writeDocument("first.txt", kDocument);
    const std::string second = rig.writeDocument("second.txt", "二つ目の文書。\r\n");
    MainWindow& form = rig.create({first});
    showAndActivate(form);
    rig.finishUtterances();
    const std::size_t cursor = form.session().selStart();

    // Cancelling the dialog keeps everything.
    control<QPushButton>(form, "openButton")->click();
    QCOMPARE(rig.readFile("KVEN.txt"), std::string());
    QCOMPARE(rig.dialogs.fileFolders.back(), rig.home.path().toStdString());

    rig.dialogs.fileAnswers = {second};
    control<QAction>(form, "openAction")->trigger();
    QCOMPARE(rig.readFile("KVEN.txt"), first + "," + std::to_string(cursor) + "\r\n");
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN second.txt"));
    QCOMPARE(form.session().document().file, second);
    QCOMPARE(form.session().text(), sj("二つ目の文書。\r\n\r\n読み上げ終了。"));
    // A reading in progress goes on in the new text.
    QVERIFY(!control<QPushButton>(form, "startButton")->isEnabled());

    // File > Recent documents: the documents left, newest first, with the share read; choosing
    // one opens it at its bookmark.
    auto* recent = control<QMenu>(form, "recentMenu");
    QMetaObject::invokeMethod(recent, "aboutToShow");
    QCOMPARE(recent->actions().size(), 1);
    const std::size_t firstLength = sj(kDocument).size() + sj("\r\n読み上げ終了。").size();
    QCOMPARE(recent->actions().front()->text(),
             QStringLiteral("first.txt　%1%")
                 .arg(std::lround(100.0 * static_cast<double>(cursor) / static_cast<double>(firstLength))));
    recent->actions().front()->trigger();
    QCOMPARE(form.session().document().file, first);
    QCOMPARE(form.session().selStart(), cursor);

    // A text whose encoding changes partway is read, and the status line says what is wrong: its
    // last "す", in UTF-8, ends in a Shift_JIS lead byte that the line feed cannot follow.
    QFile mixed(QString::fromStdString(rig.path("mixed.txt")));
    QVERIFY(mixed.open(QIODevice::WriteOnly));
    mixed.write(QByteArray::fromStdString(sj("二つ目の\n") + "文書です\n"));
    mixed.close();
    rig.dialogs.fileAnswers = {rig.path("mixed.txt")};
    control<QAction>(form, "openAction")->trigger();
    QVERIFY(form.statusBar()->currentMessage().startsWith(
        QString::fromUtf8("この文書の一部が Shift_JIS として読めません")));
    rig.dialogs.fileAnswers = {second};
    control<QAction>(form, "openAction")->trigger();
    QCOMPARE(form.statusBar()->currentMessage(), QString());
}

void WindowTest::droppedFileLoadsAsOpen()
{
    WindowRig rig;
    const std::string first = rig.writeDocument("first.txt", kDocument);
    const std::string dropped = rig.writeDocument("dropped.txt", "落とした文書。\r\n");
    MainWindow& form = rig.create({first});
    showAndActivate(form);
    control<QPushButton>(form, "stopButton")->click();
    const std::size_t cursor = form.session().selStart();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped))});
    QWidget* target = editorOf(form)->viewport();
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);

    QCOMPARE(rig.readFile("KVEN.txt"), first + "," + std::to_string(cursor) + "\r\n");
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN dropped.txt"));
    // The file was opened, not its name inserted into the text.
    QCOMPARE(form.session().text(), sj("落とした文書。\r\n\r\n読み上げ終了。"));
    QVERIFY(rig.dialogs.fileFolders.empty());
}

void WindowTest::closeWritesTheBookmark()
{
    WindowRig rig;
    const std::string doc = rig.writeDocument("doc.txt", kDocument);
    MainWindow& form = rig.create({doc});
    showAndActivate(form);
    rig.finishUtterances();
    const std::size_t cursor = form.session().selStart();
    const int skipsBefore = count(rig.engine.calls, "Skip");

    // Quit while reading: the cursor as the reading step left it; no stop sent first.
    control<QPushButton>(form, "quitButton")->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(rig.readFile("KVEN.txt"), doc + "," + std::to_string(cursor) + "\r\n");
    QCOMPARE(count(rig.engine.calls, "Skip"), skipsBefore);
    QVERIFY(rig.dialogs.errors.empty());
}

void WindowTest::failedBookmarkWriteKeepsTheWindowOpen()
{
    WindowRig rig;
    const std::string doc = rig.writeDocument("doc.txt", kDocument);
    MainWindow& form = rig.create({doc});
    showAndActivate(form);
    control<QPushButton>(form, "stopButton")->click();

    // A folder where the bookmark file should be: it cannot be read, so nothing is written.
    QVERIFY(QFile::remove(QString::fromStdString(rig.path("KVEN.txt"))));
    QVERIFY(QDir().mkdir(QString::fromStdString(rig.path("KVEN.txt"))));
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QCOMPARE(rig.dialogs.errors, (std::vector<std::string>{"ファイル " + rig.path("KVEN.txt") + " は開けません."}));

    // The window is still usable; a second Quit tries again.
    QVERIFY(QDir().rmdir(QString::fromStdString(rig.path("KVEN.txt"))));
    control<QAction>(form, "quitAction")->trigger();
    QVERIFY(!form.isVisible());
    QCOMPARE(rig.readFile("KVEN.txt"), doc + "," + std::to_string(form.session().selStart()) + "\r\n");
}

void WindowTest::voiceListAndSpeed()
{
    {
        // A stored voice past the end selects the last; a stored speed is clamped.
        WindowRig rig(settingsFile("[Voice]=7\r\n[Speed]=15\r\n"));
        MainWindow& form = rig.create();
        QCOMPARE(control<QComboBox>(form, "voiceBox")->count(), 3);
        QCOMPARE(control<QComboBox>(form, "voiceBox")->itemText(0), QStringLiteral("Alpha"));
        QCOMPARE(control<QComboBox>(form, "voiceBox")->currentIndex(), 2);
        QCOMPARE(control<QScrollBar>(form, "speedBar")->value(), 10);
        QCOMPARE(control<QLabel>(form, "speedValueLabel")->text(), QStringLiteral("10"));
        QCOMPARE(rig.engine.calls, (std::vector<std::string>{"connect", "Rate 10", "EventInterests 33790",
                                                             "installedVoices", "Voice 2"}));
        // The keys go the way the mouse does: Right and Up raise, Left and Down lower.
        showAndActivate(form);
        auto* speed = control<QScrollBar>(form, "speedBar");
        const std::pair<Qt::Key, int> keys[] = {
            {Qt::Key_Left, 9}, {Qt::Key_Down, 8}, {Qt::Key_Right, 9}, {Qt::Key_Up, 10}, {Qt::Key_Up, 10}};
        for (const auto& [key, value] : keys) {
            QTest::keyClick(speed, key);
            QCOMPARE(form.session().speed(), value);
        }
    }
    {
        // No voice and no speed line: the first voice, and no rate call at all.
        WindowRig rig(settingsFile(""));
        MainWindow& form = rig.create();
        QCOMPARE(control<QComboBox>(form, "voiceBox")->currentIndex(), 0);
        QCOMPARE(rig.engine.calls,
                 (std::vector<std::string>{"connect", "EventInterests 33790", "installedVoices", "Voice 0"}));

        // Setting the position from code calls the handler only on a real change.
        rig.engine.calls.clear();
        form.session().setSpeed(0);
        QVERIFY(rig.engine.calls.empty());
        form.session().setSpeed(-12);
        QCOMPARE(rig.engine.calls, (std::vector<std::string>{"Rate -10"}));
        // Setting the index from code runs no handler.
        form.session().setVoiceIndex(1);
        QCOMPARE(rig.engine.calls.size(), std::size_t{1});
        form.session().setVoiceIndex(99);
        QCOMPARE(control<QComboBox>(form, "voiceBox")->currentIndex(), -1);

        // The user's changes while reading reach the engine; the reading goes on unchanged.
        showAndActivate(form);
        form.session().setText(sj("一。\r\n二。\r\n"));
        control<QPushButton>(form, "startButton")->click();
        const std::size_t cursor = form.session().selStart();
        rig.engine.calls.clear();
        // An arrow of the slider, then an entry picked from the list.
        control<QScrollBar>(form, "speedBar")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        control<QComboBox>(form, "voiceBox")->setCurrentIndex(2);
        emit control<QComboBox>(form, "voiceBox")->activated(2);
        QCOMPARE(rig.engine.calls, (std::vector<std::string>{"Rate -9", "Voice 2"}));
        QCOMPARE(control<QLabel>(form, "speedValueLabel")->text(), QStringLiteral("-9"));
        QCOMPARE(form.session().selStart(), cursor);
        QVERIFY(!control<QPushButton>(form, "startButton")->isEnabled());
    }
}

void WindowTest::voiceTypingAndErasing()
{
    WindowRig rig;
    rig.engine.setVoices({u"Alpha", u"alto", u"Beta"});
    MainWindow& form = rig.create();
    showAndActivate(form);
    QLineEdit* field = control<QComboBox>(form, "voiceBox")->lineEdit();
    field->setFocus();
    const struct {
        const char* typed;
        int index;
        const char* shown;
        const char* selected; // the completed rest, selected so that typing goes on over it
        const char* voice;    // the engine's call, if any
    } rows[] = {
        {"", -1, "", "", nullptr},            // erased: no voice, and the engine keeps its own
        {"al", 0, "Alpha", "pha", "Voice 0"}, // the first entry that begins with the text
        {"ALT", 1, "alto", "o", "Voice 1"},   // letter case does not matter
        {"b", 2, "Beta", "eta", "Voice 2"},
        {"x", -1, "x", "", nullptr}, // begins no entry
    };
    for (const auto& row : rows) {
        rig.engine.calls.clear();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, QString::fromLatin1(row.typed));
        QCOMPARE(control<QComboBox>(form, "voiceBox")->currentIndex(), row.index);
        QCOMPARE(field->text(), QString::fromLatin1(row.shown));
        QCOMPARE(field->selectedText(), QString::fromLatin1(row.selected));
        if (row.voice)
            QCOMPARE(rig.engine.calls.back(), std::string(row.voice));
        else
            QVERIFY(rig.engine.calls.empty());
    }
}

void WindowTest::unreachableEngineEndsCreation()
{
    WindowRig rig(settingsFile("[Voice]=0\r\n[Speed]=0\r\n"));
    const std::string doc = rig.writeDocument("doc.txt", kDocument);
    rig.engine.failOn = "connect";
    rig.engine.failMessage = "no engine";
    MainWindow& form = rig.create({doc});
    QCOMPARE(rig.dialogs.errors, (std::vector<std::string>{"no engine."}));
    // The sequence ended at the event interests: no voices, no talk symbols, no document.
    QCOMPARE(control<QComboBox>(form, "voiceBox")->count(), 0);
    QVERIFY(form.session().talkSymbols().empty());
    QVERIFY(form.session().text().empty());
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN"));
    showAndActivate(form);
    QVERIFY(form.isVisible());
}

void WindowTest::handlerErrorsGoToTheErrorBox()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    form.session().setText(sj("読む。\r\n"));
    rig.engine.failOn = "Speak";
    control<QPushButton>(form, "startButton")->click();
    QCOMPARE(rig.dialogs.errors, (std::vector<std::string>{"engine failure."}));
    // A file that cannot be opened ends Open with the old document current.
    rig.engine.failOn.reset();
    rig.dialogs.fileAnswers = {rig.path("missing.txt")};
    control<QPushButton>(form, "openButton")->click();
    QCOMPARE(rig.dialogs.errors.back(), "ファイル " + rig.path("missing.txt") + " は開けません.");
    // Why, and what to do, below the message.
    QCOMPARE(rig.dialogs.errorDetails.back(), std::string("ファイルがありません。名前と場所を確かめてください."));
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN"));
    // So does a ZIP archive that is neither a book nor a text download, its reason in the box.
    const std::string empty = rig.path("empty.epub");
    QFile archive(QString::fromStdString(empty));
    QVERIFY(archive.open(QIODevice::WriteOnly));
    archive.write(QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    archive.close();
    rig.dialogs.fileAnswers = {empty};
    control<QPushButton>(form, "openButton")->click();
    QCOMPARE(rig.dialogs.errors.back(), "ファイル " + empty + " は開けません.");
    QCOMPARE(rig.dialogs.errorDetails.back(),
             std::string("EPUB の本でも、テキストファイルを一つ収めた zip ファイルでもありません."));
    QCOMPARE(form.windowTitle(), QStringLiteral("KVEN"));

    // A speech back end fails after Speak returned: the failure arrives as a posted task, and
    // must reach the error box instead of unwinding through Qt's event loop.
    bool ranAfter = false;
    rig.poster.post([] { throw KvenError("音声出力に接続できません"); });
    rig.poster.post([&ranAfter] { ranAfter = true; });
    WindowRig::deliver();
    QCOMPARE(rig.dialogs.errors.back(), std::string("音声出力に接続できません."));
    QVERIFY(ranAfter);
    // What to do, when the failure says it, on a line of its own.
    rig.poster.post([] { throw KvenError("音声出力に接続できません", "サーバーを確かめてください"); });
    WindowRig::deliver();
    QCOMPARE(rig.dialogs.errors.back(), std::string("音声出力に接続できません.\nサーバーを確かめてください."));
}

void WindowTest::japaneseTypedIntoTheEditor()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    editorOf(form)->setFocus();
    commitText(editorOf(form), QString::fromUtf8("東京へ。"));
    QCOMPARE(form.session().text(), sj("東京へ。"));
    form.session().setSelStart(2);
    QCOMPARE(editorOf(form)->textCursor().position(), 1);
    QTest::keyClick(editorOf(form), Qt::Key_Return);
    commitText(editorOf(form), QString::fromUtf8("行く"));
    QCOMPARE(form.session().text(), sj("東\r\n行く京へ。"));
    QCOMPARE(form.session().selStart(), std::size_t{8});
}

void WindowTest::captionsRenderAsGlyphs()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    control<QTabWidget>(form, "listTabs")->setCurrentIndex(2);
    showAndActivate(form);
    const QImage shot = form.grab().toImage();
    QVERIFY(!shot.isNull());

    // Each character of a caption drawn alone in the caption's font: real glyphs differ
    // from one another, while a missing glyph is drawn as the same empty box every time.
    for (QLabel* label : {control<QLabel>(form, "unreadLimitLabel"), control<QLabel>(form, "blankLimitLabel"),
                          control<QLabel>(form, "talkSymbolsLabel")}) {
        const QString caption = label->text();
        std::vector<QImage> glyphs;
        for (const QChar c : caption) {
            QImage image(48, 48, QImage::Format_Grayscale8);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setFont(label->font());
            painter.setPen(Qt::black);
            painter.drawText(image.rect(), Qt::AlignCenter, QString(c));
            painter.end();
            glyphs.push_back(image);
        }
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            for (std::size_t j = i + 1; j < glyphs.size(); ++j) {
                if (caption[static_cast<qsizetype>(i)] != caption[static_cast<qsizetype>(j)])
                    QVERIFY2(glyphs[i] != glyphs[j], qPrintable(caption));
            }
        }
    }
    // And the window itself has ink where the captions stand.
    const QRect where =
        control<QLabel>(form, "unreadLimitLabel")
            ->geometry()
            .translated(control<QLabel>(form, "unreadLimitLabel")->parentWidget()->mapTo(&form, QPoint(0, 0)));
    int dark = 0;
    for (int y = where.top(); y <= where.bottom(); ++y)
        for (int x = where.left(); x <= where.right(); ++x)
            dark += qGray(shot.pixel(x, y)) < 128 ? 1 : 0;
    QVERIFY2(dark > 40, qPrintable(QString::number(dark)));
}

void WindowTest::selectionIsDrawnOnlyWithFocus()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    form.session().setText(sj("選ばれた文。\r\n次の文。\r\n"));
    form.session().setSelStart(0);
    form.session().setSelLength(12);
    const QColor highlight = editorOf(form)->palette().color(QPalette::Active, QPalette::Highlight);
    auto highlighted = [&] {
        const QImage shot = editorOf(form)->viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 200; ++x)
                count += shot.pixelColor(x, y) == highlight ? 1 : 0;
        return count;
    };
    editorOf(form)->setFocus();
    QTRY_VERIFY(editorOf(form)->hasFocus());
    QVERIFY(highlighted() > 100);
    control<QPushButton>(form, "openButton")->setFocus();
    QTRY_VERIFY(!editorOf(form)->hasFocus());
    QCOMPARE(highlighted(), 0);
    QCOMPARE(form.session().selLength(), std::size_t{12});
}

// The desktop's own dialogs, answered from a timer once they are up.
// While reading, the chunk being read is the text's selection, as the accessibility tree tells
// a screen reader, and the text has the focus: a screen reader reads along. Each step changes
// the selection once, which the platform's bridge announces (tests/e2e/accessibility_bus.sh hears
// it on the bus). A key typed meanwhile acts at the cursor where reading stands, as it did when
// the chunk was only marked; the chunk is never replaced.
void WindowTest::theChunkBeingReadIsTheTextsSelection()
{
    WindowRig rig;
    MainWindow& form = rig.create();
    showAndActivate(form);
    form.session().setText(sj("一つ目です。\r\n二つ目です。\r\n三つ目です。\r\n"));
    control<QPushButton>(form, "openButton")->setFocus();
    QSignalSpy changes(editorOf(form), &QPlainTextEdit::selectionChanged);
    control<QPushButton>(form, "startButton")->click();
    QTRY_VERIFY(editorOf(form)->hasFocus());
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(editorOf(form))->textInterface();
    const char* chunks[] = {"一つ目です。", "二つ目です。", "三つ目です。"};
    for (const char* chunk : chunks) {
        QCOMPARE(rig.said().back(), std::string(chunk));
        QCOMPARE(changes.count(), 1);
        changes.clear();
        QCOMPARE(text->selectionCount(), 1);
        int start = 0;
        int end = 0;
        text->selection(0, &start, &end);
        // The chunk runs to its line break.
        QCOMPARE(text->text(start, end).trimmed(), QString::fromUtf8(chunk));
        QCOMPARE(text->cursorPosition(), end);
        // The session's cursor is where reading stands, after the chunk.
        QCOMPARE(form.session().selStart(), form.session().chunkEnd());
        QCOMPARE(form.session().selLength(), std::size_t{0});
        if (chunk != chunks[2])
            rig.finishUtterances();
    }

    // Typed and committed text goes in after the chunk being read, as on the cursor.
    QTest::keyClicks(editorOf(form), QStringLiteral("X"));
    commitText(editorOf(form), QString::fromUtf8("と"));
    QVERIFY(QString::fromStdString(cp932::toUtf8(form.session().text()))
                .contains(QString::fromUtf8("三つ目です。\r\nXと")));
    // Reading stopped: the cursor alone, no chunk selected.
    control<QPushButton>(form, "stopButton")->click();
    QVERIFY(!editorOf(form)->textCursor().hasSelection());

    // Under the listener's context menu the chunk reading moves on to is not selected, so that
    // a paste from the menu lands at the cursor, not on the chunk.
    form.session().setText(sj("四つ目です。\r\n五つ目です。\r\n"));
    control<QPushButton>(form, "startButton")->click();
    QCOMPARE(rig.said().back(), std::string("四つ目です。"));
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    menu.popup(editorOf(form)->mapToGlobal(QPoint(0, 0)));
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    rig.finishUtterances();
    QCOMPARE(rig.said().back(), std::string("五つ目です。"));
    QVERIFY(!editorOf(form)->textCursor().hasSelection());
    menu.close();
}

void WindowTest::realDialogsSayWhatTheyShould()
{
    QtDialogs dialogs;
    auto whenUp = [](std::function<void(QWidget*)> act) {
        QTimer::singleShot(0, [act] {
            QWidget* dialog = nullptr;
            QTRY_VERIFY((dialog = QApplication::activeModalWidget()) != nullptr);
            act(dialog);
        });
    };
    auto button = [](QWidget* dialog, const QString& text) {
        for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
            if (b->text().remove(QLatin1Char('&')) == text)
                return b;
        }
        qFatal("no button %s", qPrintable(text));
    };

    // Confirmation: caption "確認", OK goes on, "キャンセル" does not.
    whenUp([&](QWidget* box) {
        QCOMPARE(box->windowTitle(), QString::fromUtf8("確認"));
        QCOMPARE(static_cast<QMessageBox*>(box)->icon(), QMessageBox::Question);
        button(box, QStringLiteral("OK"))->click();
    });
    QVERIFY(dialogs.confirm("設定を保存します"));
    whenUp([&](QWidget* box) { button(box, QString::fromUtf8("キャンセル"))->click(); });
    QVERIFY(!dialogs.confirm("設定を保存します"));

    // The input box takes at most the given number of characters; cancel yields nothing.
    whenUp([&](QWidget* box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("SkipList"));
        auto* field = box->findChild<QLineEdit*>();
        QVERIFY(field != nullptr);
        field->setText(QString(300, QChar(0x3042)));
        button(box, QStringLiteral("OK"))->click();
    });
    const std::optional<std::string> typed = dialogs.inputText("SkipList", "追加する文字列を入力してください", 255);
    QVERIFY(typed.has_value());
    QCOMPARE(QString::fromStdString(*typed).size(), 255);
    whenUp([&](QWidget* box) { button(box, QString::fromUtf8("キャンセル"))->click(); });
    QVERIFY(!dialogs.inputText("SkipList", "追加する文字列を入力してください", 255).has_value());

    // The error box: error icon, the application's title, the message as given.
    QApplication::setApplicationName(QStringLiteral("KVEN"));
    whenUp([&](QWidget* box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("KVEN"));
        QCOMPARE(static_cast<QMessageBox*>(box)->icon(), QMessageBox::Critical);
        QCOMPARE(static_cast<QMessageBox*>(box)->text(), QString::fromUtf8("ファイル /x は開けません."));
        static_cast<QMessageBox*>(box)->accept();
    });
    dialogs.showError("ファイル /x は開けません.");

    // The export dialog: the format sets the extension, the split box is read.
    whenUp([&](QWidget* box) {
        QCOMPARE(box->windowTitle(), QString::fromUtf8("音声ファイルに書き出す"));
        auto* format = box->findChild<QComboBox*>(QStringLiteral("ExportFormat"));
        QCOMPARE(format->currentText(), QStringLiteral("Opus (.opus)"));
        format->setCurrentIndex(format->findText(QStringLiteral("MP3 (.mp3)")));
        QCOMPARE(box->findChild<QLineEdit*>(QStringLiteral("ExportPath"))->text(), QStringLiteral("/x/book.mp3"));
        box->findChild<QCheckBox*>(QStringLiteral("ExportSplit"))->setChecked(true);
        button(box, QStringLiteral("OK"))->click();
    });
    const std::optional<ExportChoice> choice = dialogs.chooseExport("/x/book.opus");
    QVERIFY(choice.has_value() && choice->path == "/x/book.mp3" && choice->split);
    // A name typed with the extension of a format sets the format; any other name gets the
    // format's extension added, and nothing of it is taken away.
    const struct {
        const char* typed;
        const char* path;
        const char* format;
    } typedNames[] = {
        {"/x/cancel.mp3", "/x/cancel.mp3", "MP3 (.mp3)"},
        {"/x/Cancel.FLAC", "/x/Cancel.FLAC", "FLAC (.flac)"},
        {"/x/cancel", "/x/cancel.opus", "Opus (.opus)"},
        {"/x/vol.2", "/x/vol.2.opus", "Opus (.opus)"},
    };
    for (const auto& row : typedNames) {
        whenUp([&](QWidget* box) {
            auto* path = box->findChild<QLineEdit*>(QStringLiteral("ExportPath"));
            path->clear();
            QTest::keyClicks(path, QString::fromUtf8(row.typed));
            QCOMPARE(box->findChild<QComboBox*>(QStringLiteral("ExportFormat"))->currentText(),
                     QString::fromUtf8(row.format));
            button(box, QStringLiteral("OK"))->click();
        });
        const std::optional<ExportChoice> chosen = dialogs.chooseExport("/x/book.opus");
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(chosen->path), QString::fromUtf8(row.path));
    }

    // "フォルダーを開く" says so when nothing could open the folder: the desktop's opener ends
    // in failure, as it does without a file manager. One that opens it is not heard of.
    QTemporaryDir tools;
    const QString opener = tools.filePath(QStringLiteral("xdg-open"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", tools.path().toUtf8() + ":" + path);
    for (const int exit : {3, 0}) {
        QFile script(opener);
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(QStringLiteral("#!/bin/sh\nexit %1\n").arg(exit).toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        whenUp([&](QWidget* box) { button(box, QString::fromUtf8("フォルダーを開く"))->click(); });
        dialogs.showExported("書き出しました", "/x");
        const auto notice = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible())
                    return box;
            return static_cast<QMessageBox*>(nullptr);
        };
        if (exit != 0) {
            QTRY_VERIFY(notice() != nullptr);
            QVERIFY2(notice()->text().startsWith(QString::fromUtf8("フォルダーを開けませんでした")),
                     qPrintable(notice()->text()));
            QVERIFY(notice()->text().contains(QStringLiteral("/x")));
            notice()->accept();
        } else {
            QTest::qWait(300);
            QVERIFY(notice() == nullptr);
        }
    }
    qputenv("PATH", path);

    // Qt's own dialogs speak Japanese, like the window: the Open dialog's buttons.
    useJapaneseDialogs(*QCoreApplication::instance());
    whenUp([&](QWidget* open) {
        const QList<QAbstractButton*> buttons = open->findChildren<QAbstractButton*>();
        QVERIFY(std::any_of(buttons.begin(), buttons.end(),
                            [](const QAbstractButton* b) { return b->text().startsWith(QString::fromUtf8("開く")); }));
        button(open, QString::fromUtf8("キャンセル"))->click();
    });
    QVERIFY(!dialogs.chooseFile(QDir::tempPath().toStdString()).has_value());
}

// Real documents through the window and through the core on plain memory: the same text
// must give the same chunks, and reading must end at the end of the text.
void WindowTest::corpusDocumentsReadAsTheCoreReadsThem()
{
    const QString corpus = QStringLiteral(KVEN_CORPUS_DIR);
    QStringList files;
    for (const char* group : {"aozora_txt", "aozora_xhtml", "html_sjis", "html_eucjp", "html_utf8"}) {
        QDirIterator it(corpus + QLatin1Char('/') + QLatin1String(group), QDir::Files);
        while (it.hasNext())
            files << it.next();
    }
    if (files.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL(qPrintable(QStringLiteral("no corpus at ") + corpus));
        QSKIP(qPrintable(QStringLiteral("no corpus at ") + corpus));
    }
    files.sort();
    for (const QString& file : files) {
        WindowRig rig;
        MainWindow& form = rig.create();
        form.openDropped(file.toStdString());
        QVERIFY2(rig.dialogs.errors.empty(), qPrintable(file));
        QVERIFY2(!form.session().text().empty(), qPrintable(file));

        Session memory;
        memory.setText(form.session().text());
        memory.setTalkSymbols(form.session().talkSymbols());
        memory.setSkipList(form.session().skipList());
        memory.setLimit(&ReadingOptions::unreadLimit, form.session().options().unreadLimit);
        memory.setLimit(&ReadingOptions::blankLimit, form.session().options().blankLimit);
        EventQueue queue;
        ScriptedEngine engine(queue);
        CountingWaiter waiter;
        Reader reader(memory, engine, waiter);
        engine.setOnEndStream([&reader](int stream, std::int64_t position) { reader.endOfStream(stream, position); });
        reader.start();
        while (memory.reading()) {
            engine.finishSpeaking();
            queue.runPending();
        }

        form.session().setSelStart(0);
        control<QPushButton>(form, "startButton")->click();
        while (!control<QPushButton>(form, "startButton")->isEnabled())
            rig.finishUtterances();
        QVERIFY2(rig.engine.spoken == engine.spoken, qPrintable(file));
        QCOMPARE(form.session().selStart(), form.session().text().size());
    }
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
