#include "files/FileIo.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
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

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t put = ::write(fd, data.data(), data.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

} // namespace

bool writeFileAtomic(const std::string& path, std::string_view data)
{
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return false;
    // Keep the mode an ordinary file would get (mkstemp creates 0600).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(tmp.c_str());
    return false;
}

} // namespace kven
