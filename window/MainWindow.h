#pragma once
// The main window: its controls and menus (window/MainControls), the commands bound to their
// events, and the reading session they show (window/SessionBinding). The handlers call the reading,
// intake and settings code; the window's own commands are Quit, Add, Del, the resize toggle
// and the close handling.
//
// Handlers throw KvenError like every command; the bindings to Qt's events catch it, end the
// command there and show the standard error box, so no error leaves a Qt event handler.

#include "intake/Bookmarks.h"
#include "intake/Intake.h"
#include "reading/Reader.h"
#include "reading/Waiter.h"
#include "settings/DictionaryFile.h"
#include "settings/SettingsFile.h"
#include "speech/OpenJTalk.h"
#include "speech/SpeechEngine.h"
#include "state/DialogsAndClipboard.h"
#include "state/Session.h"
#include "text/EucJp.h"
#include "window/ChapterMenu.h"
#include "window/DictionaryEditor.h"
#include "window/DictionaryLoader.h"
#include "window/ExportCommand.h"
#include "window/FileDrop.h"
#include "window/MainControls.h"
#include "window/ProgressLine.h"
#include "window/ReadingCommands.h"
#include "window/ReadingView.h"
#include "window/ResizeToggle.h"
#include "window/SessionBinding.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCloseEvent;

namespace kven {

class MainWindow : public QMainWindow {
public:
    // `args` are the program's arguments after its name. The creation sequence runs as the
    // last act of construction; its errors are shown in the error box.
    MainWindow(SpeechEngine& tts, WindowDialogs& dialogs, Clipboard& clipboard, Waiter& waiter,
               std::vector<std::string> args);
    ~MainWindow() override;

    // Start, Stop, Paste, Again, Previous, Next and Quit, whatever asks for them.
    ReadingCommands& commands() { return commands_; }
    // The reading session the window shows.
    Session& session() { return session_; }
    const Session& session() const { return session_; }
    // The status line, whose pace gives the times of the text.
    const ProgressLine& progress() const { return *progress_; }
    // The clock the pace of reading is measured by (tests give their own).
    void setPaceClock(std::function<ReadingPace::Clock::time_point()> now) { progress_->setClock(std::move(now)); }

    // The end of an utterance, as the engine reports it.
    void endOfStream(int stream, std::int64_t position);
    // Loads `path` as Open does with that file chosen: the bookmark of the document being
    // left is written first.
    void openDropped(const std::string& path);

    // Writes the bookmark as closing does, unless the close handling has done so: the session
    // is ending with the window still open. An error goes to the error box.
    void keepBookmark();

    // The export running, if any.
    BackgroundExport* runningExport() const { return exporter_.running(); }
    // The synthesizer set-up of exports (tests give their own).
    void setExportSetup(OpenJTalkSetup setup) { exporter_.setSetup(std::move(setup)); }
    bool recordedMaximized() const { return resizeToggle_.recordedMaximized(); }
    int firstResize() const { return resizeToggle_.firstResize(); }
    // The book view that takes the editor's place when it is on.
    ReadingView& readingView() { return *readingView_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // The commands, each bound to its button, menu item or function key.
    void start();
    void stop();
    void pause();
    // Next `chunks` times, or Previous for a negative count, as one command: the desktop's
    // media controls merge a flood of them.
    void moveChunks(int chunks);
    void openDocument();
    // Runs `load`, a load through intake, and shows what intake warned of on the status line,
    // also when the bookmark lookup after the load failed.
    void loadShowingWarnings(const std::function<void()>& load);
    void reload();
    void askSkipEntry();
    void deleteSkipEntry();
    void voiceChosen();
    void speedChanged();
    // "読み替え辞書を編集(&D)…": the dictionary editor, opened with the file as it is now.
    void editDictionary();
    // The creation sequence, the first show, a size notification and the close.
    void onCreate();
    void onShow();
    void onResize();
    void onClose();

    void bindSession();
    void bindEvents();
    void addReadingView();
    // Brings the window to the front, out of the task bar when minimized.
    void raiseWindow();
    void setUpVoices(int storedVoice);
    // Runs a command as the application's top level does: an error ends it and is shown in
    // the standard error box. Returns false when the command failed.
    bool runShowingErrors(const std::function<void()>& command);
    // The reading dictionary read for the steps to come; its broken lines go to the error box.
    void useDictionary(DictionaryFile words);

    SpeechEngine& tts_;
    WindowDialogs& dialogs_;
    Clipboard& clipboard_;
    EucJp eucJp_;
    MainControls ui_;
    // The Open dialog, which also takes a file dropped on the window as its answer.
    OpenDialogWithDrop openDialog_;
    std::vector<std::string> args_;
    Session session_;
    std::unique_ptr<SessionBinding> binding_;
    Session::Subscription speedSubscription_;
    std::unique_ptr<ProgressLine> progress_;
    Bookmarks bookmarks_;
    SettingsFile settings_;
    DocumentIntake intake_;
    Reader reader_;
    ResizeToggle resizeToggle_;
    ReadingCommands commands_;

    std::vector<VoiceHandle> voiceHandles_;
    bool shownOnce_ = false;
    DictionaryEditor* dictionaryEditor_ = nullptr; // made on first use, owned by the window
    // The close handling has written the bookmark; the window is going.
    bool closed_ = false;
    DictionaryLoader words_;
    // Reading waits for the dictionary being read to start.
    bool startWithDictionary_ = false;
    ExportCommand exporter_;
    ChapterMenu* chapterMenu_ = nullptr; // owned by the window
    ReadingView* readingView_ = nullptr; // owned by the window
    // The English pronunciations, read on a thread of their own from the start when the option
    // is on: the first show does not wait for them, and closing waits for the thread.
    std::future<void> englishLoad_;
    // The same for the synthesizer's analysis, when a reading option needs it.
    std::future<void> analysisLoad_;
};

} // namespace kven
