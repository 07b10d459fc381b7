#pragma once
// Whole-file reading and atomic writing. Paths are the file system's own (UTF-8) names.

#include <string>
#include <string_view>

namespace kven {

// Reads the whole file into `out`. Returns false when the file cannot be opened or read
// (missing, a folder, unreadable); `out` is then unchanged.
bool readWholeFile(const std::string& path, std::string& out);

// Writes `data` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, so a crash never leaves a half-written file. Returns false on any failure; the
// old file is then unchanged and no temporary file is left behind.
bool writeFileAtomic(const std::string& path, std::string_view data);

// The folder that holds KVEN.ini and KVEN.txt: $KVEN_HOME when set and not empty, else the
// folder of the running executable. No trailing "/".
std::string dataFolder();

// Makes `path` absolute against the working folder (no other normalisation).
std::string absolutePath(const std::string& path);

} // namespace kven
