// Not a Google Benchmark: the reading view's figures on one document, with the real engine.
//
//   view_measures [--mode 1|2] [--dark] [--at OFFSET] [--shot FILE.png] [--steps N] DOCUMENT
//
// Opens DOCUMENT in the window, puts the cursor at OFFSET, switches the view on and prints:
// the time until the page has drawn its first mark, the longest time the main thread spent on
// one event meanwhile, the main thread's time per marking step (the view on against off) and
// the time until each step is drawn, and the peak memory of the window's process and of the
// engine's processes. --shot saves the window as it then looks; --dark gives the desktop a
// dark palette first. Run as root, the engine needs QTWEBENGINE_DISABLE_SANDBOX=1.

#include "bench/QuietWindowSeams.h"
#include "reading/ChunkCuts.h"
#include "speech/NullEngine.h"
#include "text/Cp932.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kven;

// Times every event the main thread handles from the event loop.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth_++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        QElapsedTimer clock;
        clock.start();
        const bool handled = QApplication::notify(receiver, event);
        longest = std::max(longest, clock.nsecsElapsed());
        --depth_;
        return handled;
    }
    qint64 longest = 0;

private:
    int depth_ = 0;
};

QVariant js(QWebEngineView& view, const QString& script)
{
    QVariant result;
    bool done = false;
    view.page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    while (!done)
        QTest::qWait(1);
    return result;
}

// Peak resident memory in KiB of a process, from /proc.
long peakKib(const std::string& pid)
{
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    return 0;
}

