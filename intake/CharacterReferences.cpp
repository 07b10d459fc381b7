#include "intake/CharacterReferences.h"

#include "text/Cp932.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace kven {

namespace {

struct NamedReference {
    std::string_view name;
    char32_t first;
    char32_t second; // 0 for a name of one character
};

// Generated from the HTML standard at build time, sorted by name.
constexpr NamedReference kNamed[] = {
#include "intake/HtmlEntities.inc"
};

constexpr std::size_t kLongestName = 32;
constexpr std::size_t kMaxDigits = 8;

// Pages written for browsers that also took the upper-case spelling.
constexpr std::string_view kUpperNbsp = "NBSP";

const NamedReference* findNamed(std::string_view name)
{
    if (name == kUpperNbsp)
        name = "nbsp";
    const auto found = std::lower_bound(std::begin(kNamed), std::end(kNamed), name,
                                        [](const NamedReference& r, std::string_view n) { return r.name < n; });
    return found != std::end(kNamed) && found->name == name ? found : nullptr;
}

bool isBlankLike(char32_t c)
{
    return c == U'\t' || c == U'\n' || c == U'\f' || c == U'\r' || c == U'\u00A0' ||
           (c >= U'\u2000' && c <= U'\u200A') || c == U'\u202F' || c == U'\u205F';
}

bool isInvisible(char32_t c)
{
    return c == U'\u00AD' || (c >= U'\u200B' && c <= U'\u200F') || (c >= U'\u202A' && c <= U'\u202E') ||
           (c >= U'\u2060' && c <= U'\u2064') || c == U'\uFEFF';
}

// A referenced character in Shift_JIS; nullopt when it has no form there, or is a control
// character that is no white space.
std::optional<std::string> sjisOf(char32_t c)
{
    if (isBlankLike(c))
        return std::string(" ");
    if (isInvisible(c))
        return std::string();
    // CP932 has nothing beyond U+FFFF, and no surrogate stands for a character alone.
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD800 && c <= 0xDFFF) || c > 0xFFFF)
        return std::nullopt;
    std::string s = cp932::fromWide(std::u16string(1, static_cast<char16_t>(c)));
    if (s == "?" && c != U'?')
        return std::nullopt;
    return s;
}

std::string namedText(const NamedReference& named)
{
    std::optional<std::string> text = sjisOf(named.first);
    if (text && named.second != 0) {
        const std::optional<std::string> second = sjisOf(named.second);
        text = second ? *text + *second : std::optional<std::string>();
    }
    return text ? *text : std::string("?");
}

bool isAsciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

struct Decoded {
    std::size_t length = 0; // of the reference; 0 when none is decoded here
    std::string text;
};

// The numeric reference that `rest` begins with, after its "&#".
Decoded numericAt(std::string_view rest)
{
    std::size_t p = 2;
    unsigned base = 10;
    if (p < rest.size() && (rest[p] == 'x' || rest[p] == 'X')) {
        base = 16;
        ++p;
    }
    char32_t code = 0;
    std::size_t digits = 0;
    for (int d; digits < kMaxDigits && p < rest.size() && (d = hexValue(static_cast<unsigned char>(rest[p]))) >= 0 &&
                static_cast<unsigned>(d) < base;
         ++digits, ++p)
        code = code * base + static_cast<char32_t>(d);
    if (digits == 0 || p >= rest.size() || rest[p] != ';')
        return {};
    std::optional<std::string> text = sjisOf(code);
    return text ? Decoded{p + 1, std::move(*text)} : Decoded{};
}

// The reference that `rest` begins with, at its "&".
Decoded referenceAt(std::string_view rest)
{
    if (rest.size() > 1 && rest[1] == '#')
        return numericAt(rest);
    std::size_t end = 1;
    while (end < rest.size() && end <= kLongestName && isAsciiAlnum(rest[end]))
        ++end;
    if (end == 1 || end >= rest.size() || rest[end] != ';')
        return {};
    const NamedReference* named = findNamed(rest.substr(1, end - 1));
    return named != nullptr ? Decoded{end + 1, namedText(*named)} : Decoded{};
}

} // namespace

void decodeReferences(std::string& text, std::vector<std::size_t>& marks)
{
    if (text.find('&') == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    std::size_t k = 0; // the first mark not yet placed
    std::size_t copied = 0;
    for (std::size_t i = 0; i < text.size();) {
        const Decoded found = text[i] == '&' ? referenceAt(std::string_view(text).substr(i)) : Decoded{};
        if (found.length == 0) {
            i += sjis::charLength(text, i);
            continue;
        }
        out.append(text, copied, i - copied);
        for (; k < marks.size() && marks[k] <= i; ++k)
            marks[k] = marks[k] - copied + (out.size() - (i - copied));
        for (; k < marks.size() && marks[k] < i + found.length; ++k)
            marks[k] = out.size() + found.text.size();
        out.append(found.text);
        i += found.length;
        copied = i;
    }
    for (; k < marks.size(); ++k)
        marks[k] = marks[k] - copied + out.size();
    out.append(text, copied);
    text = std::move(out);
}

std::string withNumericReferences(std::string_view xml)
{
    static constexpr std::string_view kXmlNames[] = {"amp", "lt", "gt", "quot", "apos"};
    if (xml.find('\0') != std::string_view::npos)
        return std::string(xml);
    std::string out;
    out.reserve(xml.size());
    std::size_t copied = 0;
    for (std::size_t at = xml.find('&'); at != std::string_view::npos; at = xml.find('&', at + 1)) {
        std::size_t end = at + 1;
        while (end < xml.size() && end - at <= kLongestName && isAsciiAlnum(xml[end]))
            ++end;
        const std::string_view name = xml.substr(at + 1, end - at - 1);
        const NamedReference* named = end < xml.size() && xml[end] == ';' ? findNamed(name) : nullptr;
        if (named == nullptr || std::find(std::begin(kXmlNames), std::end(kXmlNames), name) != std::end(kXmlNames))
            continue;
        out.append(xml, copied, at - copied);
        for (const char32_t c : {named->first, named->second})
            if (c != 0)
                out += "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
        copied = end + 1;
    }
    out.append(xml, copied);
    return out;
}

} // namespace kven
