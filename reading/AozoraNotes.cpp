#include "reading/AozoraNotes.h"

#include "text/Cp932.h"
#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

namespace {

// The title is looked for this far into the text.
constexpr std::size_t kTitleReach = std::size_t{8} << 10;
constexpr std::size_t kMinHyphens = 5;

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// A ruby base marked by "｜" holds no pause: a blank or punctuation before the next "《" says
// that this "《" is not the mark's.
bool endsRubyBase(std::string_view c)
{
    return c == " " || c == sjis::kFullBlank || c == sjis::kMaru || c == sjis::kTouten || c == sjis::kFullComma ||
           c == sjis::kRubyBaseMark || c == sjis::kRubyClose || (c.size() == 1 && isLineBreak(c[0]));
}

// Hiragana as katakana (ぁ..ん to ァ..ン, ゝゞ to ヽヾ); anything else as it is.
void appendKatakana(std::string& out, std::string_view c)
{
    if (c.size() == 2 && c >= sjis::kHiraganaFirst && c <= sjis::kHiraganaLast) {
        // Both rows run in the same order; the katakana row skips 0x7F.
        const auto offset = static_cast<unsigned char>(c[1]) - static_cast<unsigned char>(sjis::kHiraganaFirst[1]);
        unsigned second = static_cast<unsigned char>(sjis::kKatakanaFirst[1]) + static_cast<unsigned>(offset);
        if (second >= 0x7F)
            ++second;
        out += sjis::kKatakanaFirst[0];
        out += static_cast<char>(second);
    } else if (c == sjis::kIterationMark || c == sjis::kVoicedIterationMark) {
        // ヽヾ stand two places before ゝゞ.
        out += c[0];
        out += static_cast<char>(static_cast<unsigned char>(c[1]) - 2);
    } else {
        out.append(c);
    }
}

std::size_t scanNote(std::string_view text, std::size_t pos, bool quotes)
{
    NoteTracker note(quotes);
    for (std::size_t i = pos; i < text.size();) {
        if (isLineBreak(text[i]))
            return npos;
        const std::size_t len = sjis::charLength(text, i);
        note.feed(text, i, len);
        i += len;
        if (!note.inside())
            return i;
    }
    return npos;
}

// "＆＃", "ｘ", "Ｘ" and "；" as the full-width mapping leaves "&#", "x", "X" and ";".
constexpr std::string_view kReferenceOpen = "\x81\x95\x81\x94";
constexpr std::string_view kReferenceHexLower = "\x82\x98";
constexpr std::string_view kReferenceHexUpper = "\x82\x77";
constexpr std::string_view kReferenceClose = "\x81\x47";
constexpr std::size_t kReferenceMaxDigits = 8;

// The value of the full-width digit `c` in base 16, or -1.
int digitValue(std::string_view c)
{
    if (c.size() != 2 || c[0] != '\x82')
        return -1;
    const auto b = static_cast<unsigned char>(c[1]);
    if (b >= 0x4F && b <= 0x58) // ０..９
        return b - 0x4F;
    if (b >= 0x60 && b <= 0x65) // Ａ..Ｆ
        return b - 0x60 + 10;
    if (b >= 0x81 && b <= 0x86) // ａ..ｆ
        return b - 0x81 + 10;
    return -1;
}

struct Reference {
    std::size_t length = 0; // 0: no reference at this place
    char32_t code = 0;
};

// A numeric character reference of a page ("&#12354;", "&#x3042;") at `pos`, mapped to full
// width.
Reference referenceAt(std::string_view text, std::size_t pos)
{
    std::string_view rest = text.substr(pos);
    if (!rest.starts_with(kReferenceOpen))
        return {};
    rest.remove_prefix(kReferenceOpen.size());
    int base = 10;
    if (rest.starts_with(kReferenceHexLower) || rest.starts_with(kReferenceHexUpper)) {
        base = 16;
        rest.remove_prefix(kReferenceHexLower.size());
    }
    char32_t code = 0;
    std::size_t digits = 0;
    for (int d; digits < kReferenceMaxDigits && (d = digitValue(rest.substr(0, 2))) >= 0 && d < base; ++digits) {
        code = code * static_cast<char32_t>(base) + static_cast<char32_t>(d);
        rest.remove_prefix(2);
    }
    if (digits == 0 || !rest.starts_with(kReferenceClose))
        return {};
    rest.remove_prefix(kReferenceClose.size());
    return {text.size() - pos - rest.size(), code};
}

// A referenced character is read when it is a letter, digit, kana or kanji; a blank stays a
// blank; anything else, the notation's own brackets and marks included, is a pause.
std::string referenceReading(char32_t code)
{
    if (code == U' ' || code == U'\u3000')
        return std::string(sjis::kFullBlank);
    if (code == 0 || code > 0xFFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::string(sjis::kUnreadMark);
    const std::string c = toFullWidth(cp932::fromWide(std::u16string(1, static_cast<char16_t>(code))));
    return sjis::isReadable(c) ? c : std::string(sjis::kUnreadMark);
}

// Notes and gaiji descriptions removed, numeric character references resolved.
std::string withoutNoteText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const bool gaiji = text.substr(i).starts_with(sjis::kGaijiMark) &&
                           text.substr(i + sjis::kGaijiMark.size()).starts_with(sjis::kNoteOpen);
        const std::size_t note = gaiji ? i + sjis::kGaijiMark.size() : i;
        if (gaiji || text.substr(i).starts_with(sjis::kNoteOpen)) {
            const std::size_t end = std::min(noteEnd(text, note), text.size());
            if (gaiji && !text.substr(end).starts_with(sjis::kRubyOpen))
                out.append(sjis::kUnreadMark);
            i = end;
            continue;
        }
        if (const Reference reference = referenceAt(text, i); reference.length > 0) {
            out.append(referenceReading(reference.code));
            i += reference.length;
            continue;
        }
        const std::size_t len = sjis::charLength(text, i);
        out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

// Where the "《" of the ruby base that a "｜" at `bar` marks is; npos when it has none.
std::size_t rubyOfBar(std::string_view text, std::size_t bar)
{
    for (std::size_t i = bar + sjis::kRubyBaseMark.size(); i < text.size();) {
        const std::size_t len = sjis::charLength(text, i);
        const std::string_view c = text.substr(i, len);
        if (c == sjis::kRubyOpen)
            return i;
        if (endsRubyBase(c))
            return npos;
        i += len;
    }
    return npos;
}

bool hyphenLine(std::string_view line)
{
    return line.size() >= kMinHyphens && line.find_first_not_of('-') == std::string_view::npos;
}

} // namespace

void NoteTracker::feed(std::string_view text, std::size_t pos, std::size_t length)
{
    const std::string_view c = text.substr(pos, length);
    if (depth_ == 0) {
        if (text.substr(pos).starts_with(sjis::kNoteOpen)) {
            depth_ = 1;
            quoteDepth_ = 0;
            start_ = gaijiAt_ == npos ? pos : gaijiAt_;
        }
        gaijiAt_ = c == sjis::kGaijiMark ? pos : npos;
        return;
    }
    if (quotes_ && c == sjis::kQuoteOpen) {
        ++quoteDepth_;
    } else if (quotes_ && c == sjis::kQuoteClose) {
        quoteDepth_ = std::max(0, quoteDepth_ - 1);
    } else if (quoteDepth_ == 0 && c == sjis::kBracketOpen) {
        ++depth_;
    } else if (quoteDepth_ == 0 && c == sjis::kBracketClose) {
        --depth_;
    }
}

std::size_t noteEnd(std::string_view text, std::size_t pos)
{
    // A note whose quotes do not close (a quoted "「" alone) still ends at its bracket.
    const std::size_t end = scanNote(text, pos, true);
    return end != npos ? end : scanNote(text, pos, false);
}

std::string removeNotes(std::string_view fullWidth, bool katakana)
{
    // Notes first, so that a note inside a ruby base or a reading goes with it.
    const std::string text = withoutNoteText(fullWidth);
    std::string out;
    out.reserve(text.size());
    bool inReading = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = sjis::charLength(text, i);
        const std::string_view c = std::string_view(text).substr(i, len);
        if (c == sjis::kRubyBaseMark) {
            // The base goes; its reading is said without brackets, so that the ruby step
            // takes no kanji before the mark for a base.
            if (const std::size_t open = rubyOfBar(text, i); open != npos) {
                i = open + sjis::kRubyOpen.size();
                while (i < text.size() && std::string_view(text).substr(i, 2) != sjis::kRubyClose) {
                    const std::size_t n = sjis::charLength(text, i);
                    if (katakana)
                        appendKatakana(out, std::string_view(text).substr(i, n));
                    else
                        out.append(std::string_view(text).substr(i, n));
                    i += n;
                }
                i = std::min(text.size(), i + sjis::kRubyClose.size());
                continue;
            }
            i += len;
            continue;
        }
        if (c == sjis::kRubyOpen)
            inReading = true;
        else if (c == sjis::kRubyClose)
            inReading = false;
        if (inReading && katakana)
            appendKatakana(out, c);
        else
            out.append(c);
        i += len;
    }
    return out;
}

