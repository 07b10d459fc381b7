#include "window/MainControls.h"

#include "state/Session.h"
#include "window/AccessibleNames.h"
#include "window/InterfaceText.h"
#include "window/Layout.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <utility>

namespace kven {

namespace {

template<class W> void bindControl(W*& control, const QWidget& client, const char* name)
{
    control = client.findChild<W*>(QString::fromLatin1(name));
}

// The space around a tab's caption, in the share of the design the window is built at: the
// style's own is made for the desktop's font, and at a smaller share three tabs would no
// longer fit the pane's width, so that one would hide behind scroll arrows.
class ScaledTabSpace : public QProxyStyle {
public:
    explicit ScaledTabSpace(double scale)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), scale_(scale)
    {
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        const int pixels = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? scaled(pixels, scale_) : pixels;
    }

private:
    double scale_;
};

} // namespace

MainControls MainControls::build(QMainWindow& window)
{
    MainControls controls;
    controls.buildClientArea(window);
    controls.buildMenu(window);
    nameControls(controls);
    return controls;
}

void MainControls::buildClientArea(QMainWindow& window)
{
    window.setWindowTitle(QStringLiteral("KVEN"));
    window.setWindowIcon(programIcon());
    window.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint);
    scale = fittingScale();
    window.setFont(japaneseFont(scaled(16, scale)));

    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("ClientArea"));
    window.setCentralWidget(client);
    editor = new QPlainTextEdit;
    editor->setObjectName(QStringLiteral("editor"));
    buildControls(*client, mainWindowLayout(), {editor}, scale);
    findControls(*client);
    showSpeedValue(*client);
    setUpControls();
}

void MainControls::findControls(const QWidget& client)
{
    bindControl(voiceLabel, client, "voiceLabel");
    bindControl(versionLabel, client, "versionLabel");
    bindControl(talkSymbolsLabel, client, "talkSymbolsLabel");
    bindControl(unreadLimitLabel, client, "unreadLimitLabel");
    bindControl(blankLimitLabel, client, "blankLimitLabel");
    bindControl(speedLabel, client, "speedLabel");
    bindControl(startButton, client, "startButton");
    bindControl(openButton, client, "openButton");
    bindControl(quitButton, client, "quitButton");
    bindControl(stopButton, client, "stopButton");
    bindControl(addSkipButton, client, "addSkipButton");
    bindControl(deleteSkipButton, client, "deleteSkipButton");
    bindControl(pasteButton, client, "pasteButton");
    bindControl(reloadButton, client, "reloadButton");
    bindControl(saveButton, client, "saveButton");
    bindControl(aozoraRubyBox, client, "aozoraRubyBox");
    bindControl(aaSkipBox, client, "aaSkipBox");
    bindControl(headingSearchBox, client, "headingSearchBox");
    bindControl(repeatBox, client, "repeatBox");
    bindControl(unreadLimitBar, client, "unreadLimitBar");
    bindControl(blankLimitBar, client, "blankLimitBar");
    bindControl(speedBar, client, "speedBar");
    bindControl(skipTab, client, "skipTab");
    bindControl(talkTab, client, "talkTab");
    bindControl(optionsTab, client, "optionsTab");
    bindControl(voiceBox, client, "voiceBox");
    bindControl(listTabs, client, "listTabs");
    bindControl(skipListBox, client, "skipListBox");
    bindControl(talkSymbolsEditor, client, "talkSymbolsEditor");
}

void MainControls::setUpControls()
{
    versionLabel->setFont(japaneseFont(scaled(19, scale), true));
    talkSymbolsLabel->setFont(japaneseFont(scaled(12, scale)));
    // Labels size themselves to their text in the font at hand, from their design place.
    for (QLabel* label : {voiceLabel, versionLabel, talkSymbolsLabel, unreadLimitLabel, blankLimitLabel, speedLabel})
        label->adjustSize();
    stopButton->setEnabled(false);
    voiceBox->setEditable(true);
    voiceBox->setInsertPolicy(QComboBox::NoInsert);
    voiceBox->setCompleter(nullptr);
    voiceBox->setMaxVisibleItems(8);
    for (auto [bar, range] :
         {std::pair{unreadLimitBar, kLimitSlider}, {blankLimitBar, kLimitSlider}, {speedBar, kSpeedSlider}}) {
        bar->setRange(range.min, range.max);
        bar->setValue(std::max(range.min, 0));
    }
    speedValueLabel->setNum(speedBar->value());
    skipListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    talkSymbolsEditor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    talkSymbolsEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    talkSymbolsEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    talkSymbolsEditor->setTabChangesFocus(true);
    for (QCheckBox* box : {aozoraRubyBox, aaSkipBox, headingSearchBox, repeatBox})
        box->setChecked(true);
    listTabs->setCurrentIndex(1);
    if (scale < 1.0) {
        auto* style = new ScaledTabSpace(scale);
        style->setParent(listTabs->tabBar());
        listTabs->tabBar()->setStyle(style);
    }

    editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setTabChangesFocus(true);
    // The selection is drawn only while the editor has the keyboard focus.
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Inactive, QPalette::Text));
    editor->setPalette(palette);

    editor->raise();
    editor->setFocus();
    editor->setAcceptDrops(true);
}

