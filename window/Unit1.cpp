#include "window/Unit1.h"

#include "files/Errors.h"
#include "files/Paths.h"
#include "intake/HTMLconv.h"
#include "text/Cp932.h"
#include "window/VoiceBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFutureWatcher>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QWindowStateChangeEvent>
#include <QtConcurrent/QtConcurrentRun>

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

} // namespace

TForm1::TForm1(SpeechEngine& tts, WindowDialogs& dialogs, Clipboard& clipboard, Waiter& waiter,
               std::vector<std::string> args)
    : Memo1(new QPlainTextEdit), OpenDialog1(dialogs), TTS(tts), dialogs_(dialogs), clipboard_(clipboard),
      args_(std::move(args)), editorText_(*Memo1), bookmarks_(*this, shared_),
      settings_(*this, dialogs, settingsFilePath()), intake_(*this, shared_, OpenDialog1, bookmarks_, PzConv1),
      reader_(*this, shared_, tts, waiter), resizeToggle_(*this, *Memo1, QSize(kClientWidth, kClientHeight))
{
    PzConv1.JisByteCodeType = btAscii;
    PzConv1.JisKanaConvType = ktZenWithDaku;
    createControls();
    createMenu();
    bindEvents();
    runShowingErrors([this] { FormCreate(this); });
}

TForm1::~TForm1()
{
    TTS.setOnEndStream({});
    TTS.setOnStreamFailed({});
}

void TForm1::bindEvents()
{
    using Handler = void (TForm1::*)(QObject*);
    const std::pair<QPushButton*, Handler> clicks[] = {
        {Button1, &TForm1::Button1Click}, {Button2, &TForm1::Button2Click}, {Button3, &TForm1::Button3Click},
        {Button4, &TForm1::Button4Click}, {Button5, &TForm1::Button5Click}, {Button6, &TForm1::Button6Click},
        {Button7, &TForm1::Button7Click}, {Button9, &TForm1::Button9Click}, {Button10, &TForm1::Button10Click}};
    // Plain copies, not structured bindings: the lambdas capture them.
    for (const auto& click : clicks) {
        QPushButton* const button = click.first;
        const Handler handler = click.second;
        connect(button, &QPushButton::clicked, this,
                [this, button, handler] { runShowingErrors([&] { (this->*handler)(button); }); });
    }
    const std::pair<QAction*, Handler> triggers[] = {
        {Start1, &TForm1::Button1Click},      {Open1, &TForm1::Button2Click},  {Quit1, &TForm1::Button3Click},
        {Stop1, &TForm1::Button4Click},       {Paste1, &TForm1::Button7Click}, {Again1, &TForm1::Again1Click},
        {Previous1, &TForm1::Previous1Click}, {Next1, &TForm1::Next1Click},    {WordsEdit1, &TForm1::WordsEdit1Click},
        {Export1, &TForm1::Export1Click}};
    for (const auto& trigger : triggers) {
        QAction* const action = trigger.first;
        const Handler handler = trigger.second;
        connect(action, &QAction::triggered, this,
                [this, action, handler] { runShowingErrors([&] { (this->*handler)(action); }); });
    }

    connect(ComboBox1, &QComboBox::activated, this,
            [this] { runShowingErrors([this] { ComboBox1Change(ComboBox1); }); });
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        completeTypedVoice(*ComboBox1, typed);
        runShowingErrors([this] { ComboBox1Change(ComboBox1); });
    });
    connect(ScrollBar3, &QScrollBar::valueChanged, this,
            [this] { runShowingErrors([this] { ScrollBar3Change(ScrollBar3); }); });
    connect(Memo5, &QPlainTextEdit::textChanged, this, [this] { ++listsRevision_; });

    TTS.setOnEndStream([this](int stream, std::int64_t position) {
        runShowingErrors([&] { TTSEndStream(nullptr, stream, position); });
    });
    TTS.setOnStreamFailed([this](int stream) {
        reader_.TTSStreamFailed(stream);
        markSpokenChunk();
    });
}

bool TForm1::runShowingErrors(const std::function<void()>& command)
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

