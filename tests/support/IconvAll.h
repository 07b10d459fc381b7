#pragma once
// Whole-text conversion through glibc iconv, as an independent reference for tests.

#include <optional>
#include <string>
#include <string_view>

namespace kven::testing {

// The converted text, or nothing when iconv stops on any byte of the input.
std::optional<std::string> iconvAll(const char* to, const char* from, std::string_view in);

} // namespace kven::testing
