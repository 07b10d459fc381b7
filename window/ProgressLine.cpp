#include "window/ProgressLine.h"

#include "export/ExportProgress.h"
#include "state/Session.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace kven {

QString progressText(std::size_t cursor, std::size_t size, const std::string& chapter, double secondsLeft)
{
    const double share =
        size == 0 ? 0.0 : 100.0 * static_cast<double>(std::min(cursor, size)) / static_cast<double>(size);
    const QString place = chapter.empty() ? QString() : QStringLiteral("　") + QString::fromStdString(chapter);
    return QStringLiteral("%1%%2　残り %3")
        .arg(QString::number(share, 'f', 1), place, QString::fromStdString(clockText(secondsLeft)));
}

ProgressLine::ProgressLine(QMainWindow& window, const Session& session) : session_(session), label_(new QLabel)
{
    label_->setObjectName(QStringLiteral("progressLabel"));
    window.statusBar()->setObjectName(QStringLiteral("statusLine"));
    window.statusBar()->setSizeGripEnabled(false);
    window.statusBar()->addWidget(label_, 1);
}

void ProgressLine::readingChanged()
{
    if (session_.reading())
        pace_.restart(ReadingPace::Clock::now(), session_.selStart());
    else
        pace_.stopped();
    update();
}

void ProgressLine::utteranceEnded()
{
    if (session_.reading())
        pace_.utteranceEnded(ReadingPace::Clock::now(), session_.selStart(), session_.speed());
}

void ProgressLine::update()
{
    const std::size_t size = session_.text().size();
    const std::size_t cursor = std::min(session_.selStart(), size);
    std::string chapter;
    // While reading, the chapter of the chunk being said: the cursor may already stand past the
    // silent lines after it, in the next chapter.
    if (chapters_ != nullptr && chapters_->size() > 1)
        chapter = (*chapters_)[chapterAt(*chapters_, session_.reading() ? session_.chunkStart() : cursor)].title;
    label_->setText(size == 0 ? QString()
                              : progressText(cursor, size, chapter, pace_.secondsFor(size - cursor, session_.speed())));
}

int ProgressLine::height() const
{
    return label_->parentWidget()->sizeHint().height();
}

} // namespace kven
