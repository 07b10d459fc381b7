#include "files/TemporaryNames.h"

#include "files/FileIo.h"
#include "files/Paths.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kven {

namespace {

// Where a temporary file's name goes on from the target's name.
constexpr std::string_view kPartMark = ".part-";

struct ProcessInfo {
    char state;
    unsigned long long start; // clock ticks after boot
};

// The state and start time of a process, from /proc; nothing when they cannot be read.
std::optional<ProcessInfo> processInfo(long pid)
{
    std::string stat;
    if (readWholeFile("/proc/" + std::to_string(pid) + "/stat", 4096, stat) != ReadStatus::ok)
        return std::nullopt;
    // The command name, in parentheses, may itself hold blanks and parentheses.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return std::nullopt;
    std::string_view rest = std::string_view(stat).substr(close + 2);
    ProcessInfo info{rest.front(), 0};
    // From the third field, the state, on to the 22nd, the start time.
    for (int field = 3; field < 22; ++field) {
        const std::size_t blank = rest.find(' ');
        if (blank == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(blank + 1);
    }
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), info.start);
    if (ec != std::errc() || end == rest.data())
        return std::nullopt;
    return info;
}

std::optional<unsigned long long> decimal(std::string_view text)
{
    unsigned long long n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || text.front() == '+')
        return std::nullopt;
    return n;
}

// The numbers that follow ".part-" in a temporary file's name: "<pid>-<start>-<n>", or "<pid>"
// alone as exports once named theirs. Nothing for anything else, which is not ours.
std::optional<std::vector<unsigned long long>> writerNumbers(std::string_view suffix)
{
    std::vector<unsigned long long> numbers;
    for (std::size_t from = 0;;) {
        const std::size_t dash = suffix.find('-', from);
        const std::optional<unsigned long long> n =
            decimal(suffix.substr(from, dash == std::string_view::npos ? dash : dash - from));
        if (!n)
            return std::nullopt;
        numbers.push_back(*n);
        if (dash == std::string_view::npos)
            break;
        from = dash + 1;
    }
    if (numbers.size() != 1 && numbers.size() != 3)
        return std::nullopt;
    // Process 0 or a negative number would make kill() reach whole process groups.
    if (numbers[0] == 0 || numbers[0] > static_cast<unsigned long long>(std::numeric_limits<pid_t>::max()))
        return std::nullopt;
    return numbers;
}

// Whether the writer that `writerNumbers` names is gone.
bool writerIsGone(const std::vector<unsigned long long>& numbers)
{
    const auto pid = static_cast<pid_t>(numbers[0]);
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    const std::optional<ProcessInfo> info = processInfo(pid);
    // A killed process not yet reaped by its parent writes nothing more.
    if (info && info->state == 'Z')
        return true;
    // The number may have gone to a new process since (0: the writer did not know its start).
    return numbers.size() == 3 && numbers[1] != 0 && info && info->start != numbers[1];
}

bool writerIsGone(std::string_view suffix)
{
    const std::optional<std::vector<unsigned long long>> numbers = writerNumbers(suffix);
    return numbers && writerIsGone(*numbers);
}

std::atomic<unsigned> temporarySerial{0};

} // namespace

std::string temporaryStem(const std::string& target)
{
    const pid_t pid = ::getpid();
    const std::optional<ProcessInfo> self = processInfo(pid);
    return target + std::string(kPartMark) + std::to_string(pid) + "-" + std::to_string(self ? self->start : 0) + "-";
}

std::string numberedName(const std::string& stem)
{
    return stem + std::to_string(temporarySerial++);
}

std::size_t removeStaleBeside(const std::string& resolved)
{
    const std::string_view folderName = folderOf(resolved);
    const std::string folder = folderName.empty() ? std::string(".") : std::string(folderName);
    const std::string prefix = std::string(fileNameOf(resolved)) + std::string(kPartMark);
    std::size_t removed = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix) && writerIsGone(std::string_view(name).substr(prefix.size())) &&
            ::unlink(it->path().c_str()) == 0)
            ++removed;
    }
    return removed;
}

std::optional<TemporaryName> readTemporaryName(std::string_view name)
{
    const std::size_t mark = name.rfind(kPartMark);
    if (mark == std::string_view::npos || mark == 0)
        return std::nullopt;
    const std::optional<std::vector<unsigned long long>> numbers = writerNumbers(name.substr(mark + kPartMark.size()));
    if (!numbers || numbers->size() != 3)
        return std::nullopt;
    return TemporaryName{name.substr(0, mark), writerIsGone(*numbers)};
}

std::string makeTemporaryFolder(const std::string& target)
{
    const std::string stem = temporaryStem(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = numberedName(stem);
        if (::mkdir(name.c_str(), 0777) == 0)
            return name;
        if (errno != EEXIST)
            break;
    }
    return {};
}

} // namespace kven
