#include "window/ExportCommand.h"

#include "files/Errors.h"
#include "files/Paths.h"
#include "settings/VoiceChoice.h"

#include <QMetaObject>
#include <QProgressDialog>
#include <QWidget>

#include <cstdlib>
#include <filesystem>

namespace kven {

std::string suggestedExportFile(const Document& document)
{
    std::string suggested = document.file;
    if (suggested.empty()) {
        const char* home = std::getenv("HOME");
        suggested = inFolder(home != nullptr && *home != '\0' ? home : ".", "KVEN");
    } else if (const std::size_t stem = fileNameOf(suggested).size() - extensionOf(suggested).size(); stem > 0) {
        suggested.resize(suggested.size() - extensionOf(suggested).size());
    }
    return suggested + ".opus";
}

void ExportCommand::run(const Session& session)
{
    if (export_) {
        export_->dialog()->show();
        export_->dialog()->raise();
        return;
    }
    const std::optional<ExportChoice> choice = dialogs_.chooseExport(suggestedExportFile(session.document()));
    if (!choice)
        return;
    ExportRequest request;
    request.path = choice->path;
    request.split = choice->split;
    checkRequest(request);

    // The whole document, as kven-read exports it, wherever the cursor is.
    auto job = std::make_unique<AudioExport>(session, std::move(request), setup_);
    auto setUpVoice = [voice = session.voiceIndex()](SpeechEngine& engine, Session& exported) {
        applyVoiceChoice(engine, exported, voice);
    };
    const std::string target = choice->split ? chapterFolderOf(choice->path) : choice->path;
    export_ = std::make_unique<BackgroundExport>(
        &window_, std::move(job), std::move(setUpVoice),
        [this, target](const std::optional<std::string>& failure, bool cancelled) {
            // Later, from the event loop: the export is still inside this call, and a message
            // box runs events of its own.
            QMetaObject::invokeMethod(
                &window_, [this, target, failure, cancelled] { finished(target, failure, cancelled); },
                Qt::QueuedConnection);
        });
}

void ExportCommand::finished(const std::string& target, const std::optional<std::string>& failure, bool cancelled)
{
    // A cancel (the window closing) may have ended the export before this queued call came.
    const std::optional<TakenOver> taken = export_ ? export_->job().status().takenOver : std::nullopt;
    export_.reset();
    if (cancelled)
        return;
    if (failure) {
        dialogs_.showError(errorBoxText(*failure));
        return;
    }
    std::string message = "音声ファイルを書き出しました: " + target;
    // A resumed export says what it kept, which the progress dialog may have shown too briefly.
    if (taken)
        for (const std::string& line : takenOverText(*taken))
            message += "\n" + line;
    dialogs_.showExported(message, std::filesystem::is_directory(target) ? target : std::string(folderOf(target)));
}

} // namespace kven
