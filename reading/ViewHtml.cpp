#include "reading/ViewHtml.h"

#include "reading/AozoraNotes.h"
#include "reading/ChunkFilter.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace kven {

namespace {

constexpr std::string_view kNoteOpen = "\x81\x6d\x81\x94"; // ［＃
constexpr std::string_view kGaijiMark = "\x81\xa6";        // ※

// UTF-8 texts of the notes.
constexpr std::string_view kQuoteOpen = "「";
constexpr std::string_view kQuoteClose = "」";

// Emphasis and styles a note gives to a stretch of text, each with the class the page styles.
struct NoteStyle {
    std::string_view name;
    std::string_view cssClass;
};
constexpr std::array kNoteStyles{
    NoteStyle{"白ゴマ傍点", "es"},    NoteStyle{"丸傍点", "ec"},        NoteStyle{"白丸傍点", "eoc"},
    NoteStyle{"黒三角傍点", "et"},    NoteStyle{"白三角傍点", "eot"},   NoteStyle{"二重丸傍点", "edc"},
    NoteStyle{"蛇の目傍点", "eodc"},  NoteStyle{"ばつ傍点", "ex"},      NoteStyle{"傍点", "e"},
    NoteStyle{"傍線", "u"},           NoteStyle{"太字", "b"},           NoteStyle{"斜体", "i"},
    NoteStyle{"下付き小文字", "sub"}, NoteStyle{"上付き小文字", "sup"}, NoteStyle{"縦中横", "tcy"},
};

// One character the page shows, and the bytes of the text it stands for.
struct Shown {
    std::size_t at = 0;
    std::size_t bytes = 0;
    std::string text;  // UTF-8
    bool unit = false; // stands for a piece of notation as a whole
    bool small = false;
    int style = -1; // index into kNoteStyles
    int ruby = -1;  // index of the ruby whose base it is
};

struct RubyGroup {
    std::size_t first = 0; // the base: shown characters [first, last)
    std::size_t last = 0;
    std::string reading; // UTF-8
};

struct Line {
    std::vector<Shown> shown;
    std::vector<RubyGroup> rubies;
    int heading = 0; // 2, 3, 4 for 大, 中, 小見出し
    int indent = -1; // a note's indentation for this line alone
    bool ground = false;
    int raise = 0;
};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendEscaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
}

// A number in ASCII or full-width digits at the start of `text`, with the bytes it takes.
std::pair<int, std::size_t> leadingNumber(std::string_view text)
{
    int n = 0;
    std::size_t i = 0;
    bool any = false;
    while (i < text.size()) {
        if (text[i] >= '0' && text[i] <= '9') {
            n = n * 10 + (text[i] - '0');
            ++i;
        } else if (text.substr(i, 2) == "\xef\xbc" && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 2]) >= 0x90 && static_cast<unsigned char>(text[i + 2]) <= 0x99) {
            n = n * 10 + (static_cast<unsigned char>(text[i + 2]) - 0x90); // ０..９
            i += 3;
        } else {
            break;
        }
        any = true;
        n = std::min(n, 1000);
    }
    return {any ? n : -1, i};
}

// The note's inside, between "［＃" and "］" (UTF-8).
std::string_view noteInside(std::string_view note)
{
    constexpr std::string_view open = "［＃";
    constexpr std::string_view close = "］";
    if (note.starts_with(open))
        note.remove_prefix(open.size());
    if (note.ends_with(close))
        note.remove_suffix(close.size());
    return note;
}

// "「Q」REST": Q and REST; nothing when the note does not open with a quote. The quote ends at
// the last "」" before REST's known endings, so a quote that holds "」" itself is whole.
std::optional<std::pair<std::string_view, std::string_view>> quoted(std::string_view inside)
{
    if (!inside.starts_with(kQuoteOpen))
        return std::nullopt;
    const std::size_t close = inside.rfind(kQuoteClose);
    if (close == std::string_view::npos || close < kQuoteOpen.size())
        return std::nullopt;
    return std::pair{inside.substr(kQuoteOpen.size(), close - kQuoteOpen.size()),
                     inside.substr(close + kQuoteClose.size())};
}

int styleIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kNoteStyles.size(); ++i)
        if (kNoteStyles[i].name == name)
            return static_cast<int>(i);
    return -1;
}

int headingLevel(std::string_view name)
{
    if (name == "大見出し" || name == "同行大見出し" || name == "窓大見出し")
        return 2;
    if (name == "中見出し" || name == "同行中見出し" || name == "窓中見出し")
        return 3;
    if (name == "小見出し" || name == "同行小見出し" || name == "窓小見出し")
        return 4;
    return 0;
}

// The text of the shown characters from `first` on.
std::string shownText(const std::vector<Shown>& shown, std::size_t first)
{
    std::string text;
    for (std::size_t i = first; i < shown.size(); ++i)
        text += shown[i].text;
    return text;
}

// Where the last characters of `shown` spell `quote`, not reaching back before `floor`.
std::optional<std::size_t> quotedStart(const std::vector<Shown>& shown, std::string_view quote, std::size_t floor)
{
    std::size_t length = 0;
    for (std::size_t i = shown.size(); i > floor; --i) {
        length += shown[i - 1].text.size();
        if (length == quote.size())
            return shownText(shown, i - 1) == quote ? std::optional(i - 1) : std::nullopt;
        if (length > quote.size())
            break;
    }
    return std::nullopt;
}

// What a note (UTF-8, "［＃…］") does to the line being set. `open` holds the stretches a
// "［＃傍点］" opened: style and first character.
void applyNote(std::string_view note, Line& line, std::vector<std::pair<int, std::size_t>>& open, int& blockIndent,
               bool& blockGround, std::size_t floor)
{
    const std::string_view inside = noteInside(note);
    if (const auto q = quoted(inside)) {
        auto [quote, rest] = *q;
        for (const std::string_view particle : {std::string_view("に"), std::string_view("は")}) {
            if (!rest.starts_with(particle))
                continue;
            const std::string_view name = rest.substr(particle.size());
            if (const int level = headingLevel(name); level != 0) {
                line.heading = level;
                return;
            }
            if (const int style = styleIndex(name); style >= 0) {
                if (const auto from = quotedStart(line.shown, quote, floor))
                    for (std::size_t i = *from; i < line.shown.size(); ++i)
                        line.shown[i].style = style;
                return;
            }
        }
        return;
    }
    if (const int level = headingLevel(inside); level != 0) {
        line.heading = level;
        return;
    }
    if (const int style = styleIndex(inside); style >= 0) {
        open.emplace_back(style, line.shown.size());
        return;
    }
    if (inside.ends_with("終わり")) {
        const int style = styleIndex(inside.substr(0, inside.size() - std::string_view("終わり").size()));
        for (auto it = open.rbegin(); it != open.rend(); ++it) {
            if (it->first != style)
                continue;
            for (std::size_t i = it->second; i < line.shown.size(); ++i)
                line.shown[i].style = style;
            open.erase(std::next(it).base());
            return;
        }
    }
    if (inside == "ここで字下げ終わり") {
        blockIndent = 0;
        return;
    }
    if (inside == "ここから地付き") {
        blockGround = true;
        return;
    }
    if (inside == "ここで地付き終わり") {
        blockGround = false;
        return;
    }
    if (inside == "地付き") {
        if (line.shown.empty())
            line.ground = true;
        return;
    }
    if (inside.starts_with("ここから")) {
        const auto [n, used] = leadingNumber(inside.substr(std::string_view("ここから").size()));
        if (n >= 0 && inside.substr(std::string_view("ここから").size() + used).starts_with("字下げ"))
            blockIndent = n;
        return;
    }
    if (inside.starts_with("地から")) {
        const auto [n, used] = leadingNumber(inside.substr(std::string_view("地から").size()));
        if (n >= 0 && line.shown.empty()) {
            line.ground = true;
            line.raise = n;
        }
        return;
    }
    if (const auto [n, used] = leadingNumber(inside); n >= 0 && inside.substr(used) == "字下げ" && line.shown.empty())
        line.indent = n;
}

