#include "window/QtDesktop.h"

#include "files/Errors.h"
#include "window/AccessibleNames.h"
#include "window/ExportDialog.h"
#include "window/InterfaceText.h"
#include "window/Layout.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

namespace kven {

void useJapaneseDialogs(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
    QFont font = QApplication::font();
    font.setFamilies(japaneseFamilies());
    QApplication::setFont(font);
}

bool QtDialogs::confirm(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8("確認"), QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.addButton(QString::fromUtf8("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok;
}

std::optional<std::string> QtDialogs::chooseFile(const std::string& initialFolder)
{
    // Every file stays on offer first; the second filter narrows the list to the formats read.
    const QString filters = interfaceText(QT_TRANSLATE_NOOP("KVEN", "All files")) + QStringLiteral(" (*);;") +
                            interfaceText(QT_TRANSLATE_NOOP("KVEN", "Documents")) +
                            QStringLiteral(" (*.txt *.TXT *.htm *.html *.HTM *.HTML *.epub *.EPUB *.zip *.ZIP)");
    QFileDialog dialog(parent_, QString(), QString::fromStdString(initialFolder), filters);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Qt's own dialog leaves two of its labels unbound to the lists they name.
    for (const char* name : {"lookIn", "fileType"}) {
        auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name) + QStringLiteral("Label"));
        auto* list = dialog.findChild<QComboBox*>(QString::fromLatin1(name) + QStringLiteral("Combo"));
        if (label != nullptr && list != nullptr && label->buddy() == nullptr)
            label->setBuddy(list);
    }
    nameControlParts(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtDialogs::inputText(const std::string& caption, const std::string& prompt, int maxLength)
{
    QInputDialog dialog(parent_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(QString::fromStdString(caption));
    dialog.setLabelText(QString::fromStdString(prompt));
    dialog.setTextValue(QString());
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QString::fromUtf8("キャンセル"));
    if (auto* field = dialog.findChild<QLineEdit*>())
        field->setMaxLength(maxLength);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

std::optional<ExportChoice> QtDialogs::chooseExport(const std::string& suggested)
{
    return askExport(parent_, suggested);
}

void QtDialogs::showError(const std::string& message)
{
    QMessageBox::critical(parent_, QApplication::applicationName(), QString::fromStdString(message));
}

void QtDialogs::showError(const std::string& message, const std::string& detail)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), QString::fromStdString(message),
                    QMessageBox::Ok, parent_);
    box.setInformativeText(QString::fromStdString(detail));
    box.exec();
}

WindowDialogs::UnsavedEdits QtDialogs::askUnsavedEdits(const std::string& message)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), QString::fromStdString(message),
                    QMessageBox::NoButton, parent_);
    QPushButton* save = box.addButton(QString::fromUtf8("保存"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QString::fromUtf8("破棄"), QMessageBox::DestructiveRole);
    QPushButton* keep = box.addButton(QString::fromUtf8("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() == save)
        return UnsavedEdits::save;
    return box.clickedButton() == discard ? UnsavedEdits::discard : UnsavedEdits::keepEditing;
}

void QtDialogs::showInfo(const std::string& message)
{
    QMessageBox::information(parent_, QApplication::applicationName(), QString::fromStdString(message));
}

void QtDialogs::showExported(const std::string& message, const std::string& folder)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationName(), QString::fromStdString(message),
                    QMessageBox::Ok, parent_);
    QPushButton* open = box.addButton(QStringLiteral("フォルダーを開く"), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() != open)
        return;
    const QString path = QString::fromStdString(folder);
    // The opener may fail after this has returned: the notice then comes by itself.
    openFolder(path, [parent = parent_, path] {
        auto* failed = new QMessageBox(
            QMessageBox::Warning, QApplication::applicationName(),
            QStringLiteral("フォルダーを開けませんでした。フォルダーを開くアプリが見つかりません。\n%1").arg(path),
            QMessageBox::Ok, parent);
        failed->setAttribute(Qt::WA_DeleteOnClose);
        failed->open();
    });
}

void openFolder(const QString& folder, std::function<void()> failed)
{
    // The desktop's opener says only by its exit whether anything could open the folder.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
            failed();
        return;
    }
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, [process, failed](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status != QProcess::NormalExit || code != 0)
            failed();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        failed();
    });
    process->start(opener, {folder});
}

std::string QtClipboard::text() const
{
    return QGuiApplication::clipboard()->text().toStdString();
}

namespace {

// A task of the event loop: its failure goes to `report` instead of ending the loop.
std::function<void()> reporting(std::function<void()> task, std::function<void(const std::string&)> report)
{
    return [task = std::move(task), report = std::move(report)] {
        try {
            task();
        } catch (const KvenError& e) {
            // What to do goes on a line of its own below what failed.
            if (report)
                report(errorBoxText(e.what()) + (e.detail().empty() ? "" : "\n" + errorBoxText(e.detail())));
        } catch (const std::exception& e) {
            if (report)
                report(errorBoxText(e.what()));
        }
    };
}

} // namespace

void QtEventPoster::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(&context_, reporting(std::move(task), report_), Qt::QueuedConnection);
}

void QtTimerWaiter::after(int milliseconds, std::function<void()> then)
{
    QTimer::singleShot(milliseconds, &context_, reporting(std::move(then), report_));
}

} // namespace kven
