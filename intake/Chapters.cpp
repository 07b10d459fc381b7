#include "intake/Chapters.h"

#include "files/Paths.h"
#include "intake/LineText.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <algorithm>
#include <optional>

namespace kven {
namespace {

constexpr std::string_view kNoteOpen = "［＃";
constexpr std::string_view kNoteClose = "］";
constexpr std::string_view kHeadingEnd = "見出し］";
constexpr std::string_view kHeadingBlockEnd = "見出し終わり］";
// Longer than any title line; such a first line is text, not a title.
constexpr std::size_t kTitleMaxBytes = 3 * 60;
constexpr std::size_t kAuthorMaxBytes = 3 * 30;

struct Heading {
    std::size_t offset;
    std::string title;
    std::size_t lastLine;   // the line the heading ends on
    bool textAfter = false; // its line reads on after it (a run-in heading)
};

// Where the note that is open at `at` began: notes nest (a gaiji note inside the quoted
// heading of a heading note), so brackets are paired from the start of the line.
std::size_t noteOpening(std::string_view line, std::size_t at)
{
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < at;) {
        if (line.substr(i).starts_with(kNoteOpen)) {
            open.push_back(i);
            i += kNoteOpen.size();
        } else if (line.substr(i).starts_with(kNoteClose)) {
            if (!open.empty())
                open.pop_back();
            i += kNoteClose.size();
        } else {
            ++i;
        }
    }
    return open.empty() ? std::string_view::npos : open.back();
}

bool isLevel(std::string_view before)
{
    // The note names 大, 中 or 小, after an optional 同行 (run-in) or 窓 (window).
    for (const std::string_view level : {"大", "中", "小"}) {
        if (!before.ends_with(level))
            continue;
        before.remove_suffix(level.size());
        return before.empty() || before.ends_with("同行") || before.ends_with("窓") || before.ends_with("は") ||
               before.ends_with("＃") || before.ends_with("ここから");
    }
    return false;
}

// The heading an Aozora line starts, if any: "X［＃「X」は中見出し］", "［＃中見出し］X［＃中見出し
// 終わり］", or "［＃ここから中見出し］" opening a block whose lines up to "［＃ここで中見出し
// 終わり］" are the heading.
std::optional<Heading> aozoraHeading(const std::vector<Line>& lines, std::size_t index)
{
    const std::string& line = lines[index].utf8;
    for (std::size_t at = line.find(kHeadingEnd); at != std::string::npos; at = line.find(kHeadingEnd, at + 1)) {
        const std::size_t open = noteOpening(line, at);
        if (open == std::string::npos)
            continue;
        const std::string_view note =
            std::string_view(line).substr(open + kNoteOpen.size(), at - open - kNoteOpen.size());
        if (!isLevel(note))
            continue;
        // "「X」は中見出し": X is the heading.
        if (note.starts_with("「")) {
            const std::size_t close = note.rfind("」は");
            if (close == std::string_view::npos)
                continue;
            return Heading{lines[index].offset,
                           cleanText(note.substr(std::string_view("「").size(), close - std::string_view("「").size())),
                           index};
        }
        const std::string_view tail = std::string_view(line).substr(at + kHeadingEnd.size());
        if (note.starts_with("ここから")) {
            std::string title;
            std::size_t last = index;
            for (std::size_t j = index + 1; j < lines.size() && j < index + 20; ++j) {
                last = j;
                if (lines[j].utf8.find(kHeadingBlockEnd) != std::string::npos) {
                    const std::string text = cleanText(lines[j].utf8);
                    if (title.empty())
                        title = text;
                    break;
                }
                if (title.empty())
                    title = cleanText(lines[j].utf8);
            }
            return Heading{lines[index].offset, title, last};
        }
        // "［＃中見出し］X［＃中見出し終わり］".
        const std::size_t end = tail.find(kNoteOpen);
        return Heading{lines[index].offset, cleanText(tail.substr(0, end)), index};
    }
    return std::nullopt;
}

bool hasReadable(const std::vector<Line>& lines, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        if (!cleanText(lines[i].utf8).empty())
            return true;
    return false;
}

} // namespace

DocumentInfo documentInfo(std::string_view sjis, std::string_view fileName)
{
    std::vector<std::string> block;
    for (const Line& line : linesOf(sjis.substr(0, std::min<std::size_t>(sjis.size(), 4096)))) {
        const std::string text = cleanText(line.utf8);
        if (text.empty()) {
            if (block.empty())
                continue;
            break;
        }
        block.push_back(text);
    }
    DocumentInfo info;
    if (!block.empty() && block.front().size() <= kTitleMaxBytes)
        info.title = block.front();
    if (block.size() >= 2 && block.size() <= 5 && block.back().size() <= kAuthorMaxBytes)
        info.author = block.back();
    if (info.title.empty()) {
        const std::string_view name = fileNameOf(fileName);
        const std::string_view stem = name.substr(0, name.size() - extensionOf(name).size());
        info.title = std::string(stem.empty() ? name : stem);
        info.author.clear();
    }
    return info;
}

