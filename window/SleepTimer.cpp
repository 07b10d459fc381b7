#include "window/SleepTimer.h"

#include "export/ExportProgress.h"
#include "window/InterfaceText.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

namespace kven {

SleepTimer::SleepTimer(QMenu& menu, QStatusBar& statusLine, Reader& reader, Session& session,
                       std::function<std::size_t(std::size_t)> chapterEnd)
    : QObject(&menu), reader_(reader), session_(session), chapterEnd_(std::move(chapterEnd)), timer_(new QTimer(this)),
      tick_(new QTimer(this)), notice_(new QLabel)
{
    timer_->setObjectName(QStringLiteral("sleepTimer"));
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { timeUp(); });
    tick_->setInterval(1000);
    connect(tick_, &QTimer::timeout, this, [this] { showChoice(); });
    notice_->setObjectName(QStringLiteral("sleepLabel"));
    notice_->hide();
    statusLine.addPermanentWidget(notice_);
    QMenu* choices = menu.addMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "Stop &after")));
    choices->setObjectName(QStringLiteral("sleepMenu"));
    auto* group = new QActionGroup(choices);
    const struct {
        const char* name;
        const char* caption;
        int minutes;
    } items[] = {{"sleep15Action", QT_TRANSLATE_NOOP("KVEN", "&15 minutes"), 15},
                 {"sleep30Action", QT_TRANSLATE_NOOP("KVEN", "&30 minutes"), 30},
                 {"sleep60Action", QT_TRANSLATE_NOOP("KVEN", "&60 minutes"), 60},
                 {"sleepChapterAction", QT_TRANSLATE_NOOP("KVEN", "At the &end of this chapter"), 0},
                 {"sleepOffAction", QT_TRANSLATE_NOOP("KVEN", "&Off"), 0}};
    for (const auto& item : items) {
        QAction* action = choices->addAction(interfaceText(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setCheckable(true);
        action->setData(item.minutes);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, action] { choose(action); });
    }
    chapterEndChoice_ = group->actions().at(3);
    off_ = group->actions().at(4);
    off_->setChecked(true);
    connect(off_, &QAction::toggled, this, [this] { showChoice(); });
}

void SleepTimer::showChoice()
{
    QString notice;
    if (timer_->isActive())
        notice = interfaceText(QT_TRANSLATE_NOOP("KVEN", "Stops in %1"))
                     .arg(QString::fromStdString(clockText(timer_->remainingTime() / 1000.0)));
    else if (chapterEndChoice_->isChecked())
        notice = interfaceText(QT_TRANSLATE_NOOP("KVEN", "Stops at the end of the chapter"));
    notice_->setText(notice);
    notice_->setVisible(!notice.isEmpty());
    if (timer_->isActive())
        tick_->start();
    else
        tick_->stop();
}

void SleepTimer::choose(QAction* choice)
{
    timer_->stop();
    reader_.setStopBefore(std::nullopt);
    if (const int minutes = choice->data().toInt(); minutes > 0)
        timer_->start(minutes * 60 * 1000);
    else if (choice == chapterEndChoice_ && session_.reading())
        armAt(reader_.chunkBeingRead());
    showChoice();
}

void SleepTimer::timeUp()
{
    off_->setChecked(true);
    if (session_.reading())
        reader_.setStopBefore(0);
}

void SleepTimer::armAt(std::size_t offset)
{
    reader_.setStopBefore(chapterEnd_(offset));
}

void SleepTimer::readingChanged(bool reading)
{
    if (!chapterEndChoice_->isChecked())
        return;
    // Start reads on from the cursor, in the chapter the cursor stands in.
    if (reading)
        armAt(session_.selStart());
    // Reading stopped at the end of the chapter: the request is spent.
    else if (!reader_.stopBefore())
        off_->setChecked(true);
}

void SleepTimer::moving(const std::function<void()>& move, std::size_t offset)
{
    if (!chapterEndChoice_->isChecked()) {
        move();
        return;
    }
    // The old chapter's end must not stop reading on its way to the new place.
    reader_.setStopBefore(std::nullopt);
    move();
    if (session_.reading())
        armAt(offset);
}

} // namespace kven