// Whether the note after a "※" describes the gaiji: "［＃「description」、…］", or it names a
// code.
bool isGaijiNote(std::string_view note)
{
    const std::string_view inside = noteInside(note);
    if (const auto q = quoted(inside))
        return q->second.starts_with("、");
    return !gaijiCharacter(note).empty();
}

// The gaiji note as the page shows it: the character it names, else its description.
std::pair<std::string, bool> gaijiShown(std::string_view note)
{
    if (std::string c = gaijiCharacter(note); !c.empty())
        return {std::move(c), false};
    const std::string_view inside = noteInside(note);
    if (const auto q = quoted(inside))
        return {"〔" + std::string(q->first) + "〕", true};
    return {"〔" + std::string(inside) + "〕", true};
}

// A numeric character reference "&#…;" or "&#x…;" at the start of `text`: the character and
// the bytes it takes.
std::optional<std::pair<char32_t, std::size_t>> characterReference(std::string_view text)
{
    if (!text.starts_with("&#"))
        return std::nullopt;
    std::size_t i = 2;
    int base = 10;
    if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    }
    const std::size_t semicolon = text.find(';', i);
    if (semicolon == std::string_view::npos || semicolon == i || semicolon - i > 7)
        return std::nullopt;
    std::uint32_t code = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + semicolon, code, base);
    if (ec != std::errc() || end != text.data() + semicolon || code == 0 || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return std::pair{static_cast<char32_t>(code), semicolon + 1};
}

// The characters of a line in UTF-8, one per Shift_JIS character.
std::vector<std::string> lineCharacters(std::string_view line)
{
    std::vector<std::string> chars;
    const std::u16string wide = cp932::toWide(line);
    std::size_t count = 0;
    for (std::size_t i = 0; i < line.size(); i += sjis::charLength(line, i))
        ++count;
    chars.reserve(count);
    if (wide.size() == count) {
        for (const char16_t unit : wide) {
            std::string c;
            appendUtf8(c, unit);
            chars.push_back(std::move(c));
        }
        return chars;
    }
    // Only a line the converter does not take character by character comes here: a character
    // it makes into more or less than one is shown as the replacement character.
    for (std::size_t i = 0; i < line.size(); i += sjis::charLength(line, i)) {
        const std::u16string one = cp932::toWide(line.substr(i, sjis::charLength(line, i)));
        std::string c;
        appendUtf8(c, one.size() == 1 ? one[0] : char32_t{0xFFFD});
        chars.push_back(std::move(c));
    }
    return chars;
}