namespace {

// The line that holds `offset`.
std::size_t lineOf(const std::vector<Line>& lines, std::size_t offset)
{
    return static_cast<std::size_t>(std::upper_bound(lines.begin(), lines.end(), offset,
                                                     [](std::size_t o, const Line& line) { return o < line.offset; }) -
                                    lines.begin() - 1);
}

// The marked heading at `at` on line `i`, which ends at the first of `markedEnds` from `at` on
// when that comes before `nextAt`, the next mark, or else at the end of the line (the page
// did not close it). The reading step starts a chunk at the start of the line, or at the
// blank before the heading when text comes first.
Heading markedHeading(std::string_view sjis, const std::vector<Line>& lines, std::size_t i, std::size_t at,
                      std::size_t nextAt, const std::vector<std::size_t>& markedEnds)
{
    const std::size_t lineEnd = i + 1 < lines.size() ? lines[i + 1].offset : sjis.size();
    const auto end = std::lower_bound(markedEnds.begin(), markedEnds.end(), at);
    const bool first = cleanText(cp932::toUtf8(sjis.substr(lines[i].offset, at - lines[i].offset))).empty();
    Heading heading{first ? lines[i].offset : at - 1, {}, i};
    if (end != markedEnds.end() && *end < nextAt && *end <= sjis.size()) {
        // A heading that spans lines reads as one line.
        for (const Line& line : linesOf(sjis.substr(at, *end - at)))
            if (const std::string text = cleanText(line.utf8); !text.empty())
                heading.title += (heading.title.empty() ? "" : " ") + text;
        heading.lastLine = *end > at ? lineOf(lines, *end - 1) : i;
        const std::size_t lastEnd =
            heading.lastLine + 1 < lines.size() ? lines[heading.lastLine + 1].offset : sjis.size();
        heading.textAfter = !cleanText(cp932::toUtf8(sjis.substr(*end, lastEnd - *end))).empty();
    } else {
        std::string_view rest = sjis.substr(at, lineEnd - at);
        while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r'))
            rest.remove_suffix(1);
        heading.title = cleanText(cp932::toUtf8(rest));
    }
    return heading;
}

// The marked headings of a page and the Aozora headings, in text order.
std::vector<Heading> headingsOf(std::string_view sjis, const std::vector<Line>& lines,
                                const std::vector<std::size_t>& marked, const std::vector<std::size_t>& markedEnds)
{
    const std::vector<std::size_t> marks = markedHeadings(sjis, marked);
    std::vector<Heading> headings;
    std::size_t nextMark = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t lineEnd = i + 1 < lines.size() ? lines[i + 1].offset : sjis.size();
        while (nextMark < marks.size() && marks[nextMark] < lineEnd) {
            const std::size_t at = std::max(marks[nextMark], lines[i].offset);
            const std::size_t nextAt = nextMark + 1 < marks.size() ? marks[nextMark + 1] : sjis.size() + 1;
            headings.push_back(markedHeading(sjis, lines, i, at, nextAt, markedEnds));
            ++nextMark;
        }
        if (std::optional<Heading> heading = aozoraHeading(lines, i)) {
            heading->textAfter = heading->lastLine == i && cleanText(lines[i].utf8).size() > heading->title.size();
            // Only an Aozora heading's lines are passed over: a marked heading on this line may
            // end on a line that holds the next one.
            if (headings.empty() || headings.back().offset < heading->offset) {
                headings.push_back(std::move(*heading));
                i = headings.back().lastLine;
            }
        }
    }
    return headings;
}

} // namespace