void TForm1::FormCreate(QObject*)
{
    settings_.startupRead([this](int storedVoice) { setUpVoices(storedVoice); });
    keepOnScreen();
    loadWords();
    setSelStart(0);
    setSelLength(0);
    shared_.currentPath.clear();
    shared_.currentFile.clear();
    resizeToggle_.restart();
    shared_.lastSpoken.clear();
    if (!args_.empty())
        intake_.loadFromCommandLine(args_);
}

void TForm1::setUpVoices(int storedVoice)
{
    voiceHandles_ = setUpVoiceList(TTS, *this, storedVoice, NegativeVoiceIndex::selectsNothing);
}

void TForm1::FormShow(QObject*)
{
    if (args_.empty())
        return;
    if (wordsLoading_)
        startWithWords_ = true;
    else
        Button1Click(this);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // Showing the window is its first size notification.
    runShowingErrors([this] { FormResize(this); });
    runShowingErrors([this] { FormShow(this); });
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !shownOnce_)
        return;
    if (ResizeToggle::notifies(static_cast<QWindowStateChangeEvent*>(event)->oldState(), windowState()))
        runShowingErrors([this] { FormResize(this); });
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (shownOnce_)
        resizeToggle_.resized();
}

void TForm1::FormResize(QObject*)
{
    resizeToggle_.toggle();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (runShowingErrors([&] { FormClose(this, event); }))
        event->accept();
    else
        event->ignore();
}

void TForm1::FormClose(QObject*, QCloseEvent*)
{
    // An export still running stops with the window, leaving no file.
    export_.reset();
    Closing();
    // The list gives back its references once; it is not used again.
    voiceHandles_.clear();
}

void TForm1::Closing()
{
    bookmarks_.Closing();
}

void TForm1::Button3Click(QObject*)
{
    close();
}

// --- Reading control ---

void TForm1::markSpokenChunk()
{
    if (startEnabled()) {
        Memo1->setExtraSelections({});
        return;
    }
    // The step has moved the cursor past the chunk it handed to the engine; the chunk stays
    // marked while it is spoken.
    QTextEdit::ExtraSelection chunk;
    chunk.cursor = QTextCursor(Memo1->document());
    chunk.cursor.setPosition(editorText_.positionOf(chunkStart_));
    chunk.cursor.setPosition(editorText_.positionOf(chunkEnd_), QTextCursor::KeepAnchor);
    chunk.format.setBackground(Memo1->palette().brush(QPalette::Active, QPalette::Highlight));
    chunk.format.setForeground(Memo1->palette().brush(QPalette::Active, QPalette::HighlightedText));
    Memo1->setExtraSelections({chunk});
}

void TForm1::Button1Click(QObject*)
{
    // The listener's own Start or Stop overrides the start that waits for the dictionary.
    startWithWords_ = false;
    reader_.Button1Click();
    markSpokenChunk();
}

void TForm1::Button4Click(QObject*)
{
    startWithWords_ = false;
    reader_.Button4Click();
    Memo1->setExtraSelections({});
}

void TForm1::TTSEndStream(QObject*, int StreamNumber, std::int64_t StreamPosition)
{
    reader_.TTSEndStream(StreamNumber, StreamPosition);
    markSpokenChunk();
}

void TForm1::Button7Click(QObject*)
{
    Memo1->setExtraSelections({});
    reader_.Button7Click(bookmarks_, clipboard_);
    markSpokenChunk();
}

void TForm1::Again1Click(QObject*)
{
    reader_.again();
    markSpokenChunk();
}

void TForm1::Previous1Click(QObject*)
{
    reader_.previous();
    markSpokenChunk();
}

void TForm1::Next1Click(QObject*)
{
    reader_.next();
    markSpokenChunk();
}

void TForm1::moveChunks(int chunks)
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

void TForm1::Button2Click(QObject*)
{
    intake_.Button2Click();
}

void TForm1::openDropped(const std::string& path)
{
    OpenDialog1.dropped = path;
    runShowingErrors([this] { Button2Click(this); });
    OpenDialog1.dropped.reset();
}

void TForm1::HTMLconv()
{
    std::string converted = text();
    kven::HTMLconv(converted, PzConv1);
    setText(std::move(converted));
}