TextSpan explanationBlock(std::string_view text)
{
    // The title begins a line, and a line break is no second byte: a byte search for the two
    // together finds the title at a character start, and runs at the speed of memchr.
    const std::string lineOfTitle = std::string(sjis::kCrLf) + std::string(sjis::kExplanationTitle);
    const std::size_t found = text.substr(0, kTitleReach + lineOfTitle.size()).find(lineOfTitle);
    if (found == npos)
        return {};
    const std::size_t title = found + sjis::kCrLf.size();
    // The line before the title: line breaks are one-byte characters that no second byte
    // takes, so a byte search finds them.
    const std::string_view before = text.substr(0, title - sjis::kCrLf.size());
    const std::size_t lineStart = before.rfind('\n') == npos ? 0 : before.rfind('\n') + 1;
    if (!hyphenLine(before.substr(lineStart)))
        return {};
    const std::string_view head = text.substr(0, kExplanationReach);
    for (std::size_t pos = title; pos < head.size();) {
        const std::size_t lf = head.find('\n', pos);
        const std::size_t next = lf == npos ? head.size() : lf + 1;
        std::string_view line = head.substr(pos, next - pos);
        while (!line.empty() && isLineBreak(line.back()))
            line.remove_suffix(1);
        if (hyphenLine(line) && (lf != npos || next == text.size()))
            return {lineStart, next};
        pos = next;
    }
    return {};
}

} // namespace kven
