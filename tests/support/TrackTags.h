#pragma once
// A text track read as the most eager player reads it: every "[...]" and "<...>" anywhere on a
// line is a tag or a time stamp. A track is sound when each line holds exactly one, at its
// start: a tag line "[ti:...]", "[ar:...]" or "[al:...]" that is nothing else, or a time stamp
// "[mm:ss.xx]" followed by its text. Shared by the tests and the fuzz target.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kven::testing {

// Everything between an opening bracket and the next closing one of its kind, anywhere on
// `line`, brackets included.
inline std::vector<std::string_view> tagsAnywhere(std::string_view line)
{
    std::vector<std::string_view> tags;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char close = line[i] == '[' ? ']' : line[i] == '<' ? '>' : '\0';
        if (close == '\0')
            continue;
        const std::size_t end = line.find(close, i + 1);
        if (end == std::string_view::npos)
            continue;
        tags.push_back(line.substr(i, end - i + 1));
    }
    return tags;
}

inline bool isTimeStamp(std::string_view tag)
{
    // "[mm:ss.xx]", the minutes two digits or more.
    if (tag.size() < 10 || tag.front() != '[' || tag.back() != ']')
        return false;
    const std::string_view inside = tag.substr(1, tag.size() - 2);
    const std::size_t colon = inside.find(':');
    if (colon == std::string_view::npos || colon < 2 || inside.size() - colon != 6 || inside[colon + 3] != '.')
        return false;
    for (std::size_t i = 0; i < inside.size(); ++i)
        if (i != colon && i != colon + 3 && (inside[i] < '0' || inside[i] > '9'))
            return false;
    return true;
}

// What is wrong with the track `text`, or nothing.
inline std::optional<std::string> trackFault(std::string_view text)
{
    if (!text.empty() && text.back() != '\n')
        return "the last line has no end";
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.find('\r') != std::string_view::npos)
            return "a carriage return inside a line: " + std::string(line);
        const std::vector<std::string_view> tags = tagsAnywhere(line);
        if (tags.size() != 1 || line.substr(0, tags.front().size()) != tags.front())
            return "not exactly one tag, at the start: " + std::string(line);
        const bool tagLine = (line.starts_with("[ti:") || line.starts_with("[ar:") || line.starts_with("[al:")) &&
                             tags.front().size() == line.size();
        if (!tagLine && !isTimeStamp(tags.front()))
            return "neither a tag line nor a timed line: " + std::string(line);
    }
    return std::nullopt;
}

} // namespace kven::testing
