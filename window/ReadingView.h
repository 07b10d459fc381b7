#pragma once
// The reading view: the document typeset as a book by the web engine, vertically or
// horizontally, in the editor's place while it is on. The editor stays the model: the view
// shows the session's text, marks the chunk being read (or the selection) and keeps it in
// view, and a click or Enter on a place of the page moves the editor's cursor there as a click
// in the editor does.
//
// The page loads section by section (reading/ViewHtml) as they come near the part shown, so a
// long book never holds the window up while it opens.

#include "reading/ViewHtml.h"
#include "state/Session.h"

#include <QObject>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QPlainTextEdit;
class QWebEngineView;

namespace kven {

class EditorText;

// What the page asks of the window, through the web channel.
class ReadingViewBridge : public QObject {
    Q_OBJECT
public:
    std::function<QString(int)> section;
    std::function<void(double)> moveTo;
    std::function<void()> ready;
    Q_INVOKABLE QString sectionHtml(int index) { return section ? section(index) : QString(); }
    Q_INVOKABLE void placeChosen(double offset)
    {
        if (moveTo)
            moveTo(offset);
    }
    Q_INVOKABLE void pageReady()
    {
        if (ready)
            ready();
    }
};

class ReadingView : public QWidget {
public:
    enum Mode { off = 0, vertical = 1, horizontal = 2 };

    // In `editor`'s place among its siblings, its items added to `menu`; `modeChanged` hears
    // every change of mode.
    ReadingView(QPlainTextEdit& editor, EditorText& editorText, Session& session, QMenu& menu,
                std::function<void(int)> modeChanged);
    ~ReadingView() override;

    int mode() const { return mode_; }
    // Off, vertical or horizontal; anything else is off.
    void setMode(int mode);
    // Text size in pixels of the page.
    int fontSize() const { return fontSize_; }
    void setFontSize(int pixels);

    // Made when the view is first switched on.
    QWebEngineView* page() { return web_; }
    // The page has loaded and marked what it was to show first.
    bool pageReady() const { return pageReady_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenu(QMenu& menu);
    void createPage();
    void follow(Session::Changes changes);
    void loadPage();
    QString section(int index);
    void moveTo(std::size_t offset);
    // The chunk being read, else the selection, else the cursor: marked and kept in view.
    void mark(bool scroll);
    void applyLook();

    QPlainTextEdit& editor_;
    EditorText& editorText_;
    Session& session_;
    std::function<void(int)> modeChanged_;
    QWebEngineView* web_ = nullptr;
    ReadingViewBridge bridge_;
    int mode_ = off;
    int lastMode_ = vertical;
    int fontSize_ = 22;
    bool pageReady_ = false;
    // The text the page shows: its revision, its sections and their writer.
    std::uint64_t shownRevision_ = 0;
    bool shown_ = false;
    std::string text_;
    std::vector<std::size_t> headings_;
    std::vector<RubyBase> rubyBases_;
    ViewSource source_;
    std::vector<std::size_t> sections_;
    std::unique_ptr<ViewHtmlWriter> writer_;
    std::size_t writerAt_ = 0;
    struct Mark {
        std::size_t start = 0;
        std::size_t end = 0;
        bool operator==(const Mark&) const = default;
    };
    Mark marked_{static_cast<std::size_t>(-1), 0};
    QAction* verticalAction_ = nullptr;
    QAction* horizontalAction_ = nullptr;
    QAction* offAction_ = nullptr;
    Session::Subscription subscription_;
};

} // namespace kven