bool isAsciiAlnum(const Shown& c)
{
    if (c.bytes != 1 || c.unit || c.text.size() != 1)
        return false;
    const char b = c.text[0];
    return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

bool isAsciiDigit(const Shown& c)
{
    return isAsciiAlnum(c) && c.text[0] >= '0' && c.text[0] <= '9';
}

// A number of one or two half-width digits standing alone is set upright in one character's
// room in vertical writing, as books set them.
void uprightShortNumbers(std::vector<Shown>& shown)
{
    const int upright = styleIndex("縦中横");
    for (std::size_t i = 0; i < shown.size();) {
        if (!isAsciiDigit(shown[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < shown.size() && isAsciiDigit(shown[end]))
            ++end;
        const bool alone =
            (i == 0 || !isAsciiAlnum(shown[i - 1])) && (end == shown.size() || !isAsciiAlnum(shown[end]));
        if (alone && end - i <= 2)
            for (std::size_t k = i; k < end; ++k)
                if (shown[k].style < 0)
                    shown[k].style = upright;
        i = end;
    }
}

} // namespace

std::string gaijiCharacter(std::string_view note)
{
    // "U+XXXX"
    for (std::size_t at = note.find("U+"); at != std::string_view::npos; at = note.find("U+", at + 2)) {
        std::uint32_t code = 0;
        const char* first = note.data() + at + 2;
        const char* last = note.data() + std::min(note.size(), at + 8);
        const auto [end, ec] = std::from_chars(first, last, code, 16);
        if (ec == std::errc() && end - first >= 4 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
            std::string out;
            appendUtf8(out, code);
            return out;
        }
    }
    // "P-R-C" of JIS X 0213 after the quote, the last such in the note.
    std::string_view rest = note;
    if (const std::size_t close = note.rfind("」"); close != std::string_view::npos)
        rest = note.substr(close);
    for (std::size_t i = rest.size(); i-- > 0;) {
        if (!(rest[i] == '1' || rest[i] == '2') || i + 1 >= rest.size() || rest[i + 1] != '-')
            continue;
        if (i > 0 && rest[i - 1] >= '0' && rest[i - 1] <= '9')
            continue;
        unsigned row = 0;
        unsigned cell = 0;
        const char* p = rest.data() + i + 2;
        const char* end = rest.data() + rest.size();
        auto r = std::from_chars(p, end, row);
        if (r.ec != std::errc() || r.ptr == end || *r.ptr != '-')
            continue;
        auto c = std::from_chars(r.ptr + 1, end, cell);
        if (c.ec != std::errc() || row < 1 || row > 94 || cell < 1 || cell > 94)
            continue;
        std::string euc;
        if (rest[i] == '2')
            euc += '\x8f';
        euc += static_cast<char>(0xA0 + row);
        euc += static_cast<char>(0xA0 + cell);
        const iconv_t cd = iconv_open("UTF-8", "EUC-JISX0213");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return {};
        std::array<char, 16> buffer{};
        char* in = euc.data();
        std::size_t inLeft = euc.size();
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t done = iconv(cd, &in, &inLeft, &out, &outLeft);
        // A combining pair is held back until the converter is flushed.
        iconv(cd, nullptr, nullptr, &out, &outLeft);
        iconv_close(cd);
        if (done == static_cast<std::size_t>(-1) || inLeft != 0)
            return {};
        return std::string(buffer.data(), out);
    }
    return {};
}

std::vector<std::size_t> viewSections(std::string_view text, std::size_t bytes)
{
    std::vector<std::size_t> starts{0};
    std::size_t at = 0;
    while (text.size() - at > bytes) {
        const std::size_t lineEnd = text.find_first_of("\r\n", at + bytes);
        if (lineEnd == std::string_view::npos)
            break;
        std::size_t next = lineEnd + 1;
        if (text[lineEnd] == '\r' && next < text.size() && text[next] == '\n')
            ++next;
        if (next >= text.size())
            break;
        starts.push_back(next);
        at = next;
    }
    return starts;
}

std::string ViewHtmlWriter::lines(std::size_t from, std::size_t to)
{
    const std::string_view text = source_.text;
    to = std::min(to, text.size());
    std::string out;
    out.reserve((to - from) * 3);
    std::size_t at = from;
    while (at < to) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos || end > to)
            end = to;
        line(at, end, out);
        if (end >= to)
            break;
        at = end + 1;
        if (text[end] == '\r' && at < text.size() && text[at] == '\n')
            ++at;
    }
    return out;
}

void ViewHtmlWriter::passOver(std::size_t from, std::size_t to)
{
    const std::string_view text = source_.text;
    to = std::min(to, text.size());
    for (std::size_t at = text.find(kNoteOpen, from); at < to; at = text.find(kNoteOpen, at + 1)) {
        const std::size_t close = noteEnd(text, at);
        if (close == std::string_view::npos || close > to)
            continue;
        const std::string note = cp932::toUtf8(text.substr(at, close - at));
        if (note.find("ここ") == std::string::npos)
            continue;
        Line line;
        std::vector<std::pair<int, std::size_t>> open;
        applyNote(note, line, open, blockIndent_, blockGround_, 0);
    }
}

