#include "window/DictionaryEditor.h"

#include "window/AccessibleNames.h"

#include "files/Errors.h"
#include "files/FileIo.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace kven {

DictionaryEditor::DictionaryEditor(QWidget* parent, std::string path, WindowDialogs& dialogs,
                                   std::function<void()> saved)
    : QDialog(parent), path_(std::move(path)), dialogs_(dialogs), saved_(std::move(saved))
{
    setObjectName(QStringLiteral("WordsEditor"));
    setWindowTitle(QStringLiteral("読み替え辞書"));
    setModal(false);
    text = new QPlainTextEdit;
    text->setObjectName(QStringLiteral("WordsText"));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    saveButton = new QPushButton(QStringLiteral("保存"));
    saveButton->setObjectName(QStringLiteral("WordsSave"));
    closeButton = new QPushButton(QStringLiteral("閉じる"));
    closeButton->setObjectName(QStringLiteral("WordsClose"));
    for (QPushButton* button : {saveButton, closeButton})
        button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
    resize(400, 420);
    text->setAccessibleName(windowTitle());
    nameControlParts(*this);
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

bool DictionaryEditor::openFile()
{
    if (isVisible() && text->document()->isModified()) {
        raise();
        activateWindow();
        return true;
    }
    std::string contents;
    if (readWholeFile(path_, kSmallFileLimit, contents) != ReadStatus::ok) {
        struct stat st {};
        if (::lstat(path_.c_str(), &st) == 0) {
            dialogs_.showError(errorBoxText(msgCannotOpen(path_)));
            return false;
        }
        contents.clear();
    }
    text->setPlainText(QString::fromStdString(contents));
    show();
    raise();
    activateWindow();
    return true;
}

bool DictionaryEditor::save()
{
    std::string contents = text->toPlainText().toStdString();
    if (!contents.empty() && contents.back() != '\n')
        contents += '\n';
    if (!writeFileAtomic(path_, contents)) {
        dialogs_.showError(errorBoxText(msgCannotCreate(path_)));
        return false;
    }
    text->document()->setModified(false);
    if (saved_)
        saved_();
    return true;
}

void DictionaryEditor::reject()
{
    if (text->document()->isModified()) {
        switch (dialogs_.askUnsavedEdits("読み替え辞書の変更を保存しますか？")) {
        case WindowDialogs::UnsavedEdits::save:
            if (!save())
                return;
            break;
        case WindowDialogs::UnsavedEdits::discard: text->document()->setModified(false); break;
        case WindowDialogs::UnsavedEdits::keepEditing: return;
        }
    }
    QDialog::reject();
}

} // namespace kven
