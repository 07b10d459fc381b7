#include "window/MainWindow.h"

#include "files/Errors.h"
#include "files/Paths.h"
#include "settings/VoiceChoice.h"
#include "text/Cp932.h"
#include "window/VoiceBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
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
// Read in a few milliseconds; larger dictionaries would hold the window up.
constexpr std::uintmax_t kWordsReadAtOnce = 1 << 20;
constexpr int kWordsPollMs = 50;

} // namespace

MainWindow::MainWindow(SpeechEngine& tts, WindowDialogs& dialogs, Clipboard& clipboard, Waiter& waiter,
                       std::vector<std::string> args)
    : tts_(tts), dialogs_(dialogs), clipboard_(clipboard), ui_(MainControls::build(*this)), openDialog_(dialogs),
      args_(std::move(args)), bookmarks_(session_), settings_(session_, dialogs, settingsFilePath()),
      intake_(session_, openDialog_, bookmarks_, eucJp_), reader_(session_, tts, waiter),
      resizeToggle_(*this, *ui_.editor, QSize(kClientWidth, kClientHeight)),
      commands_({[this] { ui_.startAction->trigger(); }, [this] { ui_.stopAction->trigger(); },
                 [this] { ui_.pasteAction->trigger(); }, [this] { ui_.againAction->trigger(); },
                 [this](int chunks) { moveChunks(chunks); }, [this] { return close(); },
                 [this] { return session_.reading(); }})
{
    eucJp_.JisByteCodeType = btAscii;
    eucJp_.JisKanaConvType = ktZenWithDaku;
    resizeToggle_.setEditorFontPoints(ResizeToggle::kEditorPoints);
    new FileDrop(*this, *ui_.editor->viewport(), [this](const std::string& path) { openDropped(path); });
    resize(kClientWidth, kClientHeight + ui_.mainMenu->sizeHint().height());
    bindSession();
    bindEvents();
    runShowingErrors([this] { onCreate(); });
}

MainWindow::~MainWindow()
{
    if (wordsThread_.joinable())
        wordsThread_.join();
    tts_.setOnEndStream({});
    tts_.setOnStreamFailed({});
}

void MainWindow::bindSession()
{
    binding_ = std::make_unique<SessionBinding>(
        session_,
        SessionControls{this, ui_.editor, ui_.startButton, ui_.stopButton, ui_.aozoraRubyBox, ui_.aaSkipBox,
                        ui_.headingSearchBox, ui_.repeatBox, ui_.notesAction, ui_.wordsAction, ui_.unreadLimitBar,
                        ui_.blankLimitBar, ui_.speedBar, ui_.skipListBox, ui_.talkSymbolsEditor, ui_.voiceBox});
    binding_->onSpeedChanged = [this] { speedChanged(); };
    binding_->onReadingChanged = [this] { commands_.readingStateMayHaveChanged(); };
}

void MainWindow::bindEvents()
{
    using Handler = void (MainWindow::*)();
    const std::pair<QPushButton*, Handler> clicks[] = {{ui_.startButton, &MainWindow::start},
                                                       {ui_.openButton, &MainWindow::openDocument},
                                                       {ui_.quitButton, &MainWindow::quit},
                                                       {ui_.stopButton, &MainWindow::stop},
                                                       {ui_.addSkipButton, &MainWindow::askSkipEntry},
                                                       {ui_.deleteSkipButton, &MainWindow::deleteSkipEntry},
                                                       {ui_.pasteButton, &MainWindow::pasteClipboard},
                                                       {ui_.reloadButton, &MainWindow::reload},
                                                       {ui_.saveButton, &MainWindow::save}};
    // Plain copies, not structured bindings: the lambdas capture them.
    for (const auto& click : clicks) {
        QPushButton* const button = click.first;
        const Handler handler = click.second;
        connect(button, &QPushButton::clicked, this,
                [this, button, handler] { runShowingErrors([&] { (this->*handler)(); }); });
    }
    const std::pair<QAction*, Handler> triggers[] = {{ui_.startAction, &MainWindow::start},
                                                     {ui_.openAction, &MainWindow::openDocument},
                                                     {ui_.quitAction, &MainWindow::quit},
                                                     {ui_.stopAction, &MainWindow::stop},
                                                     {ui_.pasteAction, &MainWindow::pasteClipboard},
                                                     {ui_.againAction, &MainWindow::again},
                                                     {ui_.previousAction, &MainWindow::previous},
                                                     {ui_.nextAction, &MainWindow::next},
                                                     {ui_.editWordsAction, &MainWindow::editWords},
                                                     {ui_.exportAction, &MainWindow::exportAudio}};
    for (const auto& trigger : triggers) {
        QAction* const action = trigger.first;
        const Handler handler = trigger.second;
        connect(action, &QAction::triggered, this,
                [this, action, handler] { runShowingErrors([&] { (this->*handler)(); }); });
    }

    connect(ui_.voiceBox, &QComboBox::activated, this, [this] { runShowingErrors([this] { voiceChosen(); }); });
    connect(ui_.voiceBox->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        completeTypedVoice(*ui_.voiceBox, typed);
        runShowingErrors([this] { voiceChosen(); });
    });
    connect(ui_.speedBar, &QScrollBar::valueChanged, this,
            [this](int value) { runShowingErrors([this, value] { session_.setSpeed(value); }); });

    tts_.setOnEndStream(
        [this](int stream, std::int64_t position) { runShowingErrors([&] { endOfStream(stream, position); }); });
    tts_.setOnStreamFailed([this](int stream) {
        reader_.streamFailed(stream);
        markSpokenChunk();
    });
}

