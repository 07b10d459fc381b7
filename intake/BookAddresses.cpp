#include "intake/BookAddresses.h"

#include "text/TextOps.h"

#include <algorithm>
#include <vector>

namespace kven {

namespace {

std::string percentDecoded(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto digit = [&](std::size_t at) { return hexValue(static_cast<unsigned char>(s[at])); };
        if (s[i] == '%' && i + 2 < s.size() && digit(i + 1) >= 0 && digit(i + 2) >= 0) {
            out += static_cast<char>(digit(i + 1) * 16 + digit(i + 2));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

bool isRemote(std::string_view href)
{
    const std::size_t colon = href.find(':');
    return colon != std::string_view::npos && colon < href.find_first_of("/?#");
}

std::optional<std::string> resolveHref(std::string_view from, std::string_view href, std::string* fragment)
{
    const std::size_t hash = href.find('#');
    if (fragment != nullptr)
        *fragment = hash == std::string_view::npos ? std::string() : percentDecoded(href.substr(hash + 1));
    href = href.substr(0, hash);
    // A scheme ("http:", "file:") or an absolute path points outside the archive.
    if (isRemote(href) || href.starts_with('/'))
        return std::nullopt;
    // Only a fragment: a place in the document itself.
    if (href.empty() && hash != std::string_view::npos)
        return std::string(from);
    const std::size_t slash = from.rfind('/');
    const std::string joined =
        (slash == std::string_view::npos ? std::string() : std::string(from.substr(0, slash + 1))) +
        percentDecoded(href);
    std::vector<std::string_view> parts;
    const std::string_view all(joined);
    for (std::size_t start = 0; start <= all.size();) {
        const std::size_t end = std::min(all.find('/', start), all.size());
        const std::string_view part = all.substr(start, end - start);
        if (part == "..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string_view part : parts)
        path += (path.empty() ? "" : "/") + std::string(part);
    return path;
}

} // namespace kven
