// The window state the logic works on, over the window's controls.

#include "window/MainWindow.h"

#include "text/Cp932.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>

namespace kven {

namespace {

// Entry height of the skip list and of the voice list's drop-down.
constexpr int kEntryHeight = 16;

QString fromSjis(std::string_view sjis)
{
    return QString::fromStdString(cp932::toUtf8(sjis));
}

void addListEntry(QListWidget& list, const QString& text)
{
    auto* item = new QListWidgetItem(text, &list);
    item->setSizeHint(QSize(0, kEntryHeight));
}

} // namespace

const std::string& MainWindow::text() const
{
    return editorText_.text();
}

void MainWindow::setText(std::string text)
{
    editor->setExtraSelections({});
    editorText_.setText(std::move(text));
}

std::size_t MainWindow::selStart() const
{
    return editorText_.selStart();
}

void MainWindow::setTextFromUtf8(const std::string& utf8)
{
    editor->setExtraSelections({});
    editor->setPlainText(QString::fromStdString(utf8));
}

void MainWindow::setSelStart(std::size_t pos)
{
    editorText_.setSelStart(pos);
}

std::size_t MainWindow::selLength() const
{
    return editorText_.selLength();
}

void MainWindow::setSelLength(std::size_t len)
{
    editorText_.setSelLength(len);
    // The reading step selects each chunk before it says it.
    chunkStart_ = editorText_.selStart();
    chunkEnd_ = chunkStart_ + editorText_.selLength();
}

bool MainWindow::startEnabled() const
{
    return startButton->isEnabled();
}

void MainWindow::setStartEnabled(bool on)
{
    startButton->setEnabled(on);
    commands_.readingStateMayHaveChanged();
}

bool MainWindow::stopEnabled() const
{
    return stopButton->isEnabled();
}

void MainWindow::setStopEnabled(bool on)
{
    stopButton->setEnabled(on);
    commands_.readingStateMayHaveChanged();
}

bool MainWindow::aozoraRuby() const
{
    return aozoraRubyBox->isChecked();
}

void MainWindow::setAozoraRuby(bool on)
{
    aozoraRubyBox->setChecked(on);
}

bool MainWindow::aaSkip() const
{
    return aaSkipBox->isChecked();
}

void MainWindow::setAaSkip(bool on)
{
    aaSkipBox->setChecked(on);
}

bool MainWindow::headingSearch() const
{
    return headingSearchBox->isChecked();
}

void MainWindow::setHeadingSearch(bool on)
{
    headingSearchBox->setChecked(on);
}

bool MainWindow::repeatSuppression() const
{
    return repeatBox->isChecked();
}

void MainWindow::setRepeatSuppression(bool on)
{
    repeatBox->setChecked(on);
}

bool MainWindow::silentNotes() const
{
    return notesAction->isChecked();
}

void MainWindow::setSilentNotes(bool on)
{
    notesAction->setChecked(on);
}

bool MainWindow::wordReadings() const
{
    return wordsAction->isChecked();
}

void MainWindow::setWordReadings(bool on)
{
    wordsAction->setChecked(on);
}

int MainWindow::unreadLimit() const
{
    return unreadLimitBar->value();
}

void MainWindow::setUnreadLimit(int pos)
{
    unreadLimitBar->setValue(pos);
}

int MainWindow::blankLimit() const
{
    return blankLimitBar->value();
}

void MainWindow::setBlankLimit(int pos)
{
    blankLimitBar->setValue(pos);
}

int MainWindow::speed() const
{
    return speedBar->value();
}

void MainWindow::setSpeed(int pos)
{
    // From code the handler runs directly, so that its error reaches the caller (the
    // creation sequence ends there) instead of the error box of a user's change.
    const int before = speedBar->value();
    {
        const QSignalBlocker block(speedBar);
        speedBar->setValue(pos);
    }
    if (speedBar->value() != before)
        speedChanged(this);
}

void MainWindow::setSkipList(std::vector<std::string> entries)
{
    skipListBox->clear();
    for (const std::string& entry : entries)
        addListEntry(*skipListBox, fromSjis(entry));
    skipEntries_ = std::move(entries);
    ++listsRevision_;
}

void MainWindow::addSkipEntry(std::string entry)
{
    addListEntry(*skipListBox, fromSjis(entry));
    skipEntries_.push_back(std::move(entry));
    ++listsRevision_;
}

const std::string& MainWindow::talkSymbols() const
{
    return talkText_->text();
}

void MainWindow::setTalkSymbols(std::string text)
{
    talkText_->setText(std::move(text));
    ++listsRevision_;
}

std::string MainWindow::caption() const
{
    return windowTitle().toStdString();
}

void MainWindow::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

int MainWindow::voiceIndex() const
{
    return voiceBox->currentIndex();
}

void MainWindow::setVoiceIndex(int index)
{
    const QSignalBlocker block(voiceBox);
    voiceBox->setCurrentIndex(index >= 0 && index < voiceBox->count() ? index : -1);
}

int MainWindow::voiceCount() const
{
    return voiceBox->count();
}

void MainWindow::setVoices(const std::vector<std::string>& descriptions)
{
    const QSignalBlocker block(voiceBox);
    voiceBox->clear();
    for (const std::string& description : descriptions) {
        voiceBox->addItem(fromSjis(description));
        voiceBox->setItemData(voiceBox->count() - 1, QSize(0, kEntryHeight), Qt::SizeHintRole);
    }
    voiceBox->setCurrentIndex(-1);
}

int MainWindow::windowLeft() const
{
    return x();
}

void MainWindow::setWindowLeft(int left)
{
    move(left, y());
}

int MainWindow::windowTop() const
{
    return y();
}

void MainWindow::setWindowTop(int top)
{
    move(x(), top);
}

void MainWindow::keepOnScreen()
{
    const QRect window(pos(), size());
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = window & screen->availableGeometry();
        if (seen.width() >= 100 && seen.height() >= 50)
            return;
    }
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

} // namespace kven
