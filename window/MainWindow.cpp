#include "window/MainWindow.h"

#include "window/Layout.h"
#include "window/RecentMenu.h"

#include "files/Errors.h"
#include "files/Paths.h"
#include "reading/SynthesizerWords.h"
#include "settings/VoiceChoice.h"
#include "text/Cp932.h"
#include "text/EnglishLexicon.h"
#include "window/ErrorBox.h"
#include "window/InterfaceText.h"
#include "window/VoiceBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace kven {

namespace {

constexpr int kMaxSkipEntryLength = 255;

} // namespace

MainWindow::MainWindow(SpeechEngine& tts, WindowDialogs& dialogs, Clipboard& clipboard, Waiter& waiter,
                       std::vector<std::string> args)
    : tts_(tts), dialogs_(dialogs), clipboard_(clipboard), ui_(MainControls::build(*this)), openDialog_(dialogs),
      args_(std::move(args)), bookmarks_(session_), settings_(session_, dialogs, settingsFilePath()),
      intake_(session_, openDialog_, bookmarks_, eucJp_), reader_(session_, tts, waiter),
      resizeToggle_(*this, *ui_.editor, ui_.scale),
      commands_({[this] { ui_.startAction->trigger(); }, [this] { ui_.stopAction->trigger(); },
                 [this] { runShowingErrors([this] { pause(); }); }, [this] { ui_.pasteAction->trigger(); },
                 [this] { ui_.againAction->trigger(); }, [this](int chunks) { moveChunks(chunks); },
                 [this] { raiseWindow(); }, [this] { return close(); }}),
      words_(
          dictionaryFilePath(), [this](DictionaryFile words) { useDictionary(std::move(words)); },
          [this](const std::function<void()>& use) { runShowingErrors(use); }),
      exporter_(*this, dialogs)
{
    resizeToggle_.showNormalEditor();
    new FileDrop(*this, *ui_.editor->viewport(), [this](const std::string& path) { openDropped(path); });
    // The status line names the chapters that the menu lists, so it hears of a new text after
    // the menu.
    chapterMenu_ = new ChapterMenu(*this, *ui_.optionMenu, session_, reader_,
                                   [this](const std::function<void()>& command) { runShowingErrors(command); });
    progress_ = std::make_unique<ProgressLine>(*this, session_, chapterMenu_->chapters());
    bindRecentMenu(*ui_.recentMenu, bookmarks_.filePath(), [this](const std::string& file) { openDropped(file); });
    resize(scaled(kDesignClient.width(), ui_.scale),
           scaled(kDesignClient.height(), ui_.scale) + ui_.mainMenu->sizeHint().height() + progress_->height());
    bindSession();
    bindEvents();
    addReadingView();
    runShowingErrors([this] { onCreate(); });
}

MainWindow::~MainWindow()
{
    tts_.setOnEndStream({});
    tts_.setOnStreamFailed({});
}

void MainWindow::bindSession()
{
    binding_ = std::make_unique<SessionBinding>(
        session_,
        SessionControls{this, ui_.editor, ui_.startButton, ui_.stopButton, ui_.aozoraRubyBox, ui_.aaSkipBox,
                        ui_.headingSearchBox, ui_.repeatBox, ui_.optionActions, ui_.unreadLimitBar, ui_.blankLimitBar,
                        ui_.speedBar, ui_.skipListBox, ui_.talkSymbolsEditor, ui_.voiceBox});
    speedSubscription_ = session_.subscribe([this](Session::Changes changes) {
        if ((changes & Session::speedChanged) != 0)
            speedChanged();
    });
}

void MainWindow::addReadingView()
{
    auto* menu = new QMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&View")), this);
    menu->setObjectName(QStringLiteral("viewMenu"));
    ui_.mainMenu->insertMenu(ui_.helpMenu->menuAction(), menu);
    readingView_ = new ReadingView(*ui_.editor, binding_->editorText(), session_, *menu,
                                   [this](int mode) { settings_.setViewMode(mode); });
}

