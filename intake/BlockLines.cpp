#include "intake/BlockLines.h"

#include "intake/MarkupTags.h"
#include "text/Sjis.h"

#include <algorithm>

namespace kven {

namespace {

constexpr std::string_view kBlocks[] = {
    "address", "article", "aside", "blockquote", "caption", "dd",      "div",   "dl", "dt",     "figcaption",
    "figure",  "footer",  "h1",    "h2",         "h3",      "h4",      "h5",    "h6", "header", "li",
    "main",    "nav",     "ol",    "p",          "pre",     "section", "table", "tr", "ul",
};

bool endsBlock(const Tag& tag)
{
    if (tag.name == "hr")
        return true;
    return tag.closing && std::find(std::begin(kBlocks), std::end(kBlocks), tag.name) != std::end(kBlocks);
}

// A heading that its text follows at once, with no tag between, is run into that text (a
// window heading, as Aozora Bunko's pages mark them) and stays on its line.
bool runsIn(const Tag& tag, std::string_view markup)
{
    const bool heading = tag.name.size() == 2 && tag.name[0] == 'h' && tag.name[1] >= '1' && tag.name[1] <= '6';
    return heading && tag.end < markup.size() && markup[tag.end] != '<';
}

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct Follower {
    bool text = false;  // text follows on the line
    std::size_t at = 0; // where that text, or the line break or the end of the markup, is
};

// What follows `from` on its line once blanks and whole tags are passed over. An unclosed tag
// runs to the end, as the tag stripping removes everything after its "<".
Follower follower(std::string_view markup, std::size_t from)
{
    std::size_t p = from;
    while (p < markup.size()) {
        const char c = markup[p];
        if (isLineBreak(c))
            return {false, p};
        if (c == '<') {
            p = markup.find('>', p);
            if (p == std::string_view::npos)
                break;
            ++p;
        } else if (isBlank(c)) {
            ++p;
        } else {
            return {true, p};
        }
    }
    return {false, markup.size()};
}

} // namespace

std::string withBlockLines(std::string_view markup)
{
    std::string out;
    out.reserve(markup.size());
    std::size_t copied = 0;
    bool lineHasText = false;
    // Block ends up to here are followed by nothing but tags and blanks before the line ends:
    // remembered so that a run of closing tags is looked over once.
    std::size_t quietUntil = 0;
    Tags tags(markup);
    for (std::size_t pos = 0; pos < markup.size();) {
        const std::size_t open = std::min(markup.find('<', pos), markup.size());
        for (; pos < open; ++pos) {
            if (isLineBreak(markup[pos]))
                lineHasText = false;
            else if (!isBlank(markup[pos]))
                lineHasText = true;
        }
        if (open == markup.size())
            break;
        const Tag tag = tags.at(open);
        pos = tag.end;
        if (!lineHasText || tag.end <= quietUntil || !endsBlock(tag) || runsIn(tag, markup))
            continue;
        const Follower next = follower(markup, tag.end);
        if (!next.text) {
            quietUntil = next.at;
            continue;
        }
        out.append(markup, copied, tag.end - copied);
        out.append(sjis::kCrLf);
        copied = tag.end;
        lineHasText = false;
    }
    out.append(markup, copied);
    return out;
}

} // namespace kven
