#pragma once
// Whole-file reading with a size limit, and atomic writing. Paths are the file system's own
// (UTF-8) names. Every descriptor opened here is close-on-exec, so that no synthesizer or other
// child process ever holds one of our files open.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kven {

// The largest settings or bookmark file that is read; a larger one counts as unreadable.
inline constexpr std::size_t kSmallFileLimit = std::size_t{64} << 20;
// The largest document text the editor holds, after conversion.
inline constexpr std::size_t kEditorTextLimit = std::size_t{256} << 20;

enum class ReadStatus {
    ok,
    cannotOpen, // missing, not a regular file (folder, FIFO, device), or unreadable
    tooLarge,   // a regular file of more than the limit
};

// Reads the whole of a regular file of at most `limit` bytes into `out`. Anything else is
// refused without reading from it (a FIFO is never waited on); `out` is then unchanged. With
// `error`, a file that cannot be opened leaves there the errno value of the failure, or 0 when
// it is no regular file.
ReadStatus readWholeFile(const std::string& path, std::size_t limit, std::string& out, int* error = nullptr);

// A file replaced whole or not at all. What is written goes into a temporary file beside the
// target; commit() flushes it to disk, renames it over the target and flushes the folder, so
// that a crash at any moment leaves the old file or the new one. A symbolic link is followed,
// so the link stays and its target is replaced; only a regular file (or none) is replaced.
// Without commit() the temporary file is removed; one left by a writer that was killed is
// removed by the next write of the same file (see removeStaleTemporaries).
class AtomicFile {
public:
    enum class Opened {
        ok,
        notRegularFile, // the target exists and is a folder, FIFO, device or socket
        failed,         // no temporary file can be created beside the target
    };

    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file: close-on-exec, with the permissions of the file it replaces
    // (a new file gets those the umask allows).
    Opened open();
    // Appends `data`; false on any failure.
    bool write(std::string_view data);
    // Overwrites bytes already written, from `offset`; false on any failure.
    bool writeAt(std::uint64_t offset, std::string_view data);
    // Writes the temporary file through to the disk and closes it, still under its temporary
    // name; false on any failure, the temporary file then removed. Nothing can be written after.
    bool seal();
    // Seals the temporary file if that is not done and puts it in place of the target; false
    // on any failure, the target then unchanged and the temporary file removed.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

    const std::string& temporaryPath() const { return temporary_; }

private:
    std::string target_;
    std::string resolved_;
    std::string temporary_;
    int fd_ = -1;
};

// Removes the temporary files that writers of `target` (after its links) left behind when
// they were killed: names of AtomicFile's own pattern whose process no longer runs. Returns
// how many went.
std::size_t removeStaleTemporaries(const std::string& target);

// Makes the renames in `folder` durable; where that cannot be done, they have happened all the
// same.
void syncFolder(const std::string& folder);

// A name of AtomicFile's pattern for its temporary files, "<target>.part-<pid>-<start>-<n>", read
// back: the target's name and whether the writer is gone. Nothing for any other name, the
// "<target>.part-<pid>" of older exports included, which a user's own file may have too.
struct TemporaryName {
    std::string_view target;
    bool writerGone;
};
std::optional<TemporaryName> readTemporaryName(std::string_view name);

// Creates an empty folder beside `target` under a name of that pattern, for a writer that puts
// several files in place at the end; its path, or an empty string when it cannot be made.
std::string makeTemporaryFolder(const std::string& target);

// Replaces the file at `path` with `data` through an AtomicFile. Returns false on any failure;
// the old file is then unchanged and no temporary file is left behind.
bool writeFileAtomic(const std::string& path, std::string_view data);

} // namespace kven
