// kven: the window. Start-up in order: hand-over from a running copy, the window with its
// creation sequence, show (which starts reading when a document was named), the event loop.

#include "app/InstanceHandOver.h"
#include "app/QtDesktop.h"
#include "app/Unit1.h"
#include "reading/Waiter.h"
#include "speech/Engines.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool displayAvailable()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

// An installed copy cannot write beside its executable, and a bookmark file it cannot write
// would keep the window from closing. It keeps its files in the user's data folder instead,
// starting from the default settings installed with it.
void useUserDataFolderWhenInstalled()
{
    const char* home = std::getenv("KVEN_HOME");
    const QString exeFolder = QCoreApplication::applicationDirPath();
    if ((home != nullptr && *home != '\0') || QFileInfo(exeFolder).isWritable())
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    const QString settings = folder + QStringLiteral("/KVEN.ini");
    if (!QFileInfo::exists(settings))
        QFile::copy(exeFolder + QStringLiteral("/../share/kven/KVEN.ini"), settings);
    qputenv("KVEN_HOME", QFile::encodeName(folder));
}

} // namespace

int main(int argc, char** argv)
{
    if (!displayAvailable()) {
        std::fputs("kven: no graphical display (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "use kven-read --dump DOCUMENT to see what KVEN reads\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KVEN"));
    useUserDataFolderWhenInstalled();
    // Qt has taken its own options out of argv; the rest are the program's.
    const std::vector<std::string> args(argv + 1, argv + argc);

    kven::InstanceHandOver::closeRunningCopy(std::chrono::seconds(10));

    // Listening before the window exists: a copy started while this one is still in its
    // creation sequence (an error box may hold it there) is told that it stays open, instead
    // of finding no one and taking the socket over.
    kven::TForm1* window = nullptr;
    kven::InstanceHandOver handOver;
    handOver.listen([&window] {
        if (window == nullptr || !window->close())
            return false;
        // Ends a dialog's loop too, so that a copy showing a message box still goes away.
        QCoreApplication::exit(0);
        return true;
    });

    kven::QtDialogs dialogs;
    kven::QtEventPoster loop(app, [&dialogs](const std::string& message) { dialogs.showError(message); });
    const std::unique_ptr<kven::SpeechEngine> engine = kven::makeSpeechEngine(loop);
    kven::QtClipboard clipboard;
    kven::SleepWaiter waiter;
    kven::TForm1 form(*engine, dialogs, clipboard, waiter, args);
    dialogs.setParent(&form);
    window = &form;

    form.show();
    return QApplication::exec();
}
