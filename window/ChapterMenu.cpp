#include "window/ChapterMenu.h"

#include "intake/DocumentOutline.h"
#include "window/InterfaceText.h"
#include "window/SleepTimer.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <algorithm>
#include <cstddef>

namespace kven {

ChapterMenu::ChapterMenu(QMainWindow& window, QMenu& before, Session& session, Reader& reader, Runner run)
    : QObject(&window), session_(session), reader_(reader), run_(std::move(run))
{
    menu_ = new QMenu(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Chapter")), &window);
    menu_->setObjectName(QStringLiteral("chapterMenu"));
    window.menuBar()->insertMenu(before.menuAction(), menu_);
    addMoves(window);
    sleep_ = new SleepTimer(*menu_, *window.statusBar(), reader_, session_,
                            [this](std::size_t offset) { return chapterEnd(offset); });
    menu_->addSeparator();
    textChanged();
    subscription_ = session_.subscribe([this](Session::Changes changes) {
        if ((changes & Session::textChanged) != 0)
            textChanged();
        if ((changes & Session::readingChanged) != 0)
            readingChanged(session_.reading());
    });
}

void ChapterMenu::addMoves(QMainWindow& window)
{
    const struct {
        const char* name;
        const char* caption;
        QKeySequence key;
        int count;
    } moves[] = {
        {"nextChapterAction", QT_TRANSLATE_NOOP("KVEN", "&Next Chapter"), QKeySequence(Qt::CTRL | Qt::Key_F7), 1},
        {"previousChapterAction", QT_TRANSLATE_NOOP("KVEN", "&Previous Chapter"), QKeySequence(Qt::CTRL | Qt::Key_F6),
         -1}};
    for (const auto& item : moves) {
        QAction* action = menu_->addAction(interfaceText(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setShortcut(item.key);
        // Window-wide, and working while the menu bar is covered, as the Read menu's keys.
        action->setShortcutContext(Qt::WindowShortcut);
        window.addAction(action);
        connect(action, &QAction::triggered, this, [this, count = item.count] { run_([&] { move(count); }); });
    }
}

void ChapterMenu::textChanged()
{
    for (QAction* action : listed_)
        delete action;
    listed_.clear();
    chapters_ = currentOutline(session_).chapters;
    for (std::size_t i = 0; i < chapters_.size(); ++i) {
        QString title = QString::fromStdString(chapters_[i].title);
        // A title's own "&" is no mnemonic.
        QAction* action = menu_->addAction(title.replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setObjectName(QStringLiteral("chapterAction"));
        connect(action, &QAction::triggered, this, [this, i] { run_([&] { jumpTo(i); }); });
        listed_.push_back(action);
    }
}

void ChapterMenu::readingChanged(bool reading)
{
    sleep_->readingChanged(reading);
}

void ChapterMenu::jumpTo(std::size_t chapter)
{
    const std::size_t offset = chapters_.at(chapter).offset;
    sleep_->moving([&] { reader_.jumpTo(offset); }, offset);
}

void ChapterMenu::move(int count)
{
    if (chapters_.empty())
        return;
    // While reading, the chunk being said counts, not the cursor the step has moved past it.
    const std::size_t here = session_.reading() ? reader_.chunkBeingRead() : session_.selStart();
    const std::size_t current = chapterAt(chapters_, here);
    if (count > 0)
        jumpTo(std::min(current + static_cast<std::size_t>(count), chapters_.size() - 1));
    else
        jumpTo(current - std::min(current, static_cast<std::size_t>(-count)));
}

std::size_t ChapterMenu::chapterEnd(std::size_t offset) const
{
    if (chapters_.empty())
        return session_.text().size();
    const std::size_t next = chapterAt(chapters_, offset) + 1;
    return next < chapters_.size() ? chapters_[next].offset : session_.text().size();
}

} // namespace kven