bool MainWindow::runShowingErrors(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const std::exception& e) {
        dialogs_.showError(errorBoxText(e.what()));
    }
    return false;
}

// --- Creation, show, resize, close ---

void MainWindow::onCreate()
{
    settings_.startupRead([this](int storedVoice) { setUpVoices(storedVoice); });
    keepOnScreen(*this);
    loadWords();
    session_.setSelStart(0);
    session_.setSelLength(0);
    session_.becomePaste();
    resizeToggle_.restart();
    session_.lastSpoken().clear();
    if (!args_.empty())
        intake_.loadFromCommandLine(args_);
}

void MainWindow::setUpVoices(int storedVoice)
{
    voiceHandles_ = setUpVoiceList(tts_, session_, storedVoice, NegativeVoiceIndex::selectsNothing);
}

void MainWindow::onShow()
{
    if (args_.empty())
        return;
    if (wordsLoading_)
        startWithWords_ = true;
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
    export_.reset();
    bookmarks_.recordPosition();
    // The list gives back its references once; it is not used again.
    voiceHandles_.clear();
}

void MainWindow::quit()
{
    close();
}

// --- Reading control ---

void MainWindow::markSpokenChunk()
{
    if (!session_.reading()) {
        ui_.editor->setExtraSelections({});
        return;
    }
    // The step has moved the cursor past the chunk it handed to the engine; the chunk stays
    // marked while it is spoken.
    QTextEdit::ExtraSelection chunk;
    chunk.cursor = QTextCursor(ui_.editor->document());
    const EditorText& text = binding_->editorText();
    chunk.cursor.setPosition(text.positionOf(session_.chunkStart()));
    chunk.cursor.setPosition(text.positionOf(session_.chunkEnd()), QTextCursor::KeepAnchor);
    chunk.format.setBackground(ui_.editor->palette().brush(QPalette::Active, QPalette::Highlight));
    chunk.format.setForeground(ui_.editor->palette().brush(QPalette::Active, QPalette::HighlightedText));
    ui_.editor->setExtraSelections({chunk});
}

void MainWindow::start()
{
    // The listener's own Start or Stop overrides the start that waits for the dictionary.
    startWithWords_ = false;
    reader_.start();
    markSpokenChunk();
}

void MainWindow::stop()
{
    startWithWords_ = false;
    reader_.stop();
    ui_.editor->setExtraSelections({});
}

void MainWindow::endOfStream(int stream, std::int64_t position)
{
    reader_.endOfStream(stream, position);
    markSpokenChunk();
}

void MainWindow::pasteClipboard()
{
    ui_.editor->setExtraSelections({});
    reader_.pasteClipboard(bookmarks_, clipboard_);
    markSpokenChunk();
}

void MainWindow::again()
{
    reader_.again();
    markSpokenChunk();
}

void MainWindow::previous()
{
    reader_.previous();
    markSpokenChunk();
}

void MainWindow::next()
{
    reader_.next();
    markSpokenChunk();
}

void MainWindow::moveChunks(int chunks)
{
    runShowingErrors([this, chunks] {
        if (chunks > 0)
            reader_.next(chunks);
        else if (chunks < 0)
            reader_.previous(-chunks);
        markSpokenChunk();
    });
}

// --- Files and settings ---

void MainWindow::openDocument()
{
    intake_.openDocument();
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
    if (settings_.reload())
        loadWords();
    keepOnScreen(*this);
}

void MainWindow::save()
{
    settings_.save();
}

