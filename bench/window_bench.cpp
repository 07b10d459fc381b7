// The window with real controls, offscreen: loading a novel against QPlainTextEdit's own
// setPlainText of the same text, one reading step in a 20 MB against a 20 KB document, a
// flood of Start and Stop, the window made with a large dictionary, and
// (with --peak-memory) the peak memory of the window holding a 20 MB document.

#include "bench/QuietWindowSeams.h"
#include "speech/NullEngine.h"
#include "text/Cp932.h"
#include "window/MainWindow.h"
#include "window/QtDesktop.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace kven;

const char* const kNovel = KVEN_CORPUS_DIR "/aozora_txt/natsume_wagahaiwa_nekodearu_789_ruby_5639.txt";

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct Fixture {
    Fixture()
    {
        qputenv("KVEN_HOME", home.path().toUtf8());
        QFile ini(home.filePath(QStringLiteral("KVEN.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write(QByteArray::fromStdString(
            cp932::fromUtf8("[Voice]=0\r\n[Silent]=4\r\n[Space]=9\r\n[Talk]=0\r\n、。「」\r\n[Skip]=0\r\n")));
        ini.close();
        QFile bookmarks(home.filePath(QStringLiteral("KVEN.txt")));
        bookmarks.open(QIODevice::WriteOnly);
        bookmarks.close();
        form = std::make_unique<MainWindow>(engine, dialogs, clipboard, waiter, std::vector<std::string>{});
        form->show();
    }

    // A document of about `size` bytes made of whole lines of the novel, written to a file a
    // line at a time, so that making it leaves no mark on the peak memory.
    std::string document(const std::string& name, std::size_t size) const
    {
        const std::string novel = readFile(kNovel);
        const std::string path = home.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream out(path, std::ios::binary);
        std::size_t written = 0;
        std::size_t pos = 0;
        while (written < size) {
            std::size_t end = novel.find("\r\n", pos);
            end = end == std::string::npos ? novel.size() : end + 2;
            const std::size_t take = std::min(end - pos, size - written);
            out.write(novel.data() + pos, static_cast<std::streamsize>(take));
            written += take;
            pos = end >= novel.size() ? 0 : end;
        }
        return path;
    }

    QTemporaryDir home;
    EventQueue loop;
    NullEngine engine{loop};
    SilentDialogs dialogs;
    EmptyClipboard clipboard;
    NoWaiter waiter;
    std::unique_ptr<MainWindow> form;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// Open of the novel as a drop, without the bookmark write of the document left behind: an
// untimed Paste before each round leaves no document current.
void BM_WindowLoadNovel(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.form->commands().paste();
        f.form->commands().stop();
        state.ResumeTiming();
        f.form->openDropped(kNovel);
        benchmark::DoNotOptimize(f.form->session().text().size());
    }
}
BENCHMARK(BM_WindowLoadNovel)->Unit(benchmark::kMillisecond);

void BM_SetPlainTextNovel(benchmark::State& state)
{
    QPlainTextEdit editor;
    editor.resize(430, 513);
    editor.show();
    const QString text = QString::fromStdString(cp932::toUtf8(readFile(kNovel)));
    for (auto _ : state)
        editor.setPlainText(text);
}
BENCHMARK(BM_SetPlainTextNovel)->Unit(benchmark::kMillisecond);

// Steps through the same stretch of text, 6 KB from the middle of the document on, again and
// again, so that the two documents differ in nothing but their size: the editor has laid out
// the stretch in both after the first round.
void readingSteps(benchmark::State& state, std::size_t size)
{
    Fixture& f = fixture();
    // Loaded once per size: the benchmark library calls this function several times.
    static std::size_t loaded = 0;
    if (loaded != size) {
        f.form->openDropped(f.document("steps" + std::to_string(size) + ".txt", size));
        loaded = size;
    }
    const std::size_t middle = f.form->session().text().size() / 2;
    f.form->session().setSelStart(middle);
    f.form->session().setReading(true);
    for (auto _ : state) {
        f.form->endOfStream(f.engine.lastStream(), 0);
        if (f.form->session().selStart() > middle + 6000)
            f.form->session().setSelStart(middle);
    }
    f.form->session().setReading(false);
}

void BM_WindowStep20KB(benchmark::State& state)
{
    readingSteps(state, 20 * 1024);
}
BENCHMARK(BM_WindowStep20KB)->Unit(benchmark::kMicrosecond);

void BM_WindowStep20MB(benchmark::State& state)
{
    readingSteps(state, 20 * 1024 * 1024);
}
BENCHMARK(BM_WindowStep20MB)->Unit(benchmark::kMicrosecond);

// F11 and F12 typed in pairs, faster than the pause before an utterance: the time the window
// takes to get through them (it answers again after that), with the pause on the event loop's
// clock as the window has it, and sleeping in the step as it was before.
template<class PauseWaiter> void startStopPairs(benchmark::State& state, PauseWaiter& waiter, int pairs)
{
    Fixture& f = fixture();
    MainWindow form(f.engine, f.dialogs, f.clipboard, waiter, std::vector<std::string>{});
    form.show();
    form.openDropped(kNovel);
    for (auto _ : state) {
        for (int i = 0; i < pairs; ++i) {
            form.findChild<QAction*>(QStringLiteral("startAction"))->trigger();
            form.findChild<QAction*>(QStringLiteral("stopAction"))->trigger();
        }
        QCoreApplication::processEvents();
    }
    state.counters["pairs"] = pairs;
}

void BM_WindowStartStopPairsTimerPause(benchmark::State& state)
{
    QtTimerWaiter waiter(*QCoreApplication::instance(), {});
    startStopPairs(state, waiter, 200);
}
BENCHMARK(BM_WindowStartStopPairsTimerPause)->Unit(benchmark::kMillisecond);

void BM_WindowStartStopPairsSleepingPause(benchmark::State& state)
{
    SleepWaiter waiter;
    startStopPairs(state, waiter, 5);
}
BENCHMARK(BM_WindowStartStopPairsSleepingPause)->Unit(benchmark::kMillisecond)->Iterations(2);

// The window made with a 60 MB reading dictionary of the words option on: how long its making
// holds the event loop (the dictionary itself is read off it).
void BM_WindowCreateWith60MBDictionary(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString ini = f.home.filePath(QStringLiteral("KVEN.ini"));
    const QString dic = f.home.filePath(QStringLiteral("KVEN.dic"));
    QFile::copy(ini, ini + QStringLiteral(".saved"));
    {
        QFile settings(ini);
        settings.open(QIODevice::Append);
        settings.write("[Words]=-1\r\n");
        std::ofstream words(dic.toStdString(), std::ios::binary);
        for (int i = 0; words.tellp() < 60'000'000; ++i)
            words << "\xE5\x8D\x98\xE8\xAA\x9E" << i << "=\xE3\x81\x9F\xE3\x82\x93\xE3\x81\x94" << i << '\n';
    }
    for (auto _ : state) {
        auto form =
            std::make_unique<MainWindow>(f.engine, f.dialogs, f.clipboard, f.waiter, std::vector<std::string>{});
        // Closing waits for the dictionary still being read: not part of the making.
        state.PauseTiming();
        if (!form->session().options().wordReadings)
            state.SkipWithError("the words option is off: no dictionary was read");
        form.reset();
        state.ResumeTiming();
    }
    QFile::remove(dic);
    QFile::remove(ini);
    QFile::rename(ini + QStringLiteral(".saved"), ini);
}
BENCHMARK(BM_WindowCreateWith60MBDictionary)->Unit(benchmark::kMillisecond)->Iterations(3);

// The window made and shown with the English words option on or off: the pronunciations are
// read on a thread of their own, so the making and the first show do not wait for them.
void windowShownWithEnglish(benchmark::State& state, bool english)
{
    Fixture& f = fixture();
    const QString ini = f.home.filePath(QStringLiteral("KVEN.ini"));
    QFile::copy(ini, ini + QStringLiteral(".saved"));
    if (english) {
        QFile settings(ini);
        settings.open(QIODevice::Append);
        settings.write("[English]=-1\r\n");
    }
    for (auto _ : state) {
        auto form =
            std::make_unique<MainWindow>(f.engine, f.dialogs, f.clipboard, f.waiter, std::vector<std::string>{});
        form->show();
        QCoreApplication::processEvents();
        // Closing waits for the pronunciations still being read: not part of the first show.
        state.PauseTiming();
        if (form->session().options().readEnglish != english)
            state.SkipWithError("the English option is not as the settings file says");
        form.reset();
        state.ResumeTiming();
    }
    QFile::remove(ini);
    QFile::rename(ini + QStringLiteral(".saved"), ini);
}
void BM_WindowShownEnglishOff(benchmark::State& state)
{
    windowShownWithEnglish(state, false);
}
void BM_WindowShownEnglishOn(benchmark::State& state)
{
    windowShownWithEnglish(state, true);
}
// The first iteration of "on" is the one that starts the reading: keep it among few.
BENCHMARK(BM_WindowShownEnglishOn)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WindowShownEnglishOff)->Unit(benchmark::kMillisecond)->Iterations(3);

long statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    }
    return -1;
}

// Peak resident memory of the window holding a 20 MB document, read and stepped through.
int peakMemory()
{
    Fixture& f = fixture();
    const std::string path = f.document("peak.txt", 20 * 1024 * 1024);
    const long before = statusKb("VmHWM:");
    f.form->openDropped(path);
    f.form->session().setReading(true);
    for (int i = 0; i < 100; ++i)
        f.form->endOfStream(f.engine.lastStream(), 0);
    QCoreApplication::processEvents();
    const double peakMb = static_cast<double>(statusKb("VmHWM:")) / 1024.0;
    const double beforeMb = static_cast<double>(before) / 1024.0;
    const double fileMb = 20.0;
    std::printf("file %.0f MB; peak RSS %.1f MB (%.2f x file), of which %.1f MB over the empty window (%.2f x file)\n",
                fileMb, peakMb, peakMb / fileMb, peakMb - beforeMb, (peakMb - beforeMb) / fileMb);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--peak-memory") {
        const int status = peakMemory();
        fixture().form.reset();
        return status;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture().form.reset();
    return 0;
}
