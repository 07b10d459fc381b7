// kven-read: reads a document from the command line with the same loading, positioning and
// reading step as the window: aloud through the audio output, into audio files (--out,
// --wav), or shown chunk by chunk (--dump).

#include "cli/AudioFileExport.h"
#include "cli/DumpEngine.h"
#include "cli/Interrupts.h"
#include "cli/Messages.h"
#include "cli/ReadOptions.h"
#include "cli/StartUp.h"
#include "reading/Reader.h"
#include "speech/Engines.h"
#include "state/Session.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>

namespace {

using namespace kven;
using namespace kven::cli;

// Aloud, or with --dump shown chunk by chunk, until the end of the text or an interrupt.
int readThrough(Session& session, const Options& options, int storedVoice)
{
    EventQueue loop;
    std::unique_ptr<SpeechEngine> engine;
    if (options.dump)
        engine = std::make_unique<DumpEngine>(loop, session, stdout);
    else
        engine = makeSpeechEngine(loop);
    NoWaiter noWait;
    SleepWaiter sleep;
    // The pause before each utterance is real only when it is heard.
    Waiter& waiter = options.dump ? static_cast<Waiter&>(noWait) : sleep;
    Reader reader(session, *engine, waiter);
    engine->setOnEndStream([&](int stream, std::int64_t position) { reader.endOfStream(stream, position); });
    engine->setOnStreamFailed([&](int stream) { reader.streamFailed(stream); });

    try {
        if (!options.dump)
            setUpVoice(*engine, session, options, storedVoice);
        reader.start();
        while (session.reading() && !interrupted())
            loop.runOne(std::chrono::milliseconds(options.dump ? 0 : 100));
    } catch (const KvenError& e) {
        if (interrupted())
            return 130;
        printError(e);
        return 1;
    }
    if (interrupted()) {
        // The engine's destruction ends the sound.
        if (!options.dump)
            reader.stop();
        return 130;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int run(int argc, char** argv)
{
    Options options;
    if (const auto done = parseArguments(argc, argv, options))
        return *done;

    Session session;
    const int storedVoice = loadSettings(session);
    if (!loadDocument(session, options.document))
        return 1;
    if (options.from)
        session.setSelStart(*options.from);

    catchInterrupts();
    if (options.wav || options.out)
        return exportAudio(std::move(session), options, storedVoice);
    return readThrough(session, options, storedVoice);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("kven-read: out of memory\n", stderr);
        return 1;
    }
}
