#include "cli/AudioFileExport.h"

#include "cli/Interrupts.h"
#include "cli/Messages.h"
#include "cli/StartUp.h"
#include "cli/TerminalProgress.h"
#include "export/AudioExport.h"
#include "speech/OpenJTalk.h"

#include <cstdio>
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
    request.from = options.from;
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
        bool told = false;
        job.run([&](SpeechEngine& engine, Session& state) { setUpVoice(engine, state, options, storedVoice); },
                [&] {
                    // Once, as soon as the files are planned: what a resumed export keeps.
                    if (const std::optional<TakenOver> taken = told ? std::nullopt : job.status().takenOver) {
                        told = true;
                        const std::vector<std::string> lines = takenOverText(*taken);
                        if (!lines.empty())
                            progress.breakLine();
                        for (const std::string& line : lines)
                            std::fprintf(stderr, "kven-read: %s\n", line.c_str());
                    }
                    progress.update(job);
                });
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