void ViewHtmlWriter::line(std::size_t start, std::size_t end, std::string& out)
{
    const std::string_view text = source_.text;
    const std::string_view lineText = text.substr(start, end - start);
    const std::vector<std::string> chars = lineCharacters(lineText);

    Line line;
    std::vector<std::pair<int, std::size_t>> openStyles;
    const std::vector<std::size_t> pageBases =
        source_.rubyBases.empty() ? std::vector<std::size_t>{} : rubyBaseStarts(text, start, end, source_.rubyBases);
    auto nextPageBase = pageBases.begin();
    // Where the base of the next ruby begins when a mark gave it; the characters before
    // `rubyFloor` belong to an earlier ruby.
    constexpr std::size_t kNoMark = std::string_view::npos;
    std::size_t markedBase = kNoMark;
    std::size_t rubyFloor = 0;
    // The last "《" of the line, so that a "｜" with none after it is shown as it is.
    std::size_t lastRubyOpen = std::string_view::npos;
    for (std::size_t i = 0; i < lineText.size(); i += sjis::charLength(lineText, i))
        if (lineText.substr(i, 2) == sjis::kRubyOpen)
            lastRubyOpen = i;

    std::size_t k = 0; // index of the character at i in `chars`
    std::size_t i = 0;
    const auto skipTo = [&](std::size_t stop) {
        while (i < stop) {
            i += sjis::charLength(lineText, i);
            ++k;
        }
    };
    while (i < lineText.size()) {
        const std::size_t len = sjis::charLength(lineText, i);
        const std::string_view c = lineText.substr(i, len);
        const std::size_t at = start + i;
        while (nextPageBase != pageBases.end() && *nextPageBase < at)
            ++nextPageBase;
        if (nextPageBase != pageBases.end() && *nextPageBase == at)
            markedBase = line.shown.size();

        if (c == sjis::kRubyBaseMark && lastRubyOpen != std::string_view::npos && i < lastRubyOpen) {
            markedBase = line.shown.size();
            skipTo(i + len);
            continue;
        }
        if (c == sjis::kRubyOpen) {
            // The reading runs to the "》" on the same line.
            std::size_t j = i + len;
            std::string reading;
            std::size_t kj = k + 1;
            while (j < lineText.size() && lineText.substr(j, 2) != sjis::kRubyClose) {
                reading += chars[kj];
                j += sjis::charLength(lineText, j);
                ++kj;
            }
            std::size_t first = line.shown.size();
            if (markedBase != kNoMark) {
                first = std::max(markedBase, rubyFloor);
            } else {
                while (first > rubyFloor &&
                       (line.shown[first - 1].unit ||
                        isRubyBaseKanji(text.substr(line.shown[first - 1].at, line.shown[first - 1].bytes))))
                    --first;
            }
            if (j < lineText.size() && first < line.shown.size() && !reading.empty()) {
                for (std::size_t s = first; s < line.shown.size(); ++s)
                    line.shown[s].ruby = static_cast<int>(line.rubies.size());
                line.rubies.push_back({first, line.shown.size(), std::move(reading)});
                rubyFloor = line.shown.size();
                markedBase = kNoMark;
                skipTo(j + 2);
                continue;
            }
        }
        if (c == kGaijiMark && lineText.substr(i + len).starts_with(kNoteOpen)) {
            const std::size_t noteAt = start + i + len;
            const std::size_t close = noteEnd(text, noteAt);
            if (close != std::string_view::npos && close <= end) {
                const std::string note = cp932::toUtf8(text.substr(noteAt, close - noteAt));
                if (isGaijiNote(note)) {
                    auto [shown, small] = gaijiShown(note);
                    line.shown.push_back({at, close - at, std::move(shown), true, small});
                    skipTo(close - start);
                    continue;
                }
            }
        }
        if (c.starts_with(kNoteOpen.substr(0, 2)) && lineText.substr(i).starts_with(kNoteOpen)) {
            const std::size_t close = noteEnd(text, at);
            if (close != std::string_view::npos && close <= end) {
                applyNote(cp932::toUtf8(text.substr(at, close - at)), line, openStyles, blockIndent_, blockGround_,
                          rubyFloor);
                skipTo(close - start);
                continue;
            }
        }
        if (c == "&") {
            if (const auto reference = characterReference(lineText.substr(i))) {
                std::string shown;
                appendUtf8(shown, reference->first);
                line.shown.push_back({at, reference->second, std::move(shown), true});
                skipTo(i + reference->second);
                continue;
            }
        }
        line.shown.push_back({at, len, chars[k]});
        skipTo(i + len);
    }
    // A stretch a note opened and the line did not close ends with the line.
    for (const auto& [style, first] : openStyles)
        for (std::size_t s = first; s < line.shown.size(); ++s)
            line.shown[s].style = style;
    uprightShortNumbers(line.shown);

    int indent = line.indent >= 0 ? line.indent : blockIndent_;
    const bool ground = line.ground || blockGround_;
    if (line.heading == 0 && std::binary_search(source_.headings.begin(), source_.headings.end(), start))
        line.heading = 3;
    const bool notesOnly = line.shown.empty() && end > start;
    if (notesOnly)
        return; // a line of notes alone shows nothing
    const std::string tag = line.heading != 0 ? "h" + std::to_string(line.heading) : "p";
    out += '<';
    out += tag;
    out += " l=" + std::to_string(start) + " e=" + std::to_string(end);
    if (ground)
        out += " class=g";
    if (indent > 0 || line.raise > 0) {
        out += " style=\"";
        if (indent > 0)
            out += "padding-inline-start:" + std::to_string(indent) + "em;";
        if (line.raise > 0)
            out += "padding-inline-end:" + std::to_string(line.raise) + "em;";
        out += '"';
    }
    out += '>';
    if (line.shown.empty())
        out += "<br>";

    // Runs of characters that one span can hold.
    const auto spanEnd = [&](std::size_t s) {
        const Shown& first = line.shown[s];
        std::size_t e = s + 1;
        if (first.unit)
            return e;
        while (e < line.shown.size()) {
            const Shown& next = line.shown[e];
            const Shown& prev = line.shown[e - 1];
            if (next.unit || next.bytes != first.bytes || next.at != prev.at + prev.bytes ||
                next.style != first.style || next.ruby != first.ruby)
                break;
            ++e;
        }
        return e;
    };
    const auto writeSpan = [&](std::size_t s, std::size_t e) {
        const Shown& first = line.shown[s];
        out += "<span o=" + std::to_string(first.at);
        if (first.unit)
            out += " u=" + std::to_string(first.bytes);
        else if (first.bytes == 1)
            out += " w=1";
        std::string classes;
        if (first.style >= 0)
            classes = std::string(kNoteStyles[static_cast<std::size_t>(first.style)].cssClass);
        if (first.small)
            classes += classes.empty() ? "s" : " s";
        if (!classes.empty())
            out += " class=\"" + classes + "\"";
        out += '>';
        for (std::size_t x = s; x < e; ++x)
            appendEscaped(out, line.shown[x].text);
        out += "</span>";
    };
    std::size_t s = 0;
    while (s < line.shown.size()) {
        if (line.shown[s].ruby >= 0) {
            const RubyGroup& ruby = line.rubies[static_cast<std::size_t>(line.shown[s].ruby)];
            out += "<ruby>";
            while (s < ruby.last) {
                const std::size_t e = std::min(spanEnd(s), ruby.last);
                writeSpan(s, e);
                s = e;
            }
            out += "<rt>";
            appendEscaped(out, ruby.reading);
            out += "</rt></ruby>";
            continue;
        }
        const std::size_t e = spanEnd(s);
        writeSpan(s, e);
        s = e;
    }
    out += "</";
    out += tag;
    out += ">\n";
}

} // namespace kven
