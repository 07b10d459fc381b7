#include "window/SessionBinding.h"

#include "text/Cp932.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextEdit>

#include <algorithm>
#include <utility>

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

// Sets `flag` for as long as it lives.
class Updating {
public:
    explicit Updating(bool& flag) : flag_(flag), before_(std::exchange(flag, true)) {}
    ~Updating() { flag_ = before_; }
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;

private:
    bool& flag_;
    bool before_;
};

} // namespace

SessionBinding::SessionBinding(Session& session, const SessionControls& controls)
    : session_(session), controls_(controls), editorText_(*controls.editor), talkText_(*controls.talkSymbols)
{
    session_.bindView({[this] { return editorText_.text(); }, [this] { return editorText_.selStart(); },
                       [this] { return editorText_.selLength(); }, [this] { return talkText_.text(); }});
    subscription_ = session_.subscribe([this](Session::Changes changes) { show(changes); });
    show(Session::textChanged | Session::selectionChanged | Session::optionsChanged | Session::skipListChanged |
         Session::talkSymbolsChanged | Session::captionChanged | Session::voicesChanged | Session::voiceChanged);
    followControls();
}

SessionBinding::~SessionBinding()
{
    session_.bindView({});
}

void SessionBinding::fromControl(const std::function<void()>& change)
{
    const Updating updating(updating_);
    change();
}

void SessionBinding::followControls()
{
    QPlainTextEdit* const editor = controls_.editor;
    editor->installEventFilter(this);
    editor->viewport()->installEventFilter(this);
    const auto edited = [this](Session::Changes parts) {
        if (!updating_)
            session_.viewChanged(parts);
    };
    connect(editor->document(), &QTextDocument::contentsChanged, this, [edited] { edited(Session::textChanged); });
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, [edited] { edited(Session::selectionChanged); });
    connect(editor, &QPlainTextEdit::selectionChanged, this, [edited] { edited(Session::selectionChanged); });
    connect(controls_.talkSymbols, &QPlainTextEdit::textChanged, this,
            [edited] { edited(Session::talkSymbolsChanged); });

    using Option = bool ReadingOptions::*;
    const std::pair<QCheckBox*, Option> boxes[] = {{controls_.aozoraRuby, &ReadingOptions::aozoraRuby},
                                                   {controls_.aaSkip, &ReadingOptions::aaSkip},
                                                   {controls_.headingSearch, &ReadingOptions::headingSearch},
                                                   {controls_.repeatSuppression, &ReadingOptions::repeatSuppression}};
    const auto setOption = [this](Option option) {
        return [this, option](bool on) { fromControl([&] { session_.setOption(option, on); }); };
    };
    for (const auto& [box, option] : boxes)
        connect(box, &QCheckBox::toggled, this, setOption(option));
    for (const auto& [action, option] : controls_.optionActions)
        connect(action, &QAction::toggled, this, setOption(option));
    const std::pair<QScrollBar*, int ReadingOptions::*> bars[] = {{controls_.unreadLimit, &ReadingOptions::unreadLimit},
                                                                  {controls_.blankLimit, &ReadingOptions::blankLimit}};
    for (const auto& [bar, limit] : bars)
        connect(bar, &QScrollBar::valueChanged, this,
                [this, limit = limit](int value) { fromControl([&] { session_.setLimit(limit, value); }); });
    connect(controls_.voices, &QComboBox::currentIndexChanged, this,
            [this](int index) { fromControl([&] { session_.setVoiceIndex(index); }); });
}

