// kven-read: reads a document from the command line with the same loading, positioning and
// reading step as the window. `--dump` shows what would be said, chunk by chunk.

#include "app/Dialogs.h"
#include "app/MemoryWindowState.h"
#include "cli/DumpEngine.h"
#include "files/Errors.h"
#include "files/Paths.h"
#include "intake/Bookmarks.h"
#include "intake/Intake.h"
#include "pzconv/PzConv.h"
#include "reading/Reader.h"
#include "settings/SettingsFile.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace kven;

constexpr const char* kUsage =
    "Usage: kven-read [--dump] [--from OFFSET] DOCUMENT\n"
    "\n"
    "Loads DOCUMENT as the window does when it is named on the command line: a .txt or .TXT\n"
    "file as Shift_JIS (or UTF-8) text, anything else as an HTML page; the cursor starts at\n"
    "the first heading or where reading last stopped (bookmark file KVEN.txt). Options, talk\n"
    "symbols and skip list come from KVEN.ini. Both files are read from $KVEN_HOME when it is\n"
    "set, else from the folder of this program; neither is ever written.\n"
    "\n"
    "  --dump         say nothing; print one line per chunk handed to the speech engine:\n"
    "                 its start offset in bytes of the Shift_JIS text, a TAB, and the spoken\n"
    "                 text in UTF-8 (CR and LF written as \\r and \\n)\n"
    "  --from OFFSET  start reading at byte OFFSET instead of the heading or bookmark\n"
    "  --help         show this text\n"
    "\n"
    "Exit status: 0 when done, 1 when the document cannot be opened, 2 for a usage error.\n";

struct Options {
    bool dump = false;
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
        } else if (arg == "--wav" || arg == "--voice" || arg == "--rate") {
            return usageError(arg + " needs the speech engine, which this build does not have yet");
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
    if (!options.dump)
        return usageError("speaking needs the speech engine, which this build does not have yet; use --dump");
    return std::nullopt;
}

int run(int argc, char** argv)
{
    Options options;
    if (const auto done = parseArguments(argc, argv, options))
        return *done;

    MemoryWindowState window;
    SharedState shared;
    NoDialogs dialogs;
    SettingsFile settings(window, dialogs, settingsFilePath());
    try {
        settings.startupRead();
    } catch (const KvenError& e) {
        warn(e);
    }

    TPzConv pzConv;
    Bookmarks bookmarks(window, shared, bookmarkFilePath());
    DocumentIntake intake(window, shared, dialogs, bookmarks, pzConv);
    try {
        intake.loadFromCommandLine({options.document});
    } catch (const KvenError& e) {
        // The document is current only once it has been read; a failure after that is the
        // bookmark lookup, which leaves the document loaded and positioned.
        if (shared.currentFile.empty()) {
            std::fprintf(stderr, "kven-read: %s\n", errorBoxText(e.what()).c_str());
            return 1;
        }
        warn(e);
    }
    if (options.from)
        window.setSelStart(*options.from);

    EventQueue loop;
    NoWaiter noWait;
    DumpEngine engine(loop, window, stdout);
    Reader reader(window, shared, engine, noWait);
    engine.setOnEndStream([&reader](int stream, std::int64_t position) { reader.TTSEndStream(stream, position); });
    try {
        reader.Button1Click();
        while (!window.startEnabled() && loop.runOne())
            ;
    } catch (const KvenError& e) {
        std::fprintf(stderr, "kven-read: %s\n", errorBoxText(e.what()).c_str());
        return 1;
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
