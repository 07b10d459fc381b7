// kven-read: reads a document from the command line with the same loading, positioning and
// reading step as the window: aloud through the audio output, into audio files (--out,
// --wav), or shown chunk by chunk (--dump).

#include "cli/DumpEngine.h"
#include "export/AudioExport.h"
#include "files/Errors.h"
#include "files/Paths.h"
#include "intake/Bookmarks.h"
#include "intake/Intake.h"
#include "reading/Reader.h"
#include "settings/SettingsFile.h"
#include "settings/VoiceChoice.h"
#include "settings/WordsFile.h"
#include "speech/Engines.h"
#include "speech/OpenJTalk.h"
#include "state/Dialogs.h"
#include "state/Session.h"
#include "text/Cp932.h"
#include "text/EucJp.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

using namespace kven;

constexpr const char* kUsage =
    "Usage: kven-read [--dump | --wav FILE | --out FILE [--split] [--quality KBITS]] [--voice N]\n"
    "                 [--rate R] [--from OFFSET] DOCUMENT\n"
    "\n"
    "Loads DOCUMENT as the window does when it is named on the command line: a .txt or .TXT\n"
    "file as Shift_JIS (or UTF-8) text, anything else as an HTML page; the cursor starts at\n"
    "the first heading or where reading last stopped (bookmark file KVEN.txt). Options, talk\n"
    "symbols and skip list come from KVEN.ini, and with [Words]=-1 there the reading\n"
    "dictionary from KVEN.dic. The files are read from $KVEN_HOME when it is set, else from\n"
    "the folder of this program; none is ever written.\n"
    "\n"
    "Without --dump, --wav or --out the document is read aloud through the desktop's sound server\n"
    "(PulseAudio or PipeWire). Ctrl+C stops at once.\n"
    "\n"
    "  --dump         say nothing; print one line per chunk handed to the speech engine:\n"
    "                 its start offset in bytes of the Shift_JIS text, a TAB, and the spoken\n"
    "                 text in UTF-8 (CR and LF written as \\r and \\n)\n"
    "  --wav FILE     say nothing; write every utterance into the WAV file FILE (48 kHz,\n"
    "                 mono, 16-bit), 200 ms of silence before each. The file appears only\n"
    "                 when it is complete, and only a regular file is replaced; on a terminal\n"
    "                 a progress line goes to standard error\n"
    "  --out FILE     say nothing; write the speech as --wav does, in the format that FILE's\n"
    "                 extension names: .wav, .flac, .ogg (Vorbis), .opus or .mp3, with title\n"
    "                 and artist tags (not in .wav)\n"
    "  --split        with --out: one file per chapter, cut at the headings, into the folder\n"
    "                 FILE without its extension: \"01 title.opus\", ... and a playlist .m3u8\n"
    "  --quality KBITS  with --out: the bit rate of .opus (6-256, default 28), .mp3 (32-320,\n"
    "                 default 64) or .ogg (45-240, roughly, default 48)\n"
    "  --jobs N       synthesize with N processes at once for --wav and --out (default: one per\n"
    "                 processor)\n"
    "  --voice N      use voice N (0 is the first) instead of the [Voice] setting; an index\n"
    "                 past the end names the voices there are\n"
    "  --rate R       speak at rate R, -10 (slowest) to 10 (fastest), instead of [Speed]\n"
    "  --from OFFSET  start reading at byte OFFSET instead of the heading or bookmark\n"
    "  --help         show this text\n"
    "\n"
    "Voices are the .htsvoice files in the voices folder beside this program, in\n"
    "/usr/share/hts-voice and in $KVEN_VOICES.\n"
    "\n"
    "Exit status: 0 when done, 1 when the document cannot be opened or speech fails, 2 for a\n"
    "usage error, 130 when stopped by Ctrl+C.\n";

struct Options {
    bool dump = false;
    std::optional<std::string> wav;
    std::optional<std::string> out;
    bool split = false;
    std::optional<int> quality;
    std::optional<int> voice;
    std::optional<int> rate;
    unsigned jobs = 0;
    std::optional<std::size_t> from;
    std::string document;
};

// Dialogs never shown: the reader asks nothing.
class NoDialogs : public Dialogs {
public:
    bool confirm(const std::string&) override { return false; }
    std::optional<std::string> chooseFile(const std::string&) override { return std::nullopt; }
};