void SessionBinding::show(Session::Changes changes)
{
    // The reading flag and the speed reach the window whoever changed them.
    if ((changes & Session::readingChanged) != 0) {
        controls_.start->setEnabled(!session_.reading());
        controls_.stop->setEnabled(session_.reading());
        // The text follows the reading, and a screen reader follows the control with the focus.
        if (session_.reading() && controls_.editor->isVisible())
            controls_.editor->setFocus(Qt::OtherFocusReason);
    }
    if ((changes & Session::speedChanged) != 0) {
        {
            const QSignalBlocker block(controls_.speed);
            controls_.speed->setValue(session_.speed());
        }
    }
    if (!updating_) {
        const Updating updating(updating_);
        if ((changes & Session::textChanged) != 0)
            showText();
        if ((changes & Session::selectionChanged) != 0 ||
            ((changes & Session::readingChanged) != 0 && !session_.reading()))
            showSelection();
        if ((changes & Session::optionsChanged) != 0)
            showOptions();
        if ((changes & Session::skipListChanged) != 0)
            showSkipList();
        if ((changes & Session::talkSymbolsChanged) != 0 && !talkText_.setText(session_.talkSymbols()))
            session_.viewChanged(Session::talkSymbolsChanged);
        if ((changes & Session::captionChanged) != 0)
            controls_.window->setWindowTitle(QString::fromStdString(session_.caption()));
        if ((changes & (Session::voicesChanged | Session::voiceChanged)) != 0)
            showVoices(changes);
        if ((changes & Session::placementChanged) != 0)
            controls_.window->move(session_.windowLeft(), session_.windowTop());
    }
    if ((changes & (Session::readingChanged | Session::selectionChanged | Session::textChanged)) != 0)
        markChunk();
}

void SessionBinding::showSelection()
{
    const std::size_t cursor = session_.selStart();
    const Span chunk{session_.chunkStart(), session_.chunkEnd()};
    // While the listener's context menu is open or a drag is over the text, only the caret
    // moves: a paste or a drop then lands at the cursor, never on the chunk being read.
    const bool listenerActing = QApplication::activePopupWidget() != nullptr || dragOver_;
    if (!session_.reading()) {
        selectedChunk_.reset();
    } else if (session_.selLength() != 0) {
        // The reading step selects the chunk it is about to hand over.
        if (cursor == chunk.start && cursor + session_.selLength() == chunk.end)
            selectedChunk_ = chunk;
        else
            selectedChunk_.reset();
    } else if (selectedChunk_ && *selectedChunk_ == chunk && cursor == chunk.end) {
        // It has handed it over and moved the cursor after it, or the next step starts there.
        if (listenerActing)
            editorText_.setSelStart(cursor);
        else
            editorText_.setSelection(chunk.start, chunk.end);
        return;
    } else {
        selectedChunk_.reset();
    }
    // In one change, so that a screen reader hears of the new selection once.
    if (session_.selLength() != 0 && !listenerActing)
        editorText_.setSelection(cursor, cursor + session_.selLength());
    else
        editorText_.setSelStart(cursor);
}

bool SessionBinding::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // A modifier alone acts on nothing.
        if (static_cast<QKeyEvent*>(event)->key() >= Qt::Key_Shift &&
            static_cast<QKeyEvent*>(event)->key() <= Qt::Key_ScrollLock)
            break;
        [[fallthrough]];
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::Drop:
        dragOver_ = event->type() == QEvent::DragEnter;
        if (!updating_ && editorText_.selStart() != session_.selStart()) {
            const Updating updating(updating_);
            editorText_.setSelStart(session_.selStart());
        }
        break;
    case QEvent::DragLeave: dragOver_ = false; break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void SessionBinding::showText()
{
    controls_.editor->setExtraSelections({});
    marked_ = {};
    if (const std::string& pasted = session_.document().pastedUtf8; !pasted.empty()) {
        // The editor shows what was pasted as it was given; the session reads it back from
        // there, as it would after an edit.
        controls_.editor->setPlainText(QString::fromStdString(pasted));
        session_.viewChanged(Session::textChanged);
    } else if (!editorText_.setText(session_.text())) {
        // A text the editor cannot hold byte for byte is what the editor makes of it.
        session_.viewChanged(Session::textChanged);
    }
}

