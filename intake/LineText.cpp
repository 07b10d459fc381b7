#include "intake/LineText.h"

#include "text/Cp932.h"

#include <algorithm>

namespace kven {

std::vector<Line> linesOf(std::string_view sjis)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < sjis.size()) {
        std::size_t end = sjis.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? sjis.size() : end + 1;
        if (end == std::string_view::npos)
            end = sjis.size();
        std::size_t stop = end;
        while (stop > start && sjis[stop - 1] == '\r')
            --stop;
        lines.push_back({start, cp932::toUtf8(sjis.substr(start, stop - start))});
        start = next;
    }
    return lines;
}

namespace {

constexpr std::string_view kNoteOpen = "［＃";
constexpr std::string_view kNoteClose = "］";
constexpr std::string_view kFullBlank = "\u3000";

std::string trimBlanks(std::string s)
{
    const auto blankAt = [&s](std::size_t i) -> std::size_t {
        if (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')
            return 1;
        return s.compare(i, kFullBlank.size(), kFullBlank) == 0 ? kFullBlank.size() : 0;
    };
    std::size_t lead = 0;
    while (lead < s.size()) {
        const std::size_t n = blankAt(lead);
        if (n == 0)
            break;
        lead += n;
    }
    s.erase(0, lead);
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
            s.pop_back();
        else if (s.size() >= kFullBlank.size() &&
                 s.compare(s.size() - kFullBlank.size(), kFullBlank.size(), kFullBlank) == 0)
            s.resize(s.size() - kFullBlank.size());
        else
            break;
    }
    return s;
}

} // namespace

std::string cleanText(std::string_view utf8, std::size_t from)
{
    std::string out;
    std::size_t noteDepth = 0;
    bool inRuby = false;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::string_view rest = utf8.substr(i);
        if (rest.starts_with(kNoteOpen)) {
            ++noteDepth;
            // A gaiji mark stands for the character its note describes.
            if (noteDepth == 1 && out.ends_with("※"))
                out.resize(out.size() - std::string_view("※").size());
            i += kNoteOpen.size();
            continue;
        }
        if (noteDepth > 0) {
            if (rest.starts_with(kNoteClose))
                --noteDepth;
            i += rest.starts_with(kNoteClose) ? kNoteClose.size() : 1;
            continue;
        }
        if (rest.starts_with("《")) {
            inRuby = true;
        } else if (rest.starts_with("》") && inRuby) {
            inRuby = false;
            i += std::string_view("》").size();
            continue;
        }
        if (inRuby || rest.starts_with("｜")) {
            i += rest.starts_with("｜") ? std::string_view("｜").size() : 1;
            continue;
        }
        if (i >= from)
            out.push_back(utf8[i]);
        ++i;
    }
    return trimBlanks(std::move(out));
}

std::string shownText(std::string_view sjis, std::size_t start, std::size_t length)
{
    // A note or a ruby reading open at `start` began on its line, and not far before.
    constexpr std::size_t kLookBack = 4096;
    start = std::min(start, sjis.size());
    length = std::min(length, sjis.size() - start);
    std::size_t lineStart = start;
    const std::size_t earliest = start > kLookBack ? start - kLookBack : 0;
    while (lineStart > earliest && sjis[lineStart - 1] != '\n')
        --lineStart;
    const std::string before = cp932::toUtf8(sjis.substr(lineStart, start - lineStart));
    return cleanText(before + cp932::toUtf8(sjis.substr(start, length)), before.size());
}

} // namespace kven