int usageError(const std::string& message)
{
    std::fprintf(stderr, "kven-read: %s\n%s", message.c_str(), kUsage);
    return 2;
}

void warn(const KvenError& e)
{
    std::fprintf(stderr, "kven-read: warning: %s\n", errorBoxText(e.what()).c_str());
}

std::optional<long long> parseInteger(const char* value)
{
    long long n = 0;
    const char* end = value + std::strlen(value);
    const auto [ptr, ec] = std::from_chars(value, end, n);
    if (ec != std::errc() || ptr != end || value == end)
        return std::nullopt;
    return n;
}

// Returns an exit status when the arguments say the program is done.
std::optional<int> parseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            const bool written = std::fputs(kUsage, stdout) >= 0 && std::fflush(stdout) == 0;
            return written ? 0 : 1;
        }
        if (arg == "--dump") {
            options.dump = true;
        } else if (arg == "--from") {
            if (i + 1 >= argc)
                return usageError("--from needs an offset");
            const char* value = argv[++i];
            std::size_t offset = 0;
            const char* end = value + std::strlen(value);
            const auto [ptr, ec] = std::from_chars(value, end, offset);
            if (ec != std::errc() || ptr != end || value == end)
                return usageError(std::string("not a byte offset: ") + value);
            options.from = offset;
        } else if (arg == "--wav" || arg == "--out") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return usageError(arg + " needs a file name");
            (arg == "--wav" ? options.wav : options.out) = argv[++i];
        } else if (arg == "--split") {
            options.split = true;
        } else if (arg == "--voice" || arg == "--rate" || arg == "--jobs" || arg == "--quality") {
            if (i + 1 >= argc)
                return usageError(arg + " needs a number");
            const std::optional<long long> n = parseInteger(argv[++i]);
            if (arg == "--voice") {
                if (!n || *n < 0 || *n > 1000)
                    return usageError(std::string("not a voice index: ") + argv[i]);
                options.voice = static_cast<int>(*n);
            } else if (arg == "--quality") {
                if (!n || *n < 1 || *n > 10000)
                    return usageError(std::string("not a bit rate: ") + argv[i]);
                options.quality = static_cast<int>(*n);
            } else if (arg == "--rate") {
                if (!n || *n < -10 || *n > 10)
                    return usageError(std::string("not a rate from -10 to 10: ") + argv[i]);
                options.rate = static_cast<int>(*n);
            } else {
                if (!n || *n < 1 || *n > 256)
                    return usageError(std::string("not a number of jobs: ") + argv[i]);
                options.jobs = static_cast<unsigned>(*n);
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            return usageError("unknown option " + arg);
        } else {
            if (arg == "--") {
                if (i + 1 >= argc)
                    break;
                ++i;
            }
            if (!options.document.empty())
                return usageError("only one DOCUMENT can be read");
            options.document = argv[i];
        }
    }
    if (options.document.empty())
        return usageError("no DOCUMENT given");
    std::vector<std::string> modes;
    for (const auto& [given, name] : {std::pair{options.dump, "--dump"}, std::pair{options.wav.has_value(), "--wav"},
                                      std::pair{options.out.has_value(), "--out"}})
        if (given)
            modes.push_back(name);
    if (modes.size() > 1)
        return usageError(modes[0] + " and " + modes[1] + " exclude each other");
    if ((options.split || options.quality) && !options.out)
        return usageError("--split and --quality go with --out");
    return std::nullopt;
}

std::atomic<bool> interrupted{false};
std::atomic<AudioExport*> exporting{nullptr};

extern "C" void onInterrupt(int)
{
    interrupted = true;
    // Lock-free stores only: an export blocked in Speak notices at once.
    if (AudioExport* job = exporting.load())
        job->cancel();
}

// The progress line of an export, on a terminal only and at most twice a second.
class Progress {
public:
    Progress() : shown_(isatty(2) != 0) {}

    void update(const AudioExport& job)
    {
        if (!shown_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(500))
            return;
        last_ = now;
        std::fputs(job.progressLine().c_str(), stderr);
        std::fflush(stderr);
    }

    // Ends a progress line that was left open, so that a message starts on a line of its own.
    void breakLine()
    {
        if (shown_ && last_ != std::chrono::steady_clock::time_point{})
            std::fputs("\n", stderr);
    }