// --- Skip list, voices, speed ---

void MainWindow::askSkipEntry()
{
    const std::optional<std::string> entry =
        dialogs_.inputText("SkipList", "追加する文字列を入力してください", kMaxSkipEntryLength);
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

void MainWindow::loadWords()
{
    const std::string path = wordsFilePath();
    const std::uint64_t load = ++wordsLoads_;
    wordsLoading_ = false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size <= kWordsReadAtOnce) {
        useWords(readWordsFile(path));
        return;
    }
    // One reading thread at a time: a load still running is waited for (a Reload during it).
    if (wordsThread_.joinable())
        wordsThread_.join();
    wordsLoading_ = true;
    auto read = std::make_shared<WordsRead>();
    wordsThread_ = std::thread([path, read] {
        WordsFile words = readWordsFile(path);
        std::lock_guard lock(read->mutex);
        read->words = std::move(words);
    });
    // The event loop looks for the result now and then: the thread touches nothing of the
    // window's, and the hand-over is the mutex alone.
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, read, load, poll] {
        std::optional<WordsFile> arrived;
        {
            std::lock_guard lock(read->mutex);
            if (!read->words)
                return;
            arrived = std::move(read->words);
        }
        poll->deleteLater();
        if (load != wordsLoads_)
            return;
        wordsThread_.join();
        wordsLoading_ = false;
        runShowingErrors([this, &arrived] { useWords(std::move(*arrived)); });
    });
    poll->start(kWordsPollMs);
}

void MainWindow::useWords(WordsFile words)
{
    session_.document().words = std::move(words.dictionary);
    // Its broken lines matter only to a listener who has the dictionary read.
    if (session_.wordReadings() && !words.problems.empty()) {
        std::string message;
        for (const std::string& problem : words.problems)
            message += (message.empty() ? "" : "\n") + problem;
        dialogs_.showError(errorBoxText(message));
    }
    // Reading that the start was to begin waited for the dictionary, so that its first chunks
    // are said with it.
    if (std::exchange(startWithWords_, false) && !session_.reading())
        start();
}

void MainWindow::editWords()
{
    if (wordsEditor_ == nullptr)
        wordsEditor_ = new WordsEditor(this, wordsFilePath(), dialogs_, [this] { loadWords(); });
    wordsEditor_->openFile();
}

void MainWindow::exportAudio()
{
    if (export_) {
        export_->dialog()->show();
        export_->dialog()->raise();
        return;
    }
    // The document's name with the extension of the format that suits speech best.
    std::string suggested = session_.document().file;
    if (suggested.empty()) {
        const char* home = std::getenv("HOME");
        suggested = inFolder(home != nullptr && *home != '\0' ? home : ".", "KVEN");
    } else if (const std::size_t stem = fileNameOf(suggested).size() - extensionOf(suggested).size(); stem > 0) {
        suggested.resize(suggested.size() - extensionOf(suggested).size());
    }
    suggested += ".opus";
    const std::optional<ExportChoice> choice = dialogs_.chooseExport(suggested);
    if (!choice)
        return;
    ExportRequest request;
    request.path = choice->path;
    request.split = choice->split;
    checkRequest(request);

    Session copy = session_;
    const std::vector<std::size_t> headings = markedHeadings(copy.text(), copy.document().headings);
    copy.setSelStart(copy.headingSearch() && !headings.empty() ? headings.front() : 0);
    auto job = std::make_unique<AudioExport>(std::move(copy), std::move(request), exportSetup_);
    const std::string target = choice->split ? chapterFolderOf(choice->path) : choice->path;
    auto setUpVoice = [voice = session_.voiceIndex()](SpeechEngine& engine, Session& session) {
        applyVoiceChoice(engine, session, voice);
    };
    export_ =
        std::make_unique<BackgroundExport>(this, std::move(job), std::move(setUpVoice),
                                           [this, target](const std::optional<std::string>& failure, bool cancelled) {
                                               // Later, from the event loop: the export is
                                               // still inside this call, and a message box
                                               // runs events of its own.
                                               QMetaObject::invokeMethod(
                                                   this,
                                                   [this, target, failure, cancelled] {
                                                       export_.reset();
                                                       if (cancelled)
                                                           return;
                                                       if (failure)
                                                           dialogs_.showError(errorBoxText(*failure));
                                                       else
                                                           dialogs_.showInfo("音声ファイルを書き出しました: " + target);
                                                   },
                                                   Qt::QueuedConnection);
                                           });
}

void MainWindow::speedChanged()
{
    tts_.setRate(session_.speed());
}

} // namespace kven
