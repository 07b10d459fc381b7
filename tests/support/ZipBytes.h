#pragma once
// ZIP archives made in memory with libzip, entry by entry, for the tests, the fuzz targets and
// the benchmarks.

#include <string>
#include <vector>

namespace kven::testing {

struct ZipEntry {
    std::string name;
    std::string bytes;
    bool encrypted = false; // with traditional PKWARE encryption
};

// The bytes of an archive holding `entries` in order: deflated when `deflate` is set, except an
// entry named "mimetype", which is always stored. Empty when libzip fails.
std::string zipOf(const std::vector<ZipEntry>& entries, bool deflate = true);

} // namespace kven::testing
