#pragma once
// The Chapter menu: next and previous chapter (Ctrl+F7 and Ctrl+F6, window-wide like the other
// function keys), the sleep timer's choices, and the document's chapters, as the audiobook
// export splits it (intake/DocumentOutline). Choosing one takes the cursor to its start and,
// while reading, reading on from there (Reader::jumpTo). The list is made again whenever the
// text is replaced: a document loaded, a paste.

#include "intake/Chapters.h"
#include "reading/Reader.h"
#include "state/Session.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;

namespace kven {

class SleepTimer;

class ChapterMenu : public QObject {
public:
    // Runs a command as the window runs its own, errors going to its error box.
    using Runner = std::function<void(const std::function<void()>&)>;

    // Puts the menu in the window's menu bar before `before`, following `session` from then on.
    ChapterMenu(QMainWindow& window, QMenu& before, Session& session, Reader& reader, Runner run);

    const std::vector<Chapter>& chapters() const { return chapters_; }

private:
    // The text was replaced.
    void textChanged();
    // Reading started or stopped.
    void readingChanged(bool reading);
    void addMoves(QMainWindow& window);
    void jumpTo(std::size_t chapter);
    // `count` chapters on from the one being read (or holding the cursor), back for a negative count.
    void move(int count);
    std::size_t chapterEnd(std::size_t offset) const;

    Session& session_;
    Reader& reader_;
    Runner run_;
    QMenu* menu_ = nullptr;
    SleepTimer* sleep_ = nullptr;
    std::vector<QAction*> listed_;
    std::vector<Chapter> chapters_;
    Session::Subscription subscription_;
};

} // namespace kven
