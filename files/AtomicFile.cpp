#include "files/FileIo.h"

#include "files/Paths.h"
#include "files/TemporaryNames.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kven {

namespace {

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
        std::string name = numberedName(stem);
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

bool writeFileAtomic(const std::string& path, std::string_view data)
{
    AtomicFile file(path);
    return file.open() == AtomicFile::Opened::ok && file.write(data) && file.commit();
}

} // namespace kven