std::vector<Chapter> findChapters(std::string_view sjis, const std::vector<std::size_t>& marked,
                                  const std::vector<std::size_t>& markedEnds, const std::string& documentTitle)
{
    const std::vector<Line> lines = linesOf(sjis);
    const std::vector<Heading> headings = headingsOf(sjis, lines, marked, markedEnds);
    std::vector<Chapter> chapters;
    std::size_t contentFrom = 0; // first line after the last heading
    for (std::size_t h = 0; h < headings.size(); ++h) {
        const Heading& heading = headings[h];
        const std::size_t line = lineOf(lines, heading.offset);
        // A heading after text on its line starts at its blank, see markedHeading().
        const bool textBefore = (h > 0 && headings[h - 1].textAfter) || hasReadable(lines, contentFrom, line) ||
                                heading.offset > lines[line].offset;
        if (chapters.empty()) {
            if (textBefore)
                chapters.push_back({0, documentTitle});
            chapters.push_back({chapters.empty() ? 0 : heading.offset, heading.title});
        } else if (!textBefore) {
            // Nothing read since the last heading: one chapter for both.
            Chapter& last = chapters.back();
            if (!heading.title.empty())
                last.title = last.title.empty() ? heading.title : last.title + "\u3000" + heading.title;
        } else {
            chapters.push_back({heading.offset, heading.title});
        }
        contentFrom = heading.lastLine + 1;
    }
    if (chapters.empty())
        chapters.push_back({0, documentTitle});
    return chapters;
}

namespace {

// The readable lines of sjis[from, to), counted up to `enough`.
std::size_t readableLines(std::string_view sjis, const std::vector<Line>& lines, std::size_t from, std::size_t to,
                          std::size_t enough)
{
    std::size_t count = 0;
    for (std::size_t i = lineOf(lines, from); i < lines.size() && lines[i].offset < to && count < enough; ++i) {
        const std::size_t end = i + 1 < lines.size() ? lines[i + 1].offset : sjis.size();
        const bool whole = lines[i].offset >= from && end <= to;
        const std::size_t a = std::max(from, lines[i].offset);
        const std::string text =
            whole ? cleanText(lines[i].utf8) : cleanText(cp932::toUtf8(sjis.substr(a, std::min(to, end) - a)));
        count += text.empty() ? 0 : 1;
    }
    return count;
}

// Where the chapter of an entry at `offset` starts: the next character start from it, or the
// start of its line when nothing but blanks comes before it there.
std::size_t entryStart(std::string_view sjis, const std::vector<Line>& lines, std::size_t offset)
{
    const std::size_t lineStart = lines[lineOf(lines, offset)].offset;
    std::size_t p = lineStart;
    bool blank = true;
    while (p < offset) {
        const std::size_t length = sjis::charLength(sjis, p);
        const std::string_view c = sjis.substr(p, length);
        blank = blank && (c == " " || c == "\t" || c == "\x81\x40");
        p += length;
    }
    return blank ? lineStart : p;
}

} // namespace

std::vector<Chapter> contentsChapters(std::string_view sjis, const std::vector<Chapter>& contents,
                                      const std::string& documentTitle)
{
    const std::vector<Line> lines = linesOf(sjis);
    std::vector<Chapter> chapters;
    for (const Chapter& entry : contents) {
        if (entry.offset >= sjis.size() || lines.empty())
            continue;
        const std::size_t offset = entryStart(sjis, lines, entry.offset);
        if (chapters.empty()) {
            if (readableLines(sjis, lines, 0, offset, 1) > 0)
                chapters.push_back({0, documentTitle});
            chapters.push_back({chapters.empty() ? 0 : offset, entry.title});
        } else if (offset < chapters.back().offset) {
            continue;
        } else if (readableLines(sjis, lines, chapters.back().offset, offset, 2) < 2) {
            Chapter& last = chapters.back();
            if (!entry.title.empty())
                last.title = last.title.empty() ? entry.title : last.title + "\u3000" + entry.title;
        } else {
            chapters.push_back({offset, entry.title});
        }
    }
    if (chapters.empty())
        chapters.push_back({0, documentTitle});
    return chapters;
}

std::vector<std::size_t> markedHeadings(std::string_view sjis, const std::vector<std::size_t>& marks)
{
    std::vector<std::size_t> kept;
    for (const std::size_t mark : marks) {
        if (mark == 0 || mark >= sjis.size() || sjis[mark - 1] != ' ' || (!kept.empty() && mark <= kept.back()))
            continue;
        // A character boundary: walk from the start of the line.
        const std::size_t lineStart = sjis.rfind('\n', mark - 1);
        std::size_t p = lineStart == std::string_view::npos ? 0 : lineStart + 1;
        while (p < mark)
            p += sjis::charLength(sjis, p);
        if (p == mark)
            kept.push_back(mark);
    }
    return kept;
}

std::size_t chapterAt(const std::vector<Chapter>& chapters, std::size_t offset)
{
    const auto it = std::upper_bound(chapters.begin(), chapters.end(), offset,
                                     [](std::size_t o, const Chapter& c) { return o < c.offset; });
    return it == chapters.begin() ? 0 : static_cast<std::size_t>(it - chapters.begin() - 1);
}

} // namespace kven
