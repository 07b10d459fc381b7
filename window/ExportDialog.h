#pragma once
// The window's audiobook export: the dialog that asks for the file, its format and whether
// to split it by chapter, and the export itself, run on a thread of its own under a progress
// dialog, so that the window stays responsive and can read aloud meanwhile.

#include "export/AudioExport.h"
#include "state/DialogsAndClipboard.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QProgressDialog;
class QTimer;
class QWidget;

namespace kven {

// The export dialog "音声ファイルに書き出す": the file name with a browse button, the format
// (which sets the name's extension, and which a typed extension sets) and "章ごとにファイルを分ける".
std::optional<ExportChoice> askExport(QWidget* parent, const std::string& suggested);

// One export in the background, under the progress dialog "音声ファイルに書き出す" (percent,
// time so far, time left, and "中止" to cancel).
class BackgroundExport : public QObject {
public:
    // On the main thread once the export has ended: nothing when every file is in place,
    // else the message of the failure; `cancelled` when a cancel stopped it, leaving no file.
    // The object may be destroyed only after this call has returned.
    using Done = std::function<void(const std::optional<std::string>& failure, bool cancelled)>;

    // Starts the export at once.
    BackgroundExport(QWidget* parent, std::unique_ptr<AudioExport> job, AudioExport::VoiceSetUp setUpVoice, Done done);
    // Cancels an export still running and waits for its thread.
    ~BackgroundExport() override;

    void cancel();
    QProgressDialog* dialog() const;
    const AudioExport& job() const { return *job_; }

private:
    void poll();

    std::unique_ptr<AudioExport> job_;
    Done done_;
    // Written by the thread before it sets finished_.
    std::optional<std::string> failure_;
    bool completed_ = false; // every file in place, whatever a late cancel said
    std::atomic<bool> finished_{false};
    std::thread thread_;
    QPointer<QProgressDialog> dialog_;
    QTimer* timer_ = nullptr;
    bool reported_ = false;
};

} // namespace kven
