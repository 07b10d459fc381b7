#pragma once
// The status line under the window: how much of the document lies behind the cursor, and the
// time the rest takes at the speed in use, at the pace reading has shown so far.

#include "reading/ReadingPace.h"

#include <QString>

#include <cstddef>

class QLabel;
class QMainWindow;

namespace kven {

class Session;

// "42.0%　残り 1:02:03": the share of the text before `cursor` and the time left.
QString progressText(std::size_t cursor, std::size_t size, double secondsLeft);

class ProgressLine {
public:
    // Adds the status line to `window`.
    ProgressLine(QMainWindow& window, const Session& session);

    // After the reading state changed.
    void readingChanged();
    // After an utterance ended.
    void utteranceEnded();
    // Shows the figures for the cursor and text as they are now.
    void update();

    const ReadingPace& pace() const { return pace_; }
    int height() const;

private:
    const Session& session_;
    QLabel* label_;
    ReadingPace pace_;
};

} // namespace kven