// The processes under `pid`, all generations.
std::vector<std::string> descendants(const std::string& pid)
{
    std::vector<std::string> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        entry.toInt(&number);
        if (!number)
            continue;
        std::ifstream stat("/proc/" + entry.toStdString() + "/stat");
        std::string content((std::istreambuf_iterator<char>(stat)), {});
        const std::size_t close = content.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(content.substr(close + 2));
        std::string state;
        std::string parent;
        rest >> state >> parent;
        if (parent == pid) {
            found.push_back(entry.toStdString());
            for (const std::string& child : descendants(entry.toStdString()))
                found.push_back(child);
        }
    }
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TimedApplication app(argc, argv);
    int mode = 1;
    bool dark = false;
    std::size_t at = 0;
    int steps = 200;
    QString shot;
    QString document;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--mode") && i + 1 < args.size())
            mode = args[++i].toInt();
        else if (args[i] == QStringLiteral("--dark"))
            dark = true;
        else if (args[i] == QStringLiteral("--at") && i + 1 < args.size())
            at = args[++i].toULongLong();
        else if (args[i] == QStringLiteral("--steps") && i + 1 < args.size())
            steps = args[++i].toInt();
        else if (args[i] == QStringLiteral("--shot") && i + 1 < args.size())
            shot = args[++i];
        else
            document = args[i];
    }
    if (document.isEmpty()) {
        std::fputs("usage: view_measures [--mode 1|2] [--dark] [--at OFFSET] [--shot FILE.png] [--steps N] "
                   "DOCUMENT\n",
                   stderr);
        return 2;
    }
    if (dark) {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        palette.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
        palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        palette.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
        palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        palette.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
        palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
        QApplication::setPalette(palette);
    }

    QTemporaryDir home;
    qputenv("KVEN_HOME", home.path().toUtf8());
    QFile ini(home.filePath(QStringLiteral("KVEN.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write(QByteArray::fromStdString(cp932::fromUtf8("[Voice]=0\r\n[Talk]=0\r\n、。「」\r\n[Skip]=0\r\n")));
    ini.close();
    QFile bookmarks(home.filePath(QStringLiteral("KVEN.txt")));
    bookmarks.open(QIODevice::WriteOnly);
    bookmarks.close();

    EventQueue loop;
    NullEngine engine{loop};
    SilentDialogs dialogs;
    EmptyClipboard clipboard;
    NoWaiter waiter;
    MainWindow form(engine, dialogs, clipboard, waiter, {});
    form.resize(1000, 760);
    form.show();
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    form.openDropped(QFileInfo(document).absoluteFilePath().toStdString());
    std::printf("document: %zu bytes of text, opened in the editor in %.1f ms\n", form.session().text().size(),
                static_cast<double>(clock.nsecsElapsed()) / 1e6);
    // The chunk at the cursor selected, as the reading step selects it, so that the page marks it.
    form.session().setSelStart(at);
    form.session().setSelLength(std::max<std::size_t>(
        1, chunkLength(std::string_view(form.session().text()).substr(form.session().selStart()))));
    QTest::qWait(100);

    app.longest = 0;
    clock.restart();
    form.readingView().setMode(mode);
    QWebEngineView& view = *form.readingView().page();
    while (!js(view, QStringLiteral("!!window.kv && kv.drawn !== undefined")).toBool())
        QTest::qWait(2);
    const double firstPaint = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    QTest::qWait(1500);
    std::printf("first paint (page drawn with its first mark): %.0f ms; longest main-thread event meanwhile "
                "and in the 1.5 s after: %.1f ms\n",
                firstPaint, static_cast<double>(app.longest) / 1e6);
    std::printf("sections loaded: %s\n",
                qPrintable(js(view, QStringLiteral("kv.loaded.size + ' of ' + kv.sections.length")).toString()));
    if (!shot.isEmpty()) {
        form.grab().save(shot);
        std::printf("saved %s\n", qPrintable(shot));
    }

    // Marking steps: the chunks from the cursor on, as the reading step selects them.
    const std::string text = form.session().text();
    std::vector<double> onTimes;
    std::vector<double> drawnTimes;
    app.longest = 0;
    std::size_t pos = form.session().selStart();
    at = pos;
    for (int i = 0; i < steps && pos < text.size(); ++i) {
        const std::size_t length = std::max<std::size_t>(1, chunkLength(std::string_view(text).substr(pos)));
        clock.restart();
        form.session().setSelStart(pos);
        form.session().setSelLength(length);
        onTimes.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        const QString drawn = QStringLiteral("JSON.stringify(kv.drawn) === '[%1,%2]'").arg(pos).arg(pos + length);
        while (!js(view, drawn).toBool())
            QTest::qWait(1);
        drawnTimes.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        pos += length;
    }
    const qint64 longestStep = app.longest;
    form.readingView().setMode(0);
    std::vector<double> offTimes;
    pos = at;
    for (std::size_t i = 0; i < onTimes.size() && pos < text.size(); ++i) {
        const std::size_t length = std::max<std::size_t>(1, chunkLength(std::string_view(text).substr(pos)));
        clock.restart();
        form.session().setSelStart(pos);
        form.session().setSelLength(length);
        offTimes.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        pos += length;
    }
    const auto median = [](std::vector<double> v) {
        if (v.empty())
            return 0.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const auto maximum = [](const std::vector<double>& v) {
        return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
    };
    std::printf("marking %zu steps: main thread per step %.3f ms median, %.3f ms max (view off: %.3f ms median); "
                "drawn after %.1f ms median, %.1f ms max; longest main-thread event while stepping: %.1f ms\n",
                onTimes.size(), median(onTimes), maximum(onTimes), median(offTimes), median(drawnTimes),
                maximum(drawnTimes), static_cast<double>(longestStep) / 1e6);

    const std::string self = std::to_string(QCoreApplication::applicationPid());
    long engineKib = 0;
    for (const std::string& pid : descendants(self))
        engineKib += peakKib(pid);
    std::printf("peak memory: window process %.1f MiB, engine processes %.1f MiB (sum of their peaks)\n",
                static_cast<double>(peakKib(self)) / 1024.0, static_cast<double>(engineKib) / 1024.0);
    return 0;
}
