#pragma once
// Addresses inside a book: the hrefs of its package and navigation documents resolved to
// archive entry names.

#include <optional>
#include <string>
#include <string_view>

namespace kven {

// An address with a scheme ("http:", "file:").
bool isRemote(std::string_view href);

// `href` resolved against the folder of `from` (an archive entry name), its fragment cut off
// into `fragment` and its percent escapes decoded; only a fragment names `from` itself. Nothing
// when it climbs above the archive's root or points outside it (a scheme, an absolute path).
std::optional<std::string> resolveHref(std::string_view from, std::string_view href, std::string* fragment = nullptr);

} // namespace kven
