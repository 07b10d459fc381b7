#pragma once
// "音声ファイルに書き出す…": asks for the file, then exports the whole document, wherever the
// cursor is, with the voice, speed and options in use, in the background. One export at a time: asked again meanwhile,
// it shows the running one's progress.

#include "speech/OpenJTalk.h"
#include "state/DialogsAndClipboard.h"
#include "state/Session.h"
#include "window/ExportDialog.h"

#include <memory>
#include <string>

class QWidget;

namespace kven {

class ExportCommand {
public:
    ExportCommand(QWidget& window, WindowDialogs& dialogs) : window_(window), dialogs_(dialogs) {}

    // Throws KvenError when the chosen file cannot be written.
    void run(const Session& session);
    // Stops an export still running, leaving no file.
    void cancel() { export_.reset(); }
    BackgroundExport* running() const { return export_.get(); }
    // The synthesizer set-up of exports (tests give their own).
    void setSetup(OpenJTalkSetup setup) { setup_ = std::move(setup); }

private:
    void finished(const std::string& target, const std::optional<std::string>& failure, bool cancelled);

    QWidget& window_;
    WindowDialogs& dialogs_;
    OpenJTalkSetup setup_ = OpenJTalkSetup::standard();
    std::unique_ptr<BackgroundExport> export_;
};

// The file an export suggests: the document's name with the extension of the format that
// suits speech best, or "KVEN" in the home folder for a text that is no document.
std::string suggestedExportFile(const Document& document);

} // namespace kven
