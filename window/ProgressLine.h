#pragma once
// The status line under the window: how much of the document lies behind the cursor, and the
// time the rest takes at the speed in use, at the pace reading has shown so far. The time goes
// by what is said (SpokenWeights), worked out between the window's events after each change of
// the text; until then by the bytes of the text at the usual pace.

#include "intake/Chapters.h"
#include "reading/ReadingPace.h"
#include "reading/SessionFilter.h"
#include "reading/SpokenWeights.h"

#include <QObject>

#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
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

    // After an utterance ended; `whole` when it was played to its end (see
    // Reader::endsWholeUtterance).
    void utteranceEnded(bool whole);
    // The clock the pace is measured by (tests give their own).
    void setClock(std::function<ReadingPace::Clock::time_point()> now) { now_ = std::move(now); }
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
    // Whether the chunk just said is the one the reading step goes on with from where the
    // utterance before it ended, with the cursor after it: nothing else moved the cursor.
    bool readOnFromLastEnd() const;
    // The next end of an utterance starts a new span.
    void restartSpan();

    // By bytes of text, the usual pace, until the weights of what is said are worked out.
    const ReadingPace pace_;
    // By bytes said, measured.
    ReadingPace spokenPace_{ReadingPace::kUsualSpokenBytesPerSecond};
    SpokenWeights weights_;
    SessionFilter filter_;
    QTimer* walker_;
    std::function<ReadingPace::Clock::time_point()> now_ = [] { return ReadingPace::Clock::now(); };
    // The cursor at the last end of an utterance in the span being measured.
    std::optional<std::size_t> lastEnd_;
    Session::Subscription subscription_;
};

} // namespace kven
