#include "intake/HTMLconv.h"

#include "text/Cp932.h"
#include "text/Sjis.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kven {

namespace {

// Inserted before headings; its "<" reopens the heading tag so that the tag's remaining
// attributes and ">" are stripped and the marker ends up right before the heading text.
constexpr std::string_view kHeadingReplacement = "KVENmark< ";
static_assert(kHeadingReplacement.starts_with(kHeadingMarker));

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

// Decoded after tag stripping, so the "<" and ">" they give stay in the text. "&nbsp;" gives
// an ordinary blank.
constexpr Replacement kEntities[] = {
    {"&lt;", "<"}, {"&gt;", ">"}, {"&nbsp;", " "}, {"&quot;", "\""},
    {"&LT;", "<"}, {"&GT;", ">"}, {"&NBSP;", " "}, {"&QUOT;", "\""},
};

// A page taken for UTF-8 as UTF-16, so that a stray byte never costs the page: each maximal
// run of bytes that are not UTF-8 (ill-formed, overlong, an encoded surrogate, beyond U+10FFFF)
// is one U+FFFD, which the conversion to CP932 makes "?" as it does every character without a
// CP932 form. An overlong "<" thus never opens a tag.
std::u16string decodeUtf8Page(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t from = i;
        for (utf8::Step step; i < utf8.size() && (step = utf8::decode(utf8, i)).valid();)
            i += step.length;
        out += cp932::utf8ToWide(utf8.substr(from, i - from));
        if (i == utf8.size())
            break;
        out.push_back(u'\xFFFD');
        for (utf8::Step step; i < utf8.size() && !(step = utf8::decode(utf8, i)).valid();)
            i += step.length;
    }
    return out;
}

// A charset marker counts when it begins before the head end, a 1-based position: the sum of
// the positions of both spellings of the closing head tag. 1-based p < headEnd is the same as
// a 0-based start below headEnd - 1.
bool markerBeforeHeadEnd(std::string_view text, std::string_view marker, std::size_t headEnd)
{
    return headEnd > 1 && findOffset(text, marker, headEnd - 1) != npos;
}

void settleEncoding(std::string& text, const TPzConv& conv)
{
    const std::size_t headEnd = findOneBased(text, "</HEAD>") + findOneBased(text, "</head>");
    if (markerBeforeHeadEnd(text, "EUC-JP", headEnd) || markerBeforeHeadEnd(text, "euc-jp", headEnd)) {
        text = conv.EucToSjis(text);
    } else if (markerBeforeHeadEnd(text, "UTF-8", headEnd) || markerBeforeHeadEnd(text, "utf-8", headEnd)) {
        text = cp932::fromWide(decodeUtf8Page(text));
    } else if (contains(text, "<title>Yahoo!")) {
        text = conv.EucToSjis(text);
    }
}

void markHeadings(std::string& text)
{
    if (contains(text, "<H1")) {
        replaceAllIn(text, "<H1", kHeadingReplacement);
    } else if (contains(text, "<h1")) {
        replaceAllIn(text, "<h1", kHeadingReplacement);
    } else {
        replaceAllIn(text, "<H2", kHeadingReplacement);
        replaceAllIn(text, "<h2", kHeadingReplacement);
        replaceAllIn(text, "<font size=5", kHeadingReplacement);
    }
}

// Byte-wise: no multi-byte encoding used here has "<" or ">" as a later byte of a character.
// An unclosed "<" removes everything after it.
void stripTags(std::string& text)
{
    bool outside = true;
    std::size_t w = 0;
    for (const char c : text) {
        if (c == '<')
            outside = false;
        else if (c == '>')
            outside = true;
        else if (outside)
            text[w++] = c;
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
    if (base.find('&') != npos)
        replaceEach(base, std::begin(kEntities), std::end(kEntities));
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
        const std::size_t o = findOffset(pending, opening);
        if (o == npos)
            break;
        // The opening's first byte is a single-byte character, so o + 1 is a character start.
        const std::size_t afterOpening = findOffset(pending.substr(o + 1), closing);
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

void markupToText(std::string& text, std::vector<std::string>* rubyBases)
{
    deleteBlocks(text, "<SCRIPT", "</SCRIPT>");
    deleteBlocks(text, "<Script", "</Script>");
    deleteBlocks(text, "<script", "</script>");

    if (rubyBases != nullptr)
        *rubyBases = rubyBasesOf(text);

    markHeadings(text);
    replaceEach(text, std::begin(kFixedReplacements), std::end(kFixedReplacements));
    stripTags(text);
    replaceEach(text, std::begin(kEntities), std::end(kEntities));
}

} // namespace detail

void HTMLconv(std::string& text, const TPzConv& conv, std::vector<std::string>* rubyBases)
{
    settleEncoding(text, conv);
    detail::markupToText(text, rubyBases);
}

} // namespace kven
