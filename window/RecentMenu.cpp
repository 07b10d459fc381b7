#include "window/RecentMenu.h"

#include "files/Paths.h"
#include "intake/RecentDocuments.h"
#include "window/InterfaceText.h"

#include <QAction>
#include <QMenu>

#include <filesystem>

namespace kven {

namespace {

constexpr std::size_t kRecentCount = 10;

void fill(QMenu& menu, const std::string& bookmarkFile, const std::function<void(const std::string&)>& open)
{
    menu.clear();
    for (const RecentDocument& document : recentDocuments(bookmarkFile, kRecentCount)) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(document.file, ec))
            continue;
        QString text = QString::fromStdString(document.caption());
        if (const std::optional<double> share = document.share())
            text += QStringLiteral("　%1%").arg(QString::number(100 * *share, 'f', 0));
        // "&" would make a mnemonic of the next letter.
        QAction* action = menu.addAction(text.replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setData(QString::fromStdString(document.file));
        action->setToolTip(QString::fromStdString(document.file));
        QObject::connect(action, &QAction::triggered, &menu, [open, file = document.file] { open(file); });
    }
    if (menu.isEmpty())
        menu.addAction(interfaceText(QT_TRANSLATE_NOOP("KVEN", "(none)")))->setEnabled(false);
}

} // namespace

void bindRecentMenu(QMenu& menu, std::string bookmarkFile, std::function<void(const std::string&)> open)
{
    // A title does not say where its file is: the tip does.
    menu.setToolTipsVisible(true);
    QObject::connect(
        &menu, &QMenu::aboutToShow, &menu,
        [&menu, bookmarkFile = std::move(bookmarkFile), open = std::move(open)] { fill(menu, bookmarkFile, open); });
}

} // namespace kven
