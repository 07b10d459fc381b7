#include "files/FileIo.h"

#include "files/Paths.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kven {

ReadStatus readWholeFile(const std::string& path, std::size_t limit, std::string& out)
{
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ReadStatus::cannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::cannotOpen;
    }
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        ::close(fd);
        return ReadStatus::tooLarge;
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        // At most one byte past the limit is ever read: enough to tell that a file which grew,
        // or whose size said less than it holds, is too large.
        const std::size_t room = limit - data.size();
        const ssize_t got = ::read(fd, buffer, room < sizeof buffer ? room + 1 : sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return ReadStatus::cannotOpen;
        }
        if (got == 0)
            break;
        // The file may grow while it is read.
        if (data.size() + static_cast<std::size_t>(got) > limit) {
            ::close(fd);
            return ReadStatus::tooLarge;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    out = std::move(data);
    return ReadStatus::ok;
}

namespace {

// Where a temporary file's name goes on from the target's name: "<name>.part-<pid>-<start>-<n>",
// with the writer's process number and start time, so that the next writer can tell one left
// by a killed writer from one still being written.
constexpr std::string_view kPartMark = ".part-";
// Links followed before a chain of them counts as a loop.
constexpr int kMaxLinks = 40;

bool writeAll(int fd, std::string_view data, std::optional<std::uint64_t> offset = std::nullopt)
{
    while (!data.empty()) {
        const ssize_t put = offset ? ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(*offset))
                                   : ::write(fd, data.data(), data.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(put));
        if (offset)
            *offset += static_cast<std::uint64_t>(put);
    }
    return true;
}

// `path`, or the file its symbolic link names (again while that is a link); nothing when the
// links go round or cannot be read.
std::optional<std::string> followLinks(std::string path)
{
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char buffer[PATH_MAX];
        const ssize_t len = ::readlink(path.c_str(), buffer, sizeof buffer);
        if (len <= 0 || static_cast<std::size_t>(len) >= sizeof buffer)
            return std::nullopt;
        std::string next(buffer, static_cast<std::size_t>(len));
        // A relative link is relative to the folder that holds it.
        if (next.front() != '/' && !folderOf(path).empty())
            next = inFolder(folderOf(path), next);
        path = std::move(next);
    }
    return std::nullopt;
}

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

// The start of a new temporary name for `target`, to which a serial number is added.
std::string temporaryStem(const std::string& target)
{
    const pid_t pid = ::getpid();
    const std::optional<ProcessInfo> self = processInfo(pid);
    return target + std::string(kPartMark) + std::to_string(pid) + "-" + std::to_string(self ? self->start : 0) + "-";
}

// Serial numbers of the temporary names of this process. A name can be taken only by a writer
// of this process, or by one of an earlier process with the same number and start time that
// left it behind.
std::atomic<unsigned> temporarySerial{0};

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

void syncFolderOf(const std::string& path)
{
    const std::string_view folderName = folderOf(path);
    syncFolder(folderName.empty() ? std::string(".") : std::string(folderName));
}

} // namespace

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target))
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

AtomicFile::Opened AtomicFile::open()
{
    discard();
    const std::optional<std::string> resolved = followLinks(target_);
    if (!resolved)
        return Opened::failed;
    resolved_ = *resolved;
    std::optional<mode_t> mode;
    struct stat st {};
    if (::stat(resolved_.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return Opened::notRegularFile;
        mode = st.st_mode & 0777;
    }
    removeStaleBeside(resolved_);

    const std::string stem = temporaryStem(resolved_);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        std::string name = stem + std::to_string(temporarySerial++);
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            temporary_ = std::move(name);
        else if (errno != EEXIST)
            return Opened::failed;
    }
    if (fd_ < 0)
        return Opened::failed;
    // The replacement keeps what the old file allowed, which the umask may have narrowed.
    if (mode)
        ::fchmod(fd_, *mode);
    return Opened::ok;
}

bool AtomicFile::write(std::string_view data)
{
    return fd_ >= 0 && writeAll(fd_, data);
}

bool AtomicFile::writeAt(std::uint64_t offset, std::string_view data)
{
    return fd_ >= 0 && writeAll(fd_, data, offset);
}

bool AtomicFile::seal()
{
    if (fd_ < 0)
        return !temporary_.empty();
    bool ok = ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (!ok)
        discard();
    return ok;
}

bool AtomicFile::commit()
{
    if (!seal() || ::rename(temporary_.c_str(), resolved_.c_str()) != 0) {
        discard();
        return false;
    }
    temporary_.clear();
    syncFolderOf(resolved_);
    return true;
}

void AtomicFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

std::size_t removeStaleTemporaries(const std::string& target)
{
    const std::optional<std::string> resolved = followLinks(target);
    return resolved ? removeStaleBeside(*resolved) : 0;
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
        std::string name = stem + std::to_string(temporarySerial++);
        if (::mkdir(name.c_str(), 0777) == 0)
            return name;
        if (errno != EEXIST)
            break;
    }
    return {};
}

bool writeFileAtomic(const std::string& path, std::string_view data)
{
    AtomicFile file(path);
    return file.open() == AtomicFile::Opened::ok && file.write(data) && file.commit();
}

} // namespace kven
