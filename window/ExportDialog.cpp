#include "window/ExportDialog.h"

#include "window/AccessibleNames.h"

#include "export/EncoderSinks.h"
#include "files/Errors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace kven {
namespace {

struct FormatEntry {
    AudioFormat format;
    const char* label;
};

constexpr FormatEntry kFormats[] = {
    {AudioFormat::opus, "Opus (.opus)"}, {AudioFormat::mp3, "MP3 (.mp3)"}, {AudioFormat::vorbis, "Ogg Vorbis (.ogg)"},
    {AudioFormat::flac, "FLAC (.flac)"}, {AudioFormat::wav, "WAV (.wav)"},
};

// `path` with the extension of `format` in place of the extension of a format, or after it when
// it has none: "vol.2" is a name, not a format.
QString withExtension(const QString& path, AudioFormat format)
{
    const QString extension = QString::fromLatin1(extensionOf(format));
    const std::optional<AudioFormat> named = audioFormatOf(path.toStdString());
    if (named == format)
        return path;
    if (!named)
        return path + extension;
    const QFileInfo info(path);
    return path.left(path.size() - info.suffix().size() - 1) + extension;
}

} // namespace

std::optional<ExportChoice> askExport(QWidget* parent, const std::string& suggested)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setWindowTitle(QStringLiteral("音声ファイルに書き出す"));
    auto* path = new QLineEdit(QString::fromStdString(suggested));
    path->setObjectName(QStringLiteral("ExportPath"));
    path->setMinimumWidth(360);
    path->setAccessibleName(QStringLiteral("ファイル"));
    auto* browse = new QPushButton(QStringLiteral("参照…"));
    auto* format = new QComboBox;
    format->setObjectName(QStringLiteral("ExportFormat"));
    for (const FormatEntry& entry : kFormats)
        if (canWrite(entry.format))
            format->addItem(QString::fromLatin1(entry.label), static_cast<int>(entry.format));
    if (const std::optional<AudioFormat> named = audioFormatOf(suggested))
        format->setCurrentIndex(std::max(0, format->findData(static_cast<int>(*named))));
    auto* split = new QCheckBox(QStringLiteral("章ごとにファイルを分ける"));
    split->setObjectName(QStringLiteral("ExportSplit"));

    const auto chosenFormat = [format] { return static_cast<AudioFormat>(format->currentData().toInt()); };
    QObject::connect(format, &QComboBox::currentIndexChanged, &dialog,
                     [path, chosenFormat] { path->setText(withExtension(path->text(), chosenFormat())); });
    // A name typed with the extension of a format chooses that format.
    QObject::connect(path, &QLineEdit::textEdited, &dialog, [format](const QString& text) {
        if (const std::optional<AudioFormat> named = audioFormatOf(text.trimmed().toStdString()))
            if (const int index = format->findData(static_cast<int>(*named)); index >= 0)
                format->setCurrentIndex(index);
    });
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, path, format, chosenFormat] {
        QStringList filters;
        for (int i = 0; i < format->count(); ++i)
            filters << format->itemText(i);
        QString filter = format->currentText();
        const QString chosen = QFileDialog::getSaveFileName(&dialog, QStringLiteral("音声ファイルに書き出す"),
                                                            path->text(), filters.join(QStringLiteral(";;")), &filter);
        if (chosen.isEmpty())
            return;
        // The extension of the name chosen, else the filter, names the format.
        const std::optional<AudioFormat> named = audioFormatOf(chosen.toStdString());
        const int typed = named ? format->findData(static_cast<int>(*named)) : -1;
        format->setCurrentIndex(typed >= 0 ? typed : std::max(0, format->findText(filter)));
        path->setText(withExtension(chosen, chosenFormat()));
    });

    auto* row = new QHBoxLayout;
    row->addWidget(path);
    row->addWidget(browse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("ファイル"), row);
    form->addRow(QStringLiteral("形式"), format);
    form->addRow(split);
    form->addRow(buttons);
    nameControlParts(dialog);

    if (dialog.exec() != QDialog::Accepted || path->text().trimmed().isEmpty())
        return std::nullopt;
    return ExportChoice{withExtension(path->text().trimmed(), chosenFormat()).toStdString(), split->isChecked()};
}

BackgroundExport::BackgroundExport(QWidget* parent, std::unique_ptr<AudioExport> job,
                                   AudioExport::VoiceSetUp setUpVoice, Done done)
    : job_(std::move(job)), done_(std::move(done))
{
    dialog_ =
        new QProgressDialog(QStringLiteral("書き出しの準備をしています…"), QStringLiteral("中止"), 0, 1000, parent);
    dialog_->setObjectName(QStringLiteral("ExportProgress"));
    dialog_->setWindowTitle(QStringLiteral("音声ファイルに書き出す"));
    if (auto* bar = dialog_->findChild<QProgressBar*>())
        bar->setAccessibleName(QStringLiteral("書き出しの進み具合"));
    // Wide enough for the whole title beside the window buttons, which the window system
    // would otherwise cut, and for the figures of the label.
    dialog_->setMinimumWidth(std::max(360, dialog_->fontMetrics().horizontalAdvance(dialog_->windowTitle()) * 2 + 160));
    // Not modal: the window goes on reading aloud meanwhile.
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setValue(0);
    connect(dialog_, &QProgressDialog::canceled, this, [this] { cancel(); });
    dialog_->show();

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_->start(250);

    thread_ = std::thread([this, setUpVoice = std::move(setUpVoice)] {
        try {
            job_->run(setUpVoice);
            completed_ = true;
        } catch (const KvenError& e) {
            failure_ = e.what();
        } catch (const std::exception& e) {
            failure_ = e.what();
        }
        finished_.store(true);
    });
}

BackgroundExport::~BackgroundExport()
{
    job_->cancel();
    if (thread_.joinable())
        thread_.join();
    if (dialog_)
        dialog_->deleteLater();
}

QProgressDialog* BackgroundExport::dialog() const
{
    return dialog_;
}

void BackgroundExport::cancel()
{
    job_->cancel();
    if (dialog_)
        dialog_->setLabelText(QStringLiteral("中止しています…"));
}

void BackgroundExport::poll()
{
    if (finished_.load()) {
        if (reported_)
            return;
        reported_ = true;
        timer_->stop();
        thread_.join();
        if (dialog_)
            dialog_->hide();
        const bool cancelled = !completed_ && job_->cancelled();
        const Done done = done_;
        done(cancelled || completed_ ? std::nullopt : failure_, cancelled);
        return;
    }
    if (job_->cancelled() || !dialog_)
        return;
    const AudioExport::Status status = job_->status();
    // The bar and the label show one figure, rounded once.
    const int permille = static_cast<int>(std::lround(status.done * 1000));
    const QString share = QString::number(permille / 10.0, 'f', 1) + QStringLiteral("%");
    if (auto* bar = dialog_->findChild<QProgressBar*>())
        bar->setFormat(share);
    dialog_->setValue(permille);
    const QString left = status.left ? QString::fromStdString(clockText(*status.left)) : QStringLiteral("?");
    QString label =
        QStringLiteral("%1　経過 %2　残り %3").arg(share, QString::fromStdString(clockText(status.elapsed)), left);
    // A resumed export says what it kept, for as long as it runs.
    if (status.takenOver)
        for (const std::string& line : takenOverText(*status.takenOver))
            label += QStringLiteral("\n") + QString::fromStdString(line);
    dialog_->setLabelText(label);
}

} // namespace kven