void TForm1::Resume()
{
    intake_.Resume();
}

void TForm1::Button9Click(QObject*)
{
    // The reading dictionary is one of the lists Reload reads again.
    if (settings_.Button9Click())
        loadWords();
    keepOnScreen();
}

void TForm1::Button10Click(QObject*)
{
    settings_.Button10Click();
}

// --- Skip list, voices, speed ---

void TForm1::Button5Click(QObject*)
{
    const std::optional<std::string> entry =
        dialogs_.inputText("SkipList", "追加する文字列を入力してください", kMaxSkipEntryLength);
    if (entry && !entry->empty())
        addSkipEntry(cp932::fromUtf8(*entry));
}

void TForm1::Button6Click(QObject*)
{
    const int row = ListBox1->currentRow();
    if (row < 0 || ListBox1->selectedItems().isEmpty())
        return;
    delete ListBox1->takeItem(row);
    skipEntries_.erase(skipEntries_.begin() + row);
    ++listsRevision_;
}

void TForm1::ComboBox1Change(QObject*)
{
    const int index = ComboBox1->currentIndex();
    // Nothing selected (no voice installed, a stored index below 0, or the box's text
    // erased): the engine keeps the voice it has.
    if (index < 0 || index >= static_cast<int>(voiceHandles_.size()))
        return;
    const VoiceHandle voice = voiceHandles_[static_cast<std::size_t>(index)];
    TTS.setVoice(voice);
}

void TForm1::loadWords()
{
    const std::string path = wordsFilePath();
    const std::uint64_t load = ++wordsLoads_;
    wordsLoading_ = false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size <= kWordsReadAtOnce) {
        useWords(readWordsFile(path));
        if (std::exchange(startWithWords_, false) && startEnabled())
            Button1Click(this);
        return;
    }
    auto* watcher = new QFutureWatcher<WordsFile>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, load] {
        watcher->deleteLater();
        if (load != wordsLoads_)
            return;
        wordsLoading_ = false;
        runShowingErrors([this, watcher] { useWords(watcher->result()); });
        // Reading that the start was to begin waited for the dictionary, so that its first
        // chunks are said with it.
        if (std::exchange(startWithWords_, false) && startEnabled())
            runShowingErrors([this] { Button1Click(this); });
    });
    wordsLoading_ = true;
    watcher->setFuture(QtConcurrent::run([path] { return readWordsFile(path); }));
}

void TForm1::useWords(WordsFile words)
{
    shared_.words = std::move(words.dictionary);
    // Its broken lines matter only to a listener who has the dictionary read.
    if (wordReadings() && !words.problems.empty()) {
        std::string message;
        for (const std::string& problem : words.problems)
            message += (message.empty() ? "" : "\n") + problem;
        dialogs_.showError(errorBoxText(message));
    }
}

void TForm1::WordsEdit1Click(QObject*)
{
    if (wordsEditor_ == nullptr)
        wordsEditor_ = new WordsEditor(this, wordsFilePath(), dialogs_, [this] { loadWords(); });
    wordsEditor_->openFile();
}

void TForm1::Export1Click(QObject*)
{
    if (export_) {
        export_->dialog()->show();
        export_->dialog()->raise();
        return;
    }
    // The document's name with the extension of the format that suits speech best.
    std::string suggested = shared_.currentFile;
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

    MemoryWindowState copy = MemoryWindowState::copyOf(*this);
    const std::vector<std::size_t> headings = markedHeadings(text(), shared_.headings);
    copy.setSelStart(headingSearch() && !headings.empty() ? headings.front() : 0);
    auto job = std::make_unique<AudioExport>(std::move(copy), shared_, std::move(request), exportSetup_);
    const std::string target = choice->split ? chapterFolderOf(choice->path) : choice->path;
    auto setUpVoice = [voice = voiceIndex()](SpeechEngine& engine, WindowState& window) {
        if (window.speed() != 0)
            engine.setRate(window.speed());
        setUpVoiceList(engine, window, voice, NegativeVoiceIndex::selectsFirst);
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

void TForm1::ScrollBar3Change(QObject*)
{
    TTS.setRate(ScrollBar3->value());
}

} // namespace kven
