#pragma once
// The sleep timer: "Stop after" 15, 30 or 60 minutes, at the end of the chapter being read,
// or not at all, one choice at a time. Reading stops once the chunk being said has ended,
// never in the middle of one, with the cursor where Stop would leave it then (see
// Reader::setStopBefore): Start goes on with the next chunk. A choice that has stopped
// reading, or whose minutes ran out, goes back to off. While one is set, the status line says
// so: the time left, or that reading stops at the end of the chapter.

#include "reading/Reader.h"

#include <QObject>

#include <cstddef>
#include <functional>

class QAction;
class QLabel;
class QStatusBar;
class QMenu;
class QTimer;

namespace kven {

class SleepTimer : public QObject {
public:
    // Adds the choices to `menu`. `chapterEnd` gives where the chapter holding an offset ends
    // (where the next one starts, or the end of the text).
    // Its notice goes at the right of `statusLine`.
    SleepTimer(QMenu& menu, QStatusBar& statusLine, Reader& reader, Session& session,
               std::function<std::size_t(std::size_t)> chapterEnd);

    // Reading started or stopped.
    void readingChanged(bool reading);
    // Runs `move`, which takes the cursor to `offset`, maybe in another chapter: "the end of
    // this chapter" is then the end of that one.
    void moving(const std::function<void()>& move, std::size_t offset);

private:
    void choose(QAction* choice);
    void timeUp();
    void armAt(std::size_t offset);
    void turnOff();
    // The status line's notice, for the choice now set.
    void showChoice();

    Reader& reader_;
    Session& session_;
    std::function<std::size_t(std::size_t)> chapterEnd_;
    // Named "sleepTimer"; its interval is the minutes chosen.
    QTimer* timer_ = nullptr;
    // Counts the minutes down in the status line, every second.
    QTimer* tick_ = nullptr;
    // Named "sleepLabel".
    QLabel* notice_ = nullptr;
    QAction* off_ = nullptr;
    QAction* chapterEndChoice_ = nullptr;
};

} // namespace kven
