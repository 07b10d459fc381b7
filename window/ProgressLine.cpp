#include "window/ProgressLine.h"

#include "export/ExportProgress.h"
#include "state/Session.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>

namespace kven {

QString progressText(std::size_t cursor, std::size_t size, const std::string& chapter, double secondsLeft)
{
    const double share =
        size == 0 ? 0.0 : 100.0 * static_cast<double>(std::min(cursor, size)) / static_cast<double>(size);
    const QString place = chapter.empty() ? QString() : QStringLiteral("　") + QString::fromStdString(chapter);
    return QStringLiteral("%1%%2　残り %3")
        .arg(QString::number(share, 'f', 1), place, QString::fromStdString(clockText(secondsLeft)));
}

namespace {

// Text walked in one stretch: some milliseconds' work.
constexpr std::size_t kWalkStretch = 32 * 1024;
// Long enough to be read twice; the figures come back after it.
constexpr int kWarningMilliseconds = 30'000;

} // namespace

ProgressLine::ProgressLine(QMainWindow& window, const Session& session, const std::vector<Chapter>& chapters)
    : session_(session), chapters_(chapters), label_(new QLabel), bar_(window.statusBar()), filter_(session),
      walker_(new QTimer(this))
{
    label_->setObjectName(QStringLiteral("progressLabel"));
    window.statusBar()->setObjectName(QStringLiteral("statusLine"));
    window.statusBar()->setSizeGripEnabled(false);
    window.statusBar()->addWidget(label_, 1);
    walker_->setObjectName(QStringLiteral("spokenWeightsWalker"));
    walker_->setInterval(0);
    connect(walker_, &QTimer::timeout, this, [this] { walk(); });
    subscription_ = session_.subscribe([this](Session::Changes changes) {
        if ((changes & Session::textChanged) != 0)
            textChanged();
        if ((changes & Session::readingChanged) != 0)
            readingChanged();
        else if ((changes & (Session::selectionChanged | Session::speedChanged)) != 0)
            update();
    });
}

void ProgressLine::showWarnings(const std::vector<std::string>& warnings)
{
    QStringList lines;
    for (const std::string& warning : warnings)
        lines << QString::fromStdString(warning);
    if (lines.isEmpty())
        bar_->clearMessage();
    else
        bar_->showMessage(lines.join(QStringLiteral("　")), kWarningMilliseconds);
}

void ProgressLine::textChanged()
{
    weights_.reset();
    // Another text reads at the pace this one has shown; only the span starts again.
    restartSpan();
    walker_->start();
    update();
}

void ProgressLine::walk()
{
    if (!weights_.advance(session_, filter_.options(), kWalkStretch))
        return;
    walker_->stop();
    // The span so far was measured in bytes of text only.
    restartSpan();
    update();
}

std::size_t ProgressLine::spokenBefore(std::size_t cursor) const
{
    return weights_.total() - weights_.spokenFrom(cursor);
}

void ProgressLine::restartSpan()
{
    spokenPace_.restart();
    lastEnd_.reset();
}

void ProgressLine::readingChanged()
{
    restartSpan();
    update();
}

bool ProgressLine::readOnFromLastEnd() const
{
    const std::size_t cursor = session_.selStart();
    if (!lastEnd_ || session_.selLength() != 0 || cursor != session_.chunkEnd() || session_.chunkStart() < *lastEnd_ ||
        session_.chunkStart() >= cursor)
        return false;
    // The reading step passes over what has nothing to say; text with something to say
    // between the two is text the cursor was moved over. Until the weights are worked out,
    // nothing tells the two apart.
    return weights_.complete() && weights_.spokenFrom(*lastEnd_) == weights_.spokenFrom(session_.chunkStart());
}

void ProgressLine::utteranceEnded(bool whole)
{
    if (!session_.reading())
        return;
    if (!whole || !readOnFromLastEnd())
        restartSpan();
    if (weights_.complete())
        spokenPace_.utteranceEnded(now_(), spokenBefore(session_.selStart()), session_.speed());
    lastEnd_ = session_.selStart();
}

double ProgressLine::secondsBetween(std::size_t from, std::size_t to) const
{
    if (to <= from)
        return 0;
    if (weights_.complete())
        return spokenPace_.secondsFor(weights_.spokenFrom(from) - weights_.spokenFrom(to), session_.speed());
    return pace_.secondsFor(to - from, session_.speed());
}

void ProgressLine::update()
{
    const std::size_t size = session_.text().size();
    const std::size_t cursor = std::min(session_.selStart(), size);
    std::string chapter;
    // While reading, the chapter of the chunk being said: the cursor may already stand past the
    // silent lines after it, in the next chapter.
    if (chapters_.size() > 1)
        chapter = chapters_[chapterAt(chapters_, session_.reading() ? session_.chunkStart() : cursor)].title;
    label_->setText(size == 0 ? QString() : progressText(cursor, size, chapter, secondsBetween(cursor, size)));
}

int ProgressLine::height() const
{
    return label_->parentWidget()->sizeHint().height();
}

} // namespace kven
