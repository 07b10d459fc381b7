#include "intake/PageConversion.h"

#include "intake/BlockLines.h"
#include "intake/CharacterReferences.h"
#include "intake/PageEncoding.h"

#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

namespace kven {

namespace {

// Inserted before headings; its "<" reopens the heading tag so that the tag's remaining
// attributes and ">" are stripped and the marker ends up right before the heading text.
constexpr std::string_view kHeadingReplacement = "KVENmark< ";
static_assert(kHeadingReplacement.starts_with(kHeadingMarker));

// Put right before the tag that closes a heading when the heading ends are asked for. Stripped
// as a tag of its own, with nothing between it and the closing tag, and no replacement begins
// with either, it leaves the text as it would be without it.
constexpr std::string_view kHeadingEndTag = "<KVENend>";

// A heading's opening tag, and the two spellings of the tag that closes it.
struct HeadingTag {
    std::string_view opening;
    std::string_view closings[2];
};

constexpr HeadingTag kUpperH1[] = {{"<H1", {"</H1", "</h1"}}};
constexpr HeadingTag kLowerH1[] = {{"<h1", {"</h1", "</H1"}}};
constexpr HeadingTag kLevel2[] = {
    {"<H2", {"</H2", "</h2"}},
    {"<h2", {"</h2", "</H2"}},
    {"<font size=5", {"</font", "</FONT"}},
};

struct Replacement {
    std::string_view pattern;
    std::string_view replacement;
};

// Upper-case group first, then the lower-case one. The doubled line break comes before the
// single one, so a pair of line-break tags gives one line break.
constexpr Replacement kFixedReplacements[] = {
    {"<RP>\x81\x69</RP>", sjis::kRubyOpen},  // <RP>（</RP> → 《
    {"<RP>\x81\x6a</RP>", sjis::kRubyClose}, // <RP>）</RP> → 》
    {"</TITLE>", sjis::kCrLf},
    {"<DD>", sjis::kCrLf},
    {"<BR><BR>", sjis::kCrLf},
    {"<BR>", sjis::kCrLf},
    {"<rp>\x81\x69</rp>", sjis::kRubyOpen},  // <rp>（</rp> → 《
    {"<rp>\x81\x6a</rp>", sjis::kRubyClose}, // <rp>）</rp> → 》
    {"</title>", sjis::kCrLf},
    {"<dd>", sjis::kCrLf},
    {"<br><br>", sjis::kCrLf},
    {"<br>", sjis::kCrLf},
};

// The occurrences of `pattern` that replaceAllIn replaces, in order.
std::vector<std::size_t> occurrences(std::string_view text, std::string_view pattern)
{
    std::vector<std::size_t> found;
    for (std::size_t from = 0, p; (p = findOffset(text.substr(from), pattern)) != npos; from += p + pattern.size())
        found.push_back(from + p);
    return found;
}

// Puts the end tag before the first closing tag of each heading, unless the next heading opens
// first; the headings are the openings that markHeadings will replace.
void markHeadingEnds(std::string& text, std::span<const HeadingTag> tags)
{
    std::vector<std::pair<std::size_t, const HeadingTag*>> openings;
    for (const HeadingTag& tag : tags)
        for (const std::size_t at : occurrences(text, tag.opening))
            openings.emplace_back(at, &tag);
    std::sort(openings.begin(), openings.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < openings.size(); ++i) {
        const auto [at, tag] = openings[i];
        const std::size_t from = at + tag->opening.size();
        const std::size_t before = i + 1 < openings.size() ? openings[i + 1].first : text.size();
        const std::string_view inside = std::string_view(text).substr(from, before - from);
        const std::size_t close = std::min(findOffset(inside, tag->closings[0]), findOffset(inside, tag->closings[1]));
        if (close != npos)
            ends.push_back(from + close);
    }
    if (ends.empty())
        return;
    std::string marked;
    marked.reserve(text.size() + ends.size() * kHeadingEndTag.size());
    std::size_t copied = 0;
    for (const std::size_t end : ends) {
        marked.append(text, copied, end - copied);
        marked.append(kHeadingEndTag);
        copied = end;
    }
    marked.append(text, copied);
    text = std::move(marked);
}

// A page with an upper-case level-1 heading has those as its headings; else one with a
// lower-case one; else level-2 and font-size-5 headings.
void markHeadings(std::string& text, bool withEnds)
{
    const std::span<const HeadingTag> tags = contains(text, "<H1")   ? std::span<const HeadingTag>(kUpperH1)
                                             : contains(text, "<h1") ? std::span<const HeadingTag>(kLowerH1)
                                                                     : std::span<const HeadingTag>(kLevel2);
    if (withEnds)
        markHeadingEnds(text, tags);
    for (const HeadingTag& tag : tags)
        replaceAllIn(text, tag.opening, kHeadingReplacement);
}

// Byte-wise: no multi-byte encoding used here has "<" or ">" as a later byte of a character.
// An unclosed "<" removes everything after it. With `ends`, it notes where each heading end tag
// stood in the result.
void stripTags(std::string& text, std::vector<std::size_t>* ends = nullptr)
{
    bool outside = true;
    std::size_t w = 0;
    for (std::size_t r = 0; r < text.size(); ++r) {
        const char c = text[r];
        if (c == '<') {
            outside = false;
            if (ends != nullptr && std::string_view(text).substr(r).starts_with(kHeadingEndTag))
                ends->push_back(w);
        } else if (c == '>') {
            outside = true;
        } else if (outside) {
            text[w++] = c;
        }
    }
    text.resize(w);
}

void replaceEach(std::string& text, const Replacement* begin, const Replacement* end)
{
    for (const Replacement* r = begin; r != end; ++r)
        replaceAllIn(text, r->pattern, r->replacement);
}

// A ruby base's markup as the conversion leaves it. Most bases hold no more than the tags
// around them, so the replacements are only made when one of them can match.
std::string convertedBase(std::string_view markup)
{
    std::string base(markup);
    const auto fixedAt = [&](std::size_t at) {
        return std::any_of(std::begin(kFixedReplacements), std::end(kFixedReplacements),
                           [&](const Replacement& r) { return markup.substr(at).starts_with(r.pattern); });
    };
    bool fixed = false;
    for (std::size_t at = markup.find('<'); at != npos && !fixed; at = markup.find('<', at + 1))
        fixed = fixedAt(at);
    if (fixed)
        replaceEach(base, std::begin(kFixedReplacements), std::end(kFixedReplacements));
    stripTags(base);
    std::vector<std::size_t> none;
    decodeReferences(base, none);
    return base;
}

// The bases of the ruby markup of `text`, converted as the text around them is: each runs
// from "<ruby>" to the ruby parenthesis after it, in the spelling that the fixed replacements
// turn into "《", within the ruby element. One pass over the tags: "<" is never the second
// byte of a character, so every "<" starts one.
std::vector<std::string> rubyBasesOf(std::string_view text)
{
    struct Spelling {
        std::string_view ruby, open, end;
    };
    static constexpr Spelling kSpellings[] = {
        {"<RUBY>", "<RP>\x81\x69</RP>", "</RUBY>"},
        {"<ruby>", "<rp>\x81\x69</rp>", "</ruby>"},
    };
    std::vector<std::string> bases;
    const Spelling* inside = nullptr; // the ruby element whose base is being read
    std::size_t baseStart = 0;
    for (std::size_t at = text.find('<'); at != npos; at = text.find('<', at + 1)) {
        const std::string_view tag = text.substr(at);
        // Every tag that matters here begins "<r", "<R" or "</r", "</R".
        const char name = tag.size() > 2 ? tag[tag[1] == '/' ? 2 : 1] : '\0';
        if (name != 'r' && name != 'R')
            continue;
        for (const Spelling& s : kSpellings) {
            if (tag.starts_with(s.ruby)) {
                inside = &s;
                baseStart = at + s.ruby.size();
            } else if (inside == &s && tag.starts_with(s.open)) {
                bases.push_back(convertedBase(text.substr(baseStart, at - baseStart)));
                inside = nullptr;
            } else if (inside == &s && tag.starts_with(s.end)) {
                inside = nullptr;
            } else {
                continue;
            }
            break;
        }
    }
    return bases;
}

} // namespace

namespace detail {

void deleteBlocks(std::string& text, std::string_view opening, std::string_view closing)
{
    // text[0, w) is settled and holds no opening; text[r, n) is still to be scanned and r is at
    // a character start. The text as the repeated search sees it is their concatenation.
    // `starts` marks the settled bytes that begin a character. It is kept for the whole settled
    // text, because each step back over a join uncovers bytes settled long before: nested halves
    // can step back any number of times in a row.
    char* s = text.data();
    const std::size_t n = text.size();
    std::size_t w = 0;
    std::size_t r = 0;
    std::vector<bool> starts;
    const std::size_t reach = opening.size() - 1;
    for (;;) {
        const std::string_view pending(s + r, n - r);
        const std::size_t o = findOffsetIgnoringCase(pending, opening);
        if (o == npos)
            break;
        // The opening's first byte is a single-byte character, so o + 1 is a character start.
        const std::size_t afterOpening = findOffsetIgnoringCase(pending.substr(o + 1), closing);
        if (afterOpening == npos)
            break;
        const std::size_t blockEnd = o + 1 + afterOpening + closing.size();

        // Settle pending[0, o), noting where its characters start; o is a character start, so
        // no character is split.
        if (w != r)
            std::memmove(s + w, s + r, o);
        for (std::size_t q = 0; q < o; ++q) {
            starts.push_back(true);
            if (sjis::isLeadByte(s[w + q]) && q + 1 < o) {
                starts.push_back(false);
                ++q;
            }
        }
        w += o;
        r += blockEnd;

        // The deletion may join the end of the settled text and the rest into a new opening.
        // Such an opening begins within `reach` bytes before the cut, so the scan goes on from
        // the earliest character start there. Each deletion steps back at most `reach` bytes
        // and removes more than that, so the whole pass stays linear.
        std::size_t back = 0;
        for (std::size_t j = 1; j <= reach && j <= w; ++j)
            if (starts[w - j])
                back = j;
        std::memmove(s + r - back, s + w - back, back);
        w -= back;
        r -= back;
        starts.resize(w);
    }
    if (w != r) {
        std::memmove(s + w, s + r, n - r);
        text.resize(w + (n - r));
    }
}

void markupToText(std::string& text, std::vector<std::string>* rubyBases, std::vector<std::size_t>* headingEnds,
                  bool blockLines)
{
    // Programs and style sheets are no text to read. Tag names are the same in any letter case.
    deleteBlocks(text, "<script", "</script>");
    deleteBlocks(text, "<style", "</style>");

    if (rubyBases != nullptr)
        *rubyBases = rubyBasesOf(text);

    markHeadings(text, headingEnds != nullptr);
    replaceEach(text, std::begin(kFixedReplacements), std::end(kFixedReplacements));
    // After the fixed replacements, whose line breaks count as line ends already.
    if (blockLines)
        text = withBlockLines(text);
    std::vector<std::size_t> ends;
    stripTags(text, headingEnds != nullptr ? &ends : nullptr);
    // After tag stripping, so that the "<" and ">" they give stay in the text.
    decodeReferences(text, ends);
    if (headingEnds != nullptr)
        *headingEnds = std::move(ends);
}

} // namespace detail

EncodingFit convertPage(std::string& text, const EucJp& conv, std::vector<std::string>* rubyBases,
                        std::vector<std::size_t>* headingEnds, const PageOptions& options)
{
    const EncodingFit fit = options.shiftJis ? EncodingFit{} : settlePageEncoding(text, conv);
    detail::markupToText(text, rubyBases, headingEnds, options.blockLines);
    return fit;
}

} // namespace kven
