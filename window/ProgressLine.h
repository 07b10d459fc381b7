#pragma once
// The status line under the window: how much of the document lies behind the cursor, and the
// time the rest takes at the speed in use, at the pace reading has shown so far. The time goes
// by what is said (SpokenWeights), worked out between the window's events after each change of
// the text; until then by the bytes of the text.

#include "intake/Chapters.h"
#include "reading/ReadingPace.h"
#include "reading/SessionFilter.h"
#include "reading/SpokenWeights.h"

#include <QObject>

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

class QLabel;
class QMainWindow;
class QStatusBar;
class QTimer;

namespace kven {

// "42.0%　第二章　残り 1:02:03": the share of the text before `cursor`, the chapter (when there
// is one to name) and the time left.
QString progressText(std::size_t cursor, std::size_t size, const std::string& chapter, double secondsLeft);

class ProgressLine : public QObject {
public:
    // Adds the status line to `window`, following `session` from then on. `chapters` are the
    // document's chapters, kept up to date by their owner before this hears of a change (it
    // subscribes to the session first); a document of one chapter shows none.
    ProgressLine(QMainWindow& window, const Session& session, const std::vector<Chapter>& chapters);

    // After an utterance ended.
    void utteranceEnded();
    // Shows `warnings` (UTF-8) in place of the figures for a while; none clears what is shown.
    void showWarnings(const std::vector<std::string>& warnings);

    // The time reading text[from, to) takes at the speed in use.
    double secondsBetween(std::size_t from, std::size_t to) const;
    int height() const;

private:
    // After the text was replaced.
    void textChanged();
    // After the reading state changed.
    void readingChanged();
    // Shows the figures for the cursor and text as they are now.
    void update();

    const Session& session_;
    const std::vector<Chapter>& chapters_;
    QLabel* label_;
    QStatusBar* bar_;
    // One stretch of the walk over the text; the next one waits for the events in between.
    void walk();
    // How far reading has got in what is said, at the cursor.
    std::size_t spokenBefore(std::size_t cursor) const;

    ReadingPace pace_;                                                // by bytes of text
    ReadingPace spokenPace_{ReadingPace::kUsualSpokenBytesPerSecond}; // by bytes said
    SpokenWeights weights_;
    SessionFilter filter_;
    QTimer* walker_;
    Session::Subscription subscription_;
};

} // namespace kven
