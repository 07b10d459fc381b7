#include "intake/PageEncoding.h"

#include "text/Cp932.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

namespace kven {

namespace {

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

// The encoding that the page's markers declare: a charset marker counts before the head end;
// without one, a Yahoo! title means EUC-JP, and anything else is `otherwise`, unless a
// Shift_JIS marker says so.
Encoding declaredEncoding(std::string_view text, Encoding otherwise)
{
    const std::size_t headEnd = findOneBased(text, "</HEAD>") + findOneBased(text, "</head>");
    if (markerBeforeHeadEnd(text, "EUC-JP", headEnd) || markerBeforeHeadEnd(text, "euc-jp", headEnd))
        return Encoding::eucJp;
    if (markerBeforeHeadEnd(text, "UTF-8", headEnd) || markerBeforeHeadEnd(text, "utf-8", headEnd))
        return Encoding::utf8;
    if (contains(text, "<title>Yahoo!"))
        return Encoding::eucJp;
    if (otherwise != Encoding::shiftJis &&
        (markerBeforeHeadEnd(text, "Shift_JIS", headEnd) || markerBeforeHeadEnd(text, "shift_jis", headEnd)))
        return Encoding::shiftJis;
    return otherwise;
}

// UTF-32 with its byte-order mark, as UTF-32LE or UTF-32BE. Its mark is tried first: the
// UTF-32LE mark begins as the UTF-16LE one does. A value that is no character (a surrogate,
// beyond U+10FFFF) becomes U+FFFD, which the conversion makes "?".
std::optional<std::u16string> utf32Markup(std::string_view bytes)
{
    const bool little = bytes.starts_with(std::string_view("\xff\xfe\x00\x00", 4));
    if (!little && !bytes.starts_with(std::string_view("\x00\x00\xfe\xff", 4)))
        return std::nullopt;
    std::u16string wide;
    wide.reserve(bytes.size() / 4);
    for (std::size_t i = 4; i + 3 < bytes.size(); i += 4) {
        char32_t c = 0;
        for (std::size_t k = 0; k < 4; ++k)
            c |= char32_t{static_cast<unsigned char>(bytes[i + k])} << (8 * (little ? k : 3 - k));
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c > 0xFFFF) {
            wide.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(c));
        }
    }
    return wide;
}

// UTF-16 with its byte-order mark, as UTF-16LE or UTF-16BE.
std::optional<std::u16string> utf16Markup(std::string_view bytes)
{
    const bool little = bytes.starts_with("\xff\xfe");
    if (!little && !bytes.starts_with("\xfe\xff"))
        return std::nullopt;
    std::u16string wide;
    wide.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        wide.push_back(static_cast<char16_t>(little ? a | (b << 8) : (a << 8) | b));
    }
    return wide;
}

} // namespace

std::string mixedEncodingWarning(std::string_view what, const EncodingFit& fit)
{
    if (fit.whole)
        return {};
    const std::string_view name = fit.encoding == Encoding::eucJp  ? "EUC-JP"
                                  : fit.encoding == Encoding::utf8 ? "UTF-8"
                                                                   : "Shift_JIS";
    return std::string(what) + "の一部が " + std::string(name) +
           " として読めません (途中で文字コードが変わっているか、壊れています): その部分は文字化けしています";
}

EncodingFit encodingFit(std::string_view bytes, Encoding declared)
{
    EncodingFit fit{declared, isWellFormed(bytes, declared)};
    // Another encoding is taken only when the bytes are well-formed in it.
    if (!fit.whole) {
        fit.encoding = encodingByContent(bytes, declared);
        fit.whole = fit.encoding != declared;
    }
    return fit;
}

EncodingFit settlePageEncoding(std::string& text, const EucJp& conv, Encoding otherwise)
{
    const EncodingFit fit = encodingFit(text, declaredEncoding(text, otherwise));
    switch (fit.encoding) {
    case Encoding::eucJp: text = conv.toSjis(text); break;
    case Encoding::utf8: text = cp932::fromWide(decodeUtf8Page(text)); break;
    case Encoding::shiftJis: break;
    }
    return fit;
}

std::optional<std::string> markedUnicodeToSjis(std::string_view bytes)
{
    if (const std::optional<std::u16string> wide = utf32Markup(bytes))
        return cp932::fromWide(*wide);
    if (const std::optional<std::u16string> wide = utf16Markup(bytes))
        return cp932::fromWide(*wide);
    return std::nullopt;
}

EncodingFit settleBookEncoding(std::string& text, const EucJp& conv)
{
    if (std::optional<std::string> sjis = markedUnicodeToSjis(text)) {
        text = std::move(*sjis);
        return {};
    }
    constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";
    if (std::string_view(text).starts_with(kUtf8Bom))
        text.erase(0, kUtf8Bom.size());
    return settlePageEncoding(text, conv, Encoding::utf8);
}

} // namespace kven