    void end(double seconds)
    {
        if (!shown_)
            return;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::fputs(ExportProgress::endLine(seconds, elapsed).c_str(), stderr);
    }

private:
    bool shown_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

// The voice and speed part of window creation: rate (when not 0) and the voice list, with
// the command line's choices over the stored ones. A voice index given on the command line
// must name a voice.
void setUpVoice(SpeechEngine& engine, Session& session, const Options& options, int storedVoice)
{
    if (options.rate)
        session.setSpeed(*options.rate);
    const std::vector<VoiceHandle> voices = applyVoiceChoice(engine, session, options.voice.value_or(storedVoice));
    if (options.voice && !voices.empty() && *options.voice >= static_cast<int>(voices.size())) {
        std::string list;
        for (std::size_t i = 0; i < voices.size(); ++i)
            list += "\n  " + std::to_string(i) + "  " + cp932::wideToUtf8(voices[i]->description(0));
        throw KvenError("there is no voice " + std::to_string(*options.voice) + "; the voices are:" + list);
    }
}

// --wav and --out. The files appear only once complete; Ctrl+C leaves none behind.
int exportAudio(Session session, ExportRequest request, const Options& options, int storedVoice)
{
    Progress progress;
    try {
        checkRequest(request);
        AudioExport job(std::move(session), std::move(request), OpenJTalkSetup::standard());
        exporting = &job;
        if (interrupted)
            job.cancel();
        struct Forget {
            ~Forget() { exporting = nullptr; }
        } forget;
        job.run([&](SpeechEngine& engine, Session& state) { setUpVoice(engine, state, options, storedVoice); },
                [&] { progress.update(job); });
        progress.end(job.status().speech);
    } catch (const KvenError& e) {
        if (interrupted) {
            progress.breakLine();
            return 130;
        }
        progress.breakLine();
        std::fprintf(stderr, "kven-read: %s\n", errorBoxText(e.what()).c_str());
        return 1;
    }
    return 0;
}

int run(int argc, char** argv)
{
    Options options;
    if (const auto done = parseArguments(argc, argv, options))
        return *done;

    Session session;
    NoDialogs dialogs;
    SettingsFile settings(session, dialogs, settingsFilePath());
    int storedVoice = 0;
    try {
        settings.startupRead([&storedVoice](int stored) { storedVoice = stored; });
    } catch (const KvenError& e) {
        warn(e);
    }
    if (session.wordReadings()) {
        WordsFile words = readWordsFile(wordsFilePath());
        for (const std::string& problem : words.problems)
            warn(KvenError(problem));
        session.document().words = std::move(words.dictionary);
    }

    EucJp pzConv;
    Bookmarks bookmarks(session, bookmarkFilePath());
    DocumentIntake intake(session, dialogs, bookmarks, pzConv);
    try {
        intake.loadFromCommandLine({options.document});
    } catch (const KvenError& e) {
        // The document is current only once it has been read; a failure after that is the
        // bookmark lookup, which leaves the document loaded and positioned.
        if (session.document().file.empty()) {
            std::fprintf(stderr, "kven-read: %s\n", errorBoxText(e.what()).c_str());
            return 1;
        }
        std::error_code error;
        // A bookmark file that is not there yet is no fault: the window makes it.
        if (std::filesystem::symlink_status(bookmarks.filePath(), error).type() ==
            std::filesystem::file_type::not_found)
            std::fprintf(stderr, "kven-read: ファイル %s はまだありません: しおりなしで読みます.\n",
                         bookmarks.filePath().c_str());
        else
            warn(e);
    }
    if (options.from)
        session.setSelStart(*options.from);

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    if (options.wav || options.out) {
        ExportRequest request;
        request.path = options.wav ? *options.wav : *options.out;
        if (options.wav)
            request.format = AudioFormat::wav;
        request.split = options.split;
        request.bitrate = options.quality;
        request.jobs = options.jobs;
        return exportAudio(std::move(session), std::move(request), options, storedVoice);
    }

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
        while (session.reading() && !interrupted)
            loop.runOne(std::chrono::milliseconds(options.dump ? 0 : 100));
    } catch (const KvenError& e) {
        if (interrupted)
            return 130;
        std::fprintf(stderr, "kven-read: %s\n", errorBoxText(e.what()).c_str());
        return 1;
    }
    if (interrupted) {
        // The engine's destruction ends the sound.
        if (!options.dump)
            reader.stop();
        return 130;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
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
