// kven: the window. Start-up in order: hand-over from a running copy, the window with its
// creation sequence, show (which starts reading when a document was named), the event loop.

#include "files/Paths.h"
#include "instance/InstanceHandOver.h"
#include "speech/Engines.h"
#include "window/DesktopLogout.h"
#include "window/InterfaceText.h"
#include "window/MainWindow.h"
#include "window/MediaControls.h"
#include "window/QtDesktop.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
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

// The application's names and dialogs, and the window's captions in the desktop's language when
// the program has a catalogue for it (the translator returned, to be kept while the program runs).
std::unique_ptr<QTranslator> setUpApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("KVEN"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kven"));
    kven::useJapaneseDialogs(app);
    std::unique_ptr<QTranslator> interfaceLanguage = kven::interfaceTranslator(QLocale::system());
    if (interfaceLanguage)
        QCoreApplication::installTranslator(interfaceLanguage.get());
    return interfaceLanguage;
}

// The hand-over comes before anything reads a file. The name is taken at once, before the
// window exists; a copy started meanwhile waits in the queue until the window can close.
// Sets `stayedOpen` when the running copy did not close; null without a private folder.
std::unique_ptr<kven::InstanceHandOver> takeOver(kven::WindowDialogs& dialogs, bool& stayedOpen)
{
    std::unique_ptr<kven::InstanceHandOver> handOver;
    if (const std::optional<std::string> folder = kven::InstanceHandOver::socketFolder()) {
        handOver = std::make_unique<kven::InstanceHandOver>(*folder);
        stayedOpen = kven::handOverAtStart(*handOver, dialogs, std::chrono::seconds(10)) ==
                     kven::InstanceHandOver::Outcome::StayedOpen;
    }
    if (!stayedOpen && (!handOver || !handOver->listening()))
        std::fputs("kven: no private folder or socket for finding this copy; a later start will not "
                   "close it\n",
                   stderr);
    return handOver;
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
    // The reading view's engine shares its drawing contexts with the window's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const std::unique_ptr<QTranslator> interfaceLanguage = setUpApplication(app);
    // The user's data folder of an installed copy is made before the hand-over, so that a
    // first start finds its files as every later one does.
    kven::prepareDataFolder();
    // Qt has taken its own options out of argv; the rest are the program's.
    const std::vector<std::string> args(argv + 1, argv + argc);

    kven::QtDialogs dialogs;
    bool stayedOpen = false;
    const std::unique_ptr<kven::InstanceHandOver> handOver = takeOver(dialogs, stayedOpen);
    if (stayedOpen)
        return 1;

    kven::QtEventPoster loop(app, [&dialogs](const std::string& message) { dialogs.showError(message); });
    const std::unique_ptr<kven::SpeechEngine> engine = kven::makeSpeechEngine(loop);
    kven::QtClipboard clipboard;
    kven::QtTimerWaiter waiter(app, [&dialogs](const std::string& message) { dialogs.showError(message); });
    kven::MainWindow form(*engine, dialogs, clipboard, waiter, args);
    dialogs.setParent(&form);
    // Before show, which may start reading: the desktop sees every change of the reading state.
    const std::unique_ptr<kven::MediaControls> mediaControls =
        kven::MediaControls::onSessionBus(form.session(), form.commands(), form.progress());

    // SIGTERM and SIGHUP close the window as the handing-over does, whatever dialog is open.
    kven::DesktopLogout logout(
        app,
        [&form] {
            form.commands().quit();
            QCoreApplication::exit(0);
        },
        [&form] { form.keepBookmark(); });

    bool handedOver = false;
    if (handOver)
        handOver->serve([&form, &handedOver, &engine] {
            if (!form.commands().quit())
                return false;
            // The new copy starts reading as soon as it has the answer: ours ends first.
            if (engine->connected())
                engine->skip("Sentence", kven::kSkipAll);
            handedOver = true;
            // Ends a dialog's loop too, so that a copy showing a message box still goes away.
            QCoreApplication::exit(0);
            return true;
        });
    form.show();
    // An error box of the automatic start runs a loop in which a request may have closed us.
    if (handedOver)
        return 0;
    return QApplication::exec();
}
