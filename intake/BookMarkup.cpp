#include "intake/BookMarkup.h"

#include "intake/MarkupTags.h"
#include "text/Sjis.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace kven {

namespace {

// Anchor k is kAnchorOpen, k in decimal, kAnchorClose: control bytes that no document text
// holds and that are never part of a Shift_JIS character.
constexpr char kAnchorOpen = '\x01';
constexpr char kAnchorClose = '\x02';

constexpr std::string_view kBar = "\x81\x62"; // ｜

std::string_view trimmedBlanks(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The pairs of one ruby element's content.
class RubyPairs {
public:
    explicit RubyPairs(std::string& out) : out_(out) {}

    void text(std::string_view s)
    {
        if (!inParenthesis_)
            (inReading_ ? reading_ : base_).append(s);
    }
    void tag(const Tag& tag, std::string_view spelled)
    {
        if (tag.name == "rt") {
            finish();
            inReading_ = !tag.closing;
            inParenthesis_ = false;
        } else if (tag.name == "rp") {
            finish();
            inParenthesis_ = !tag.closing;
        } else if (tag.name == "rb" || tag.name == "rtc") {
            finish();
            inParenthesis_ = false;
        } else {
            text(spelled);
        }
    }
    // The base left without a reading.
    void end()
    {
        finish();
        out_.append(trimmedBlanks(base_));
    }

private:
    void finish()
    {
        if (!inReading_)
            return;
        inReading_ = false;
        const std::string_view base = trimmedBlanks(base_);
        const std::string_view reading = trimmedBlanks(reading_);
        if (reading.empty()) {
            out_.append(base);
        } else if (!base.empty()) {
            out_.append(kBar).append(base).append(sjis::kRubyOpen).append(reading).append(sjis::kRubyClose);
        } else if (std::string_view(out_).ends_with(sjis::kRubyClose) && joinable_) {
            out_.insert(out_.size() - sjis::kRubyClose.size(), reading);
        } else {
            out_.append(reading);
        }
        joinable_ = !reading.empty() && !base.empty();
        base_.clear();
        reading_.clear();
    }

    std::string& out_;
    std::string base_;
    std::string reading_;
    bool inReading_ = false;
    bool inParenthesis_ = false;
    bool joinable_ = false; // the last pair written may take more reading
};

} // namespace

std::string rubyToNotation(std::string_view markup)
{
    std::string out;
    out.reserve(markup.size());
    std::size_t copied = 0;
    Tags tags(markup);
    for (std::size_t at = markup.find('<'); at != std::string_view::npos; at = markup.find('<', at + 1)) {
        const Tag open = tags.at(at);
        if (open.closing || open.name != "ruby")
            continue;
        out.append(markup, copied, at - copied);
        RubyPairs pairs(out);
        std::size_t p = open.end;
        for (;;) {
            const std::size_t next = markup.find('<', p);
            pairs.text(markup.substr(p, std::min(next, markup.size()) - p));
            if (next == std::string_view::npos) {
                p = markup.size();
                break;
            }
            const Tag tag = tags.at(next);
            p = tag.end;
            if (tag.name == "ruby" && tag.closing)
                break;
            pairs.tag(tag, markup.substr(next, tag.end - next));
        }
        pairs.end();
        copied = p;
        if (p >= markup.size())
            break;
        at = p - 1;
    }
    if (copied < markup.size())
        out.append(markup, copied);
    return out;
}

std::string withoutBacklinks(std::string_view markup)
{
    std::string out;
    std::size_t copied = 0;
    Tags tags(markup);
    Tags closings(markup); // the search for the end of a back-link, rising as well
    bool closingLeft = true;
    for (std::size_t at = markup.find('<'); at != std::string_view::npos; at = markup.find('<', at + 1)) {
        const Tag tag = tags.at(at);
        const std::string_view text = markup.substr(at, tag.textEnd - at);
        if (tag.closing || tag.name != "a" || text.ends_with("/>") ||
            !(hasWord(attributeValue(text, "epub:type"), "backlink") ||
              hasWord(attributeValue(text, "role"), "doc-backlink")))
            continue;
        std::size_t end = tag.end;
        for (std::size_t c = markup.find('<', end); closingLeft; c = markup.find('<', c + 1)) {
            if (c == std::string_view::npos) {
                closingLeft = false;
                break;
            }
            const Tag close = closings.at(c);
            if (close.closing && close.name == "a") {
                end = close.end;
                break;
            }
        }
        out.append(markup, copied, at - copied);
        copied = end;
        at = end - 1;
    }
    out.append(markup, std::min(copied, markup.size()));
    return out;
}

std::string withoutHead(std::string_view markup)
{
    Tags tags(markup);
    std::size_t open = std::string_view::npos;
    for (std::size_t at = markup.find('<'); at != std::string_view::npos; at = markup.find('<', at + 1)) {
        const Tag tag = tags.at(at);
        if (tag.name != "head")
            continue;
        if (!tag.closing && open == std::string_view::npos) {
            open = at;
        } else if (tag.closing && open != std::string_view::npos) {
            std::string out(markup.substr(0, open));
            out.append(markup.substr(tag.end));
            return out;
        }
    }
    return std::string(markup);
}

std::string withAnchors(std::string_view markup, const std::vector<std::string>& ids)
{
    std::string clean;
    clean.reserve(markup.size());
    for (const char c : markup)
        if (c != kAnchorOpen && c != kAnchorClose)
            clean += c;
    if (ids.empty())
        return clean;
    std::unordered_map<std::string_view, std::vector<std::size_t>> wanted; // id → its anchors
    for (std::size_t k = 0; k < ids.size(); ++k)
        wanted[ids[k]].push_back(k);
    std::string out;
    out.reserve(clean.size() + ids.size() * 8);
    std::size_t copied = 0;
    Tags tags(clean);
    for (std::size_t at = clean.find('<'); at != std::string::npos && !wanted.empty(); at = clean.find('<', at + 1)) {
        const Tag tag = tags.at(at);
        if (tag.closing)
            continue;
        const auto found = wanted.find(attributeValue(std::string_view(clean).substr(at, tag.textEnd - at), "id"));
        if (found == wanted.end())
            continue;
        out.append(clean, copied, at - copied);
        copied = at;
        for (const std::size_t k : found->second) {
            out += kAnchorOpen;
            out += std::to_string(k);
            out += kAnchorClose;
        }
        wanted.erase(found);
    }
    out.append(clean, copied);
    return out;
}

std::vector<std::size_t> takeAnchors(std::string& text, std::size_t count, std::vector<std::size_t>& marks)
{
    std::vector<std::size_t> found(count, std::string::npos);
    std::size_t w = 0;
    std::size_t removed = 0;
    std::size_t nextMark = 0;
    for (std::size_t r = 0; r < text.size();) {
        const std::size_t close = text[r] == kAnchorOpen ? text.find(kAnchorClose, r) : std::string::npos;
        if (close == std::string::npos) {
            text[w++] = text[r++];
            continue;
        }
        // A mark inside the anchor goes where the anchor stood.
        for (; nextMark < marks.size() && marks[nextMark] <= close; ++nextMark)
            marks[nextMark] = marks[nextMark] <= r ? marks[nextMark] - removed : w;
        std::size_t k = 0;
        const auto [end, error] = std::from_chars(text.data() + r + 1, text.data() + close, k);
        if (error == std::errc() && end == text.data() + close && k < count && found[k] == std::string::npos)
            found[k] = w;
        removed += close + 1 - r;
        r = close + 1;
    }
    for (; nextMark < marks.size(); ++nextMark)
        marks[nextMark] -= removed;
    text.resize(w);
    return found;
}

std::string withBlockBreaks(std::string_view markup)
{
    static constexpr std::string_view kBlocks[] = {"p",  "div", "h1", "h2", "h3", "h4",         "h5",
                                                   "h6", "li",  "dt", "dd", "tr", "blockquote", "section"};
    std::string out;
    out.reserve(markup.size());
    std::size_t copied = 0;
    Tags tags(markup);
    for (std::size_t at = markup.find('<'); at != std::string_view::npos; at = markup.find('<', at + 1)) {
        const Tag tag = tags.at(at);
        const bool selfClosingBreak =
            (tag.name == "br" || tag.name == "hr") && tag.end >= 2 && markup[tag.end - 2] == '/';
        const bool blockEnd =
            tag.closing && std::find(std::begin(kBlocks), std::end(kBlocks), tag.name) != std::end(kBlocks);
        if (!selfClosingBreak && !blockEnd)
            continue;
        // A heading run into its text (a window heading) stays on the text's line: only a block
        // that markup follows at once, as in a document written on one line, ends its line.
        const char next = tag.end < markup.size() ? markup[tag.end] : '\n';
        if (next == '\r' || next == '\n' || (blockEnd && next != '<'))
            continue;
        out.append(markup, copied, tag.end - copied);
        out.append(sjis::kCrLf);
        copied = tag.end;
    }
    out.append(markup, copied);
    return out;
}

} // namespace kven