void MainWindow::bindEvents()
{
    const auto bind = [this](auto* source, auto signal, std::function<void()> command) {
        connect(source, signal, this, [this, command] { runShowingErrors(command); });
    };
    // Each command with the button and the menu item (or key) that run it.
    const struct {
        QPushButton* button;
        QAction* action;
        std::function<void()> command;
    } commands[] = {{ui_.startButton, ui_.startAction, [this] { start(); }},
                    {ui_.openButton, ui_.openAction, [this] { openDocument(); }},
                    {ui_.quitButton, ui_.quitAction, [this] { close(); }},
                    {ui_.stopButton, ui_.stopAction, [this] { stop(); }},
                    {ui_.addSkipButton, nullptr, [this] { askSkipEntry(); }},
                    {ui_.deleteSkipButton, nullptr, [this] { deleteSkipEntry(); }},
                    {ui_.pasteButton, ui_.pasteAction,
                     [this] { loadShowingWarnings([this] { reader_.pasteClipboard(intake_, clipboard_); }); }},
                    {ui_.reloadButton, nullptr, [this] { reload(); }},
                    {ui_.saveButton, nullptr, [this] { settings_.save(); }},
                    {nullptr, ui_.againAction, [this] { reader_.again(); }},
                    {nullptr, ui_.previousAction, [this] { reader_.previous(); }},
                    {nullptr, ui_.nextAction, [this] { reader_.next(); }},
                    {nullptr, ui_.editWordsAction, [this] { editDictionary(); }},
                    {nullptr, ui_.exportAction, [this] { exporter_.run(session_); }},
                    {nullptr, ui_.aboutAction, [this] { dialogs_.showInfo(aboutText().toStdString()); }}};
    for (const auto& [button, action, command] : commands) {
        if (button != nullptr)
            bind(button, &QPushButton::clicked, command);
        if (action != nullptr)
            bind(action, &QAction::triggered, command);
    }
    bind(ui_.voiceBox, &QComboBox::activated, [this] { voiceChosen(); });
    connect(ui_.voiceBox->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        completeTypedVoice(*ui_.voiceBox, typed);
        runShowingErrors([this] { voiceChosen(); });
    });
    connect(ui_.speedBar, &QScrollBar::valueChanged, this,
            [this](int value) { runShowingErrors([this, value] { session_.setSpeed(value); }); });

    tts_.setOnEndStream(
        [this](int stream, std::int64_t position) { runShowingErrors([&] { endOfStream(stream, position); }); });
    tts_.setOnStreamFailed([this](int stream) { reader_.streamFailed(stream); });
}

bool MainWindow::runShowingErrors(const std::function<void()>& command)
{
    return kven::runShowingErrors(dialogs_, command);
}

// --- Creation, show, resize, close ---

void MainWindow::onCreate()
{
    settings_.startupRead([this](int storedVoice) { setUpVoices(storedVoice); });
    readingView_->setMode(settings_.viewMode());
    if (session_.options().readEnglish)
        englishLoad_ = std::async(std::launch::async, [] { EnglishLexicon::installed(); });
    if (session_.options().correctReadings || session_.options().bookReadings)
        analysisLoad_ = std::async(std::launch::async, [] { SynthesizerWords::installed(); });
    keepOnScreen(*this);
    words_.load();
    resizeToggle_.restart();
    loadShowingWarnings([this] { intake_.loadFromCommandLine(args_); });
}

void MainWindow::setUpVoices(int storedVoice)
{
    voiceHandles_ = setUpVoiceList(tts_, session_, storedVoice, NegativeVoiceIndex::selectsNothing);
}

void MainWindow::onShow()
{
    if (args_.empty())
        return;
    if (words_.loading())
        startWithDictionary_ = true;
    else
        start();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // Showing the window is its first size notification.
    runShowingErrors([this] { onResize(); });
    runShowingErrors([this] { onShow(); });
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !shownOnce_)
        return;
    if (ResizeToggle::notifies(static_cast<QWindowStateChangeEvent*>(event)->oldState(), windowState()))
        runShowingErrors([this] { onResize(); });
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (shownOnce_)
        resizeToggle_.resized();
}

void MainWindow::onResize()
{
    resizeToggle_.toggle();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (binding_)
        binding_->windowMoved();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (runShowingErrors([this] { onClose(); }))
        event->accept();
    else
        event->ignore();
}

