// The window state the logic works on, over the window's controls.

#include "window/Unit1.h"

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

const std::string& TForm1::text() const
{
    return editorText_.text();
}

void TForm1::setText(std::string text)
{
    Memo1->setExtraSelections({});
    editorText_.setText(std::move(text));
}

std::size_t TForm1::selStart() const
{
    return editorText_.selStart();
}

void TForm1::setTextFromUtf8(const std::string& utf8)
{
    Memo1->setExtraSelections({});
    Memo1->setPlainText(QString::fromStdString(utf8));
}

void TForm1::setSelStart(std::size_t pos)
{
    editorText_.setSelStart(pos);
}

std::size_t TForm1::selLength() const
{
    return editorText_.selLength();
}

void TForm1::setSelLength(std::size_t len)
{
    editorText_.setSelLength(len);
    // The reading step selects each chunk before it says it.
    chunkStart_ = editorText_.selStart();
    chunkEnd_ = chunkStart_ + editorText_.selLength();
}

bool TForm1::startEnabled() const
{
    return Button1->isEnabled();
}

void TForm1::setStartEnabled(bool on)
{
    Button1->setEnabled(on);
}

bool TForm1::stopEnabled() const
{
    return Button4->isEnabled();
}

void TForm1::setStopEnabled(bool on)
{
    Button4->setEnabled(on);
}

bool TForm1::aozoraRuby() const
{
    return CheckBox1->isChecked();
}

void TForm1::setAozoraRuby(bool on)
{
    CheckBox1->setChecked(on);
}

bool TForm1::aaSkip() const
{
    return CheckBox2->isChecked();
}

void TForm1::setAaSkip(bool on)
{
    CheckBox2->setChecked(on);
}

bool TForm1::headingSearch() const
{
    return CheckBox3->isChecked();
}

void TForm1::setHeadingSearch(bool on)
{
    CheckBox3->setChecked(on);
}

bool TForm1::repeatSuppression() const
{
    return CheckBox4->isChecked();
}

void TForm1::setRepeatSuppression(bool on)
{
    CheckBox4->setChecked(on);
}

bool TForm1::silentNotes() const
{
    return Notes1->isChecked();
}

void TForm1::setSilentNotes(bool on)
{
    Notes1->setChecked(on);
}

bool TForm1::wordReadings() const
{
    return Words1->isChecked();
}

void TForm1::setWordReadings(bool on)
{
    Words1->setChecked(on);
}

int TForm1::unreadLimit() const
{
    return ScrollBar1->value();
}

void TForm1::setUnreadLimit(int pos)
{
    ScrollBar1->setValue(pos);
}

int TForm1::blankLimit() const
{
    return ScrollBar2->value();
}

void TForm1::setBlankLimit(int pos)
{
    ScrollBar2->setValue(pos);
}

int TForm1::speed() const
{
    return ScrollBar3->value();
}

void TForm1::setSpeed(int pos)
{
    // From code the handler runs directly, so that its error reaches the caller (the
    // creation sequence ends there) instead of the error box of a user's change.
    const int before = ScrollBar3->value();
    {
        const QSignalBlocker block(ScrollBar3);
        ScrollBar3->setValue(pos);
    }
    if (ScrollBar3->value() != before)
        ScrollBar3Change(this);
}

void TForm1::setSkipList(std::vector<std::string> entries)
{
    ListBox1->clear();
    for (const std::string& entry : entries)
        addListEntry(*ListBox1, fromSjis(entry));
    skipEntries_ = std::move(entries);
    ++listsRevision_;
}

void TForm1::addSkipEntry(std::string entry)
{
    addListEntry(*ListBox1, fromSjis(entry));
    skipEntries_.push_back(std::move(entry));
    ++listsRevision_;
}

const std::string& TForm1::talkSymbols() const
{
    return talkText_->text();
}

void TForm1::setTalkSymbols(std::string text)
{
    talkText_->setText(std::move(text));
    ++listsRevision_;
}

std::string TForm1::caption() const
{
    return windowTitle().toStdString();
}

void TForm1::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

int TForm1::voiceIndex() const
{
    return ComboBox1->currentIndex();
}

void TForm1::setVoiceIndex(int index)
{
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setCurrentIndex(index >= 0 && index < ComboBox1->count() ? index : -1);
}

int TForm1::voiceCount() const
{
    return ComboBox1->count();
}

void TForm1::setVoices(const std::vector<std::string>& descriptions)
{
    const QSignalBlocker block(ComboBox1);
    ComboBox1->clear();
    for (const std::string& description : descriptions) {
        ComboBox1->addItem(fromSjis(description));
        ComboBox1->setItemData(ComboBox1->count() - 1, QSize(0, kEntryHeight), Qt::SizeHintRole);
    }
    ComboBox1->setCurrentIndex(-1);
}

int TForm1::windowLeft() const
{
    return x();
}

void TForm1::setWindowLeft(int left)
{
    move(left, y());
}

int TForm1::windowTop() const
{
    return y();
}

void TForm1::setWindowTop(int top)
{
    move(x(), top);
}

void TForm1::keepOnScreen()
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
