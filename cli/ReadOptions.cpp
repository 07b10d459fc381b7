#include "cli/ReadOptions.h"

#include "cli/UsageText.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

namespace kven::cli {

namespace {

int usageError(const std::string& message)
{
    std::fprintf(stderr, "kven-read: %s\n%s", message.c_str(), kUsage);
    return 2;
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

bool takesNumber(const std::string& arg)
{
    return arg == "--voice" || arg == "--rate" || arg == "--jobs" || arg == "--quality";
}

// The value of --from; an exit status when it is not a byte offset.
std::optional<int> takeOffset(const char* value, Options& options)
{
    std::size_t offset = 0;
    const char* end = value + std::strlen(value);
    const auto [ptr, ec] = std::from_chars(value, end, offset);
    if (ec != std::errc() || ptr != end || value == end)
        return usageError(std::string("not a byte offset: ") + value);
    options.from = offset;
    return std::nullopt;
}

// The value of an option that takesNumber; an exit status when it is out of the option's range.
std::optional<int> takeNumber(const std::string& arg, const char* value, Options& options)
{
    const std::optional<long long> n = parseInteger(value);
    if (arg == "--voice") {
        if (!n || *n < 0 || *n > 1000)
            return usageError(std::string("not a voice index: ") + value);
        options.voice = static_cast<int>(*n);
    } else if (arg == "--quality") {
        if (!n || *n < 1 || *n > 10000)
            return usageError(std::string("not a bit rate: ") + value);
        options.quality = static_cast<int>(*n);
    } else if (arg == "--rate") {
        if (!n || *n < -10 || *n > 10)
            return usageError(std::string("not a rate from -10 to 10: ") + value);
        options.rate = static_cast<int>(*n);
    } else {
        if (!n || *n < 1 || *n > 256)
            return usageError(std::string("not a number of jobs: ") + value);
        options.jobs = static_cast<unsigned>(*n);
    }
    return std::nullopt;
}

// What the options ask for together: a document, at most one mode, and what goes with --out.
std::optional<int> checkTogether(const Options& options)
{
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
    if (options.lyrics && !options.out && !options.wav)
        return usageError("--lyrics goes with --out or --wav");
    return std::nullopt;
}

} // namespace

std::optional<int> parseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            const bool written = std::fputs(kUsage, stdout) >= 0 && std::fflush(stdout) == 0;
            return written ? 0 : 1;
        }
        std::optional<int> done;
        if (arg == "--dump") {
            options.dump = true;
        } else if (arg == "--from") {
            if (i + 1 >= argc)
                return usageError("--from needs an offset");
            done = takeOffset(argv[++i], options);
        } else if (arg == "--wav" || arg == "--out") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return usageError(arg + " needs a file name");
            (arg == "--wav" ? options.wav : options.out) = argv[++i];
        } else if (arg == "--split") {
            options.split = true;
        } else if (arg == "--lyrics") {
            options.lyrics = true;
        } else if (takesNumber(arg)) {
            if (i + 1 >= argc)
                return usageError(arg + " needs a number");
            done = takeNumber(arg, argv[++i], options);
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
        if (done)
            return done;
    }
    return checkTogether(options);
}

} // namespace kven::cli
