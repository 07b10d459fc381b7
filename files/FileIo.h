#pragma once
// Whole-file reading with a size limit, and atomic writing. Paths are the file system's own
// (UTF-8) names.

#include <cstddef>
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
// refused without reading from it (a FIFO is never waited on); `out` is then unchanged.
ReadStatus readWholeFile(const std::string& path, std::size_t limit, std::string& out);

// Writes `data` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, so a crash never leaves a half-written file. Returns false on any failure; the
// old file is then unchanged and no temporary file is left behind.
bool writeFileAtomic(const std::string& path, std::string_view data);

} // namespace kven
