#pragma once
// ZIP archives made by the tests with libzip, entry by entry.

#include <string>
#include <utility>
#include <vector>

namespace kven::testing {

struct ZipEntry {
    std::string name;
    std::string bytes;
    bool encrypted = false; // stored with traditional PKWARE encryption
};

// The bytes of an archive holding `entries` in order, deflated except a first "mimetype".
std::string zipOf(const std::vector<ZipEntry>& entries);

} // namespace kven::testing