void MainControls::showSpeedValue(QWidget& client)
{
    speedValueLabel = new QLabel(&client);
    speedValueLabel->setObjectName(QStringLiteral("speedValueLabel"));
    // Right-aligned over the slider's right end, wide enough for "-10".
    const QRect bar = speedBar->geometry();
    speedValueLabel->setGeometry(bar.right() - 39, speedLabel->y(), 40, speedLabel->height());
    speedValueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void MainControls::buildMenu(QMainWindow& window)
{
    mainMenu = window.menuBar();
    mainMenu->setObjectName(QStringLiteral("mainMenu"));
    fileMenu = mainMenu->addMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&File")));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    readMenu = mainMenu->addMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Read")));
    readMenu->setObjectName(QStringLiteral("readMenu"));
    const struct {
        QAction*& action;
        QMenu* menu;
        const char* name;
        const char* caption;
        QKeySequence key;
    } items[] = {
        {openAction, fileMenu, "openAction", QT_TRANSLATE_NOOP("KVEN", "&Open"), QKeySequence(Qt::Key_F2)},
        {exportAction, fileMenu, "exportAction", "音声ファイルに書き出す(&E)…", QKeySequence()},
        {quitAction, fileMenu, "quitAction", QT_TRANSLATE_NOOP("KVEN", "&Quit"), QKeySequence()},
        {startAction, readMenu, "startAction", QT_TRANSLATE_NOOP("KVEN", "&Start"), QKeySequence(Qt::Key_F11)},
        {stopAction, readMenu, "stopAction", QT_TRANSLATE_NOOP("KVEN", "S&top"), QKeySequence(Qt::Key_F12)},
        {pasteAction, readMenu, "pasteAction", QT_TRANSLATE_NOOP("KVEN", "&Paste"), QKeySequence(Qt::Key_F4)},
        {againAction, readMenu, "againAction", QT_TRANSLATE_NOOP("KVEN", "&Again"), QKeySequence(Qt::Key_F5)},
        {previousAction, readMenu, "previousAction", QT_TRANSLATE_NOOP("KVEN", "Pre&vious"), QKeySequence(Qt::Key_F6)},
        {nextAction, readMenu, "nextAction", QT_TRANSLATE_NOOP("KVEN", "&Next"), QKeySequence(Qt::Key_F7)}};
    for (const auto& item : items) {
        if (&item.action == &againAction)
            item.menu->addSeparator();
        if (&item.action == &quitAction) {
            recentMenu = fileMenu->addMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Recent documents")));
            recentMenu->setObjectName(QStringLiteral("recentMenu"));
        }
        item.action = item.menu->addAction(interfaceText(item.caption));
        item.action->setObjectName(QString::fromLatin1(item.name));
        item.action->setShortcut(item.key);
        // Window-wide: the shortcut map sees the key before the focused control does.
        item.action->setShortcutContext(Qt::WindowShortcut);
        // The shortcuts must work while the menu bar is covered or hidden, so the window owns them.
        window.addAction(item.action);
    }
    buildOptionAndHelpMenus();
}

void MainControls::buildOptionAndHelpMenus()
{
    optionMenu = mainMenu->addMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Option")));
    optionMenu->setObjectName(QStringLiteral("optionMenu"));
    const struct {
        bool ReadingOptions::*option;
        const char* name;
        const char* caption;
    } options[] = {{&ReadingOptions::silentNotes, "notesAction", "注記を読まない(&N)"},
                   {&ReadingOptions::wordReadings, "wordsAction", "読み替え辞書(&W)"},
                   {&ReadingOptions::passOverMarks, "marksAction", "記号だけの部分を飛ばす(&M)"},
                   {&ReadingOptions::readNumbers, "numbersAction", "数字を日本語で読む(&U)"},
                   {&ReadingOptions::readEnglish, "englishAction", "英単語を読む(&E)"},
                   {&ReadingOptions::correctReadings, "readingsAction", "読み誤りを正す(&R)"},
                   {&ReadingOptions::bookReadings, "bookReadingsAction", "ルビの読みを他の箇所にも使う(&B)"},
                   {&ReadingOptions::blockLines, "blocksAction", "段落ごとに区切る(&P)"}};
    for (const auto& option : options) {
        QAction* action = optionMenu->addAction(QString::fromUtf8(option.caption));
        action->setObjectName(QString::fromLatin1(option.name));
        action->setCheckable(true);
        optionActions.emplace_back(action, option.option);
    }
    editWordsAction = optionMenu->addAction(QStringLiteral("読み替え辞書を編集(&D)…"));
    editWordsAction->setObjectName(QStringLiteral("editWordsAction"));
    helpMenu = mainMenu->addMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Help")));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    aboutAction = helpMenu->addAction(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&About KVEN")));
    aboutAction->setObjectName(QStringLiteral("aboutAction"));
    aboutAction->setMenuRole(QAction::AboutRole);
}

} // namespace kven
