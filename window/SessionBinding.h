#pragma once
// The main window's controls bound to the reading session. What the session changes, the
// controls show; what the user changes in a control, the session takes: the editors' text and
// cursor when the session next reads them (converting a long text at every key would hold the
// window up), everything else at once.

#include "state/Session.h"
#include "window/EditorText.h"

#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QWidget;

namespace kven {

struct SessionControls {
    QWidget* window = nullptr;
    QPlainTextEdit* editor = nullptr;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QCheckBox* aozoraRuby = nullptr;
    QCheckBox* aaSkip = nullptr;
    QCheckBox* headingSearch = nullptr;
    QCheckBox* repeatSuppression = nullptr;
    // The Option menu's items, each with the option it sets.
    std::vector<std::pair<QAction*, bool ReadingOptions::*>> optionActions;
    QScrollBar* unreadLimit = nullptr;
    QScrollBar* blankLimit = nullptr;
    QScrollBar* speed = nullptr;
    QListWidget* skipList = nullptr;
    QPlainTextEdit* talkSymbols = nullptr;
    QComboBox* voices = nullptr;
};

class SessionBinding : public QObject {
public:
    // Shows `session` in `controls` and follows both from then on. The speed bar is the
    // window's to follow: a speed change may fail, and the window shows that.
    SessionBinding(Session& session, const SessionControls& controls);
    ~SessionBinding() override;

    // The document editor's text and offsets as the session sees them.
    EditorText& editorText() { return editorText_; }
    // The skip list's entry added, or entry `row` removed, in the list and the session.
    void addSkipEntry(std::string entry);
    void removeSkipEntry(int row);
    // The window moved, by the user or the window system.
    void windowMoved();

private:
    void show(Session::Changes changes);
    void showText();
    void showOptions();
    void showSkipList();
    void showVoices(Session::Changes changes);
    // The chunk being spoken is marked while reading: the step has moved the cursor past the
    // chunk it handed to the engine. Nothing is marked once reading has stopped.
    void markChunk();
    // The session's selection in the editor; while a chunk is being said, that chunk, with the
    // caret after it where the session's cursor stands, so that a screen reader hears what is
    // read.
    void showSelection();
    // A key, a typed text, a click or a drop is about to act on the editor: the selection goes
    // back to the session's, so that it acts as it would on the cursor where reading stands and
    // never on the chunk shown selected.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void followControls();
    // A control's change reaches the session, without coming back to the control.
    void fromControl(const std::function<void()>& change);

    Session& session_;
    SessionControls controls_;
    EditorText editorText_;
    EditorText talkText_;
    // Set while the controls are being changed from the session, or the session from the
    // controls, so that neither echoes the other.
    bool updating_ = false;
    struct Mark {
        bool shown = false;
        std::size_t start = 0;
        std::size_t end = 0;
    };
    Mark marked_;
    struct Span {
        std::size_t start = 0;
        std::size_t end = 0;
        bool operator==(const Span&) const = default;
    };
    // The chunk the reading step selected while reading, shown selected while it is said.
    std::optional<Span> selectedChunk_;
    // A drag is over the text.
    bool dragOver_ = false;
    // Last, so that it ends before what it shows.
    Session::Subscription subscription_;
};

} // namespace kven
