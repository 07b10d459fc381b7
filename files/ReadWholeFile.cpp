#include "files/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kven {

ReadStatus readWholeFile(const std::string& path, std::size_t limit, std::string& out, int* error)
{
    const auto failed = [error](int fd, int code) {
        if (error != nullptr)
            *error = code;
        if (fd >= 0)
            ::close(fd);
        return ReadStatus::cannotOpen;
    };
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failed(fd, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return failed(fd, errno);
    if (!S_ISREG(st.st_mode))
        return failed(fd, 0);
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
            return failed(fd, errno);
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

} // namespace kven
