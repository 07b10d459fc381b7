#pragma once
// The status line under the window: how much of the document lies behind the cursor, and the
// time the rest takes at the speed in use, at the pace reading has shown so far.

#include "export/Chapters.h"
#include "reading/ReadingPace.h"

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

class QLabel;
class QMainWindow;

namespace kven {

class Session;

// "42.0%　第二章　残り 1:02:03": the share of the text before `cursor`, the chapter (when there
// is one to name) and the time left.
QString progressText(std::size_t cursor, std::size_t size, const std::string& chapter, double secondsLeft);

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
    // The document's chapters, kept up to date by their owner; a document of one chapter shows
    // none.
    void showChapters(const std::vector<Chapter>* chapters) { chapters_ = chapters; }
    int height() const;

private:
    const Session& session_;
    QLabel* label_;
    ReadingPace pace_;
    const std::vector<Chapter>* chapters_ = nullptr;
};

} // namespace kven