void MainWindow::onClose()
{
    // An export still running stops with the window, leaving no file.
    exporter_.cancel();
    bookmarks_.recordPosition();
    closed_ = true;
    // The list gives back its references once; it is not used again.
    voiceHandles_.clear();
}

void MainWindow::keepBookmark()
{
    if (!closed_)
        runShowingErrors([this] { bookmarks_.recordPosition(); });
}

// --- Reading control ---

void MainWindow::start()
{
    // The listener's own Start or Stop overrides the start that waits for the dictionary.
    startWithDictionary_ = false;
    reader_.start();
}

void MainWindow::stop()
{
    startWithDictionary_ = false;
    reader_.stop();
}

void MainWindow::pause()
{
    startWithDictionary_ = false;
    reader_.pause();
}

void MainWindow::endOfStream(int stream, std::int64_t position)
{
    progress_->utteranceEnded(reader_.endsWholeUtterance(stream));
    reader_.endOfStream(stream, position);
}

void MainWindow::moveChunks(int chunks)
{
    runShowingErrors([this, chunks] {
        if (chunks > 0)
            reader_.next(chunks);
        else if (chunks < 0)
            reader_.previous(-chunks);
    });
}

// --- Files and settings ---

void MainWindow::openDocument()
{
    loadShowingWarnings([this] { intake_.openDocument(); });
}

void MainWindow::loadShowingWarnings(const std::function<void()>& load)
{
    try {
        load();
    } catch (...) {
        progress_->showWarnings(intake_.warnings());
        throw;
    }
    progress_->showWarnings(intake_.warnings());
}

void MainWindow::openDropped(const std::string& path)
{
    openDialog_.dropped = path;
    runShowingErrors([this] { openDocument(); });
    openDialog_.dropped.reset();
}

void MainWindow::reload()
{
    // The reading dictionary is one of the lists Reload reads again.
    if (settings_.reload()) {
        words_.load();
        readingView_->setMode(settings_.viewMode());
    }
    keepOnScreen(*this);
}

// --- Skip list, voices, speed ---

void MainWindow::askSkipEntry()
{
    const std::optional<std::string> entry =
        dialogs_.inputText(interfaceText(QT_TRANSLATE_NOOP("KVEN", "SkipList")).toStdString(),
                           "追加する文字列を入力してください", kMaxSkipEntryLength);
    if (entry && !entry->empty())
        binding_->addSkipEntry(cp932::fromUtf8(*entry));
}

void MainWindow::deleteSkipEntry()
{
    const int row = ui_.skipListBox->currentRow();
    if (row < 0 || ui_.skipListBox->selectedItems().isEmpty())
        return;
    binding_->removeSkipEntry(row);
}

void MainWindow::voiceChosen()
{
    const int index = ui_.voiceBox->currentIndex();
    // Nothing selected (no voice installed, a stored index below 0, or the box's text
    // erased): the engine keeps the voice it has.
    if (index < 0 || index >= static_cast<int>(voiceHandles_.size()))
        return;
    const VoiceHandle voice = voiceHandles_[static_cast<std::size_t>(index)];
    tts_.setVoice(voice);
}

void MainWindow::useDictionary(DictionaryFile words)
{
    session_.setReadingDictionary(std::move(words.dictionary));
    // Its broken lines matter only to a listener who has the dictionary read.
    if (session_.options().wordReadings && !words.problems.empty()) {
        std::string message;
        for (const std::string& problem : words.problems)
            message += (message.empty() ? "" : "\n") + problem;
        dialogs_.showError(errorBoxText(message));
    }
    // Reading that the start was to begin waited for the dictionary, so that its first chunks
    // are said with it.
    if (std::exchange(startWithDictionary_, false) && !session_.reading())
        start();
}

void MainWindow::editDictionary()
{
    if (dictionaryEditor_ == nullptr)
        dictionaryEditor_ = new DictionaryEditor(this, dictionaryFilePath(), dialogs_, [this] { words_.load(); });
    dictionaryEditor_->openFile();
}

void MainWindow::speedChanged()
{
    ui_.speedValueLabel->setNum(session_.speed());
    tts_.setRate(session_.speed());
}

void MainWindow::raiseWindow()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

} // namespace kven