namespace {

// Scrolls the chunk being read to the middle of the editor once it has passed the middle or is
// out of view, so that it is seen whole with what comes after it; one near the start of the
// text stays where it is, as the text cannot scroll further up.
void showInMiddle(QPlainTextEdit& editor, const QTextCursor& chunk)
{
    QTextCursor start(chunk);
    start.setPosition(chunk.selectionStart());
    QTextCursor end(chunk);
    end.setPosition(chunk.selectionEnd());
    const QRect first = editor.cursorRect(start);
    const QRect last = editor.cursorRect(end);
    const int height = editor.viewport()->height();
    if (first.top() >= 0 && first.center().y() <= height / 2 && last.bottom() <= height)
        return;
    const int line = std::max(1, editor.fontMetrics().lineSpacing());
    QScrollBar* bar = editor.verticalScrollBar();
    // The editor scrolls by lines.
    bar->setValue(bar->value() + (first.center().y() - height / 2) / line);
}

} // namespace

void SessionBinding::markChunk()
{
    const Mark mark{session_.reading(), session_.chunkStart(), session_.chunkEnd()};
    if (mark.shown == marked_.shown && (!mark.shown || (mark.start == marked_.start && mark.end == marked_.end)))
        return;
    marked_ = mark;
    QPlainTextEdit* const editor = controls_.editor;
    if (!mark.shown) {
        editor->setExtraSelections({});
        return;
    }
    QTextEdit::ExtraSelection chunk;
    chunk.cursor = QTextCursor(editor->document());
    chunk.cursor.setPosition(editorText_.positionOf(mark.start));
    chunk.cursor.setPosition(editorText_.positionOf(mark.end), QTextCursor::KeepAnchor);
    chunk.format.setBackground(editor->palette().brush(QPalette::Active, QPalette::Highlight));
    chunk.format.setForeground(editor->palette().brush(QPalette::Active, QPalette::HighlightedText));
    editor->setExtraSelections({chunk});
    showInMiddle(*editor, chunk.cursor);
}

void SessionBinding::showOptions()
{
    const ReadingOptions& options = session_.options();
    const std::pair<QCheckBox*, bool> boxes[] = {{controls_.aozoraRuby, options.aozoraRuby},
                                                 {controls_.aaSkip, options.aaSkip},
                                                 {controls_.headingSearch, options.headingSearch},
                                                 {controls_.repeatSuppression, options.repeatSuppression}};
    for (const auto& [box, on] : boxes)
        box->setChecked(on);
    for (const auto& [action, option] : controls_.optionActions)
        action->setChecked(options.*option);
    controls_.unreadLimit->setValue(options.unreadLimit);
    controls_.blankLimit->setValue(options.blankLimit);
}

void SessionBinding::showSkipList()
{
    controls_.skipList->clear();
    for (const std::string& entry : session_.skipList())
        addListEntry(*controls_.skipList, fromSjis(entry));
}

void SessionBinding::showVoices(Session::Changes changes)
{
    QComboBox* const box = controls_.voices;
    const QSignalBlocker block(box);
    if ((changes & Session::voicesChanged) != 0) {
        box->clear();
        for (const std::string& description : session_.voices()) {
            box->addItem(fromSjis(description));
            box->setItemData(box->count() - 1, QSize(0, kEntryHeight), Qt::SizeHintRole);
        }
    }
    box->setCurrentIndex(session_.voiceIndex());
}

void SessionBinding::addSkipEntry(std::string entry)
{
    const Updating updating(updating_);
    addListEntry(*controls_.skipList, fromSjis(entry));
    session_.addSkipEntry(std::move(entry));
}

void SessionBinding::removeSkipEntry(int row)
{
    const Updating updating(updating_);
    delete controls_.skipList->takeItem(row);
    session_.removeSkipEntry(static_cast<std::size_t>(row));
}

void SessionBinding::windowMoved()
{
    const Updating updating(updating_);
    session_.setWindowLeft(controls_.window->x());
    session_.setWindowTop(controls_.window->y());
}

} // namespace kven
