#include "cli/AudioFileExport.h"

#include "cli/Interrupts.h"
#include "cli/Messages.h"
#include "cli/StartUp.h"
#include "cli/TerminalProgress.h"
#include "export/AudioExport.h"
#include "speech/OpenJTalk.h"

#include <utility>

namespace kven::cli {

namespace {

ExportRequest requestOf(const Options& options)
{
    ExportRequest request;
    request.path = options.wav ? *options.wav : *options.out;
    if (options.wav)
        request.format = AudioFormat::wav;
    request.split = options.split;
    request.lyrics = options.lyrics;
    request.bitrate = options.quality;
    request.jobs = options.jobs;
    return request;
}

} // namespace

int exportAudio(Session session, const Options& options, int storedVoice)
{
    ExportRequest request = requestOf(options);
    TerminalProgress progress;
    try {
        checkRequest(request);
        AudioExport job(std::move(session), std::move(request), OpenJTalkSetup::standard());
        const CancelOnInterrupt cancelOnInterrupt(job);
        job.run([&](SpeechEngine& engine, Session& state) { setUpVoice(engine, state, options, storedVoice); },
                [&] { progress.update(job); });
        progress.end(job.status().speech);
    } catch (const KvenError& e) {
        progress.breakLine();
        if (interrupted())
            return 130;
        printError(e);
        return 1;
    }
    return 0;
}

} // namespace kven::cli
