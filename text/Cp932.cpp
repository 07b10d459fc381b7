#include "text/Cp932.h"

#include "text/Sjis.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace kven::cp932 {

namespace {

// One converter per call: iconv descriptors carry shift state and are not thread-safe.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much as possible; returns the number of input bytes consumed. Stops at
    // the first byte sequence that cannot be converted.
    std::size_t convert(const char* in, std::size_t inLen, std::string& out)
    {
        char* inPtr = const_cast<char*>(in);
        std::size_t inLeft = inLen;
        char buffer[8192];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG)
                break;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return inLen - inLeft;
    }

private:
    iconv_t cd_;
};

// Unicode characters with no CP932 form that have a CP932 character of the same meaning.
const char* nearEquivalent(char16_t c)
{
    switch (c) {
    case 0x301C: return "\x81\x60"; // WAVE DASH → ～
    case 0x2016: return "\x81\x61"; // DOUBLE VERTICAL LINE → ∥
    case 0x2212: return "\x81\x7c"; // MINUS SIGN → －
    case 0x00A2: return "\x81\x91"; // ¢ → ￠
    case 0x00A3: return "\x81\x92"; // £ → ￡
    case 0x00AC: return "\x81\xca"; // ¬ → ￢
    case 0x2014: return "\x81\x5c"; // EM DASH → ―
    default: return nullptr;
    }
}

bool isTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Converts CP932 bytes to a Unicode encoding, writing `replacement` (already in the target
// encoding) for every character iconv rejects.
std::string sjisTo(const char* target, std::string_view sjis, std::string_view replacement)
{
    Iconv cv(target, "CP932");
    std::string out;
    out.reserve(sjis.size() * 2);
    std::size_t pos = 0;
    while (pos < sjis.size()) {
        pos += cv.convert(sjis.data() + pos, sjis.size() - pos, out);
        if (pos >= sjis.size())
            break;
        const auto b = static_cast<unsigned char>(sjis[pos]);
        const bool pair =
            sjis::isLeadByte(b) && pos + 1 < sjis.size() && isTrailByte(static_cast<unsigned char>(sjis[pos + 1]));
        out.append(replacement);
        pos += pair ? 2 : 1;
    }
    return out;
}

} // namespace

std::u16string toWide(std::string_view sjis)
{
    const std::string bytes = sjisTo("UTF-16LE", sjis, std::string_view("?\0", 2));
    std::u16string wide(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return wide;
}

std::string toUtf8(std::string_view sjis)
{
    return sjisTo("UTF-8", sjis, "?");
}

std::string fromWide(std::u16string_view wide)
{
    std::string in(wide.size() * 2, '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        // iconv maps YEN SIGN and OVERLINE one way to "\" and "~", characters of another
        // meaning; they have no CP932 form of their own, so they go the "?" way instead.
        const char16_t c = (wide[i] == 0x00A5 || wide[i] == 0x203E) ? char16_t{0xFFFF} : wide[i];
        in[2 * i] = static_cast<char>(c & 0xFF);
        in[2 * i + 1] = static_cast<char>(c >> 8);
    }
    Iconv cv("CP932", "UTF-16LE");
    std::string out;
    out.reserve(wide.size() * 2);
    std::size_t pos = 0;
    while (pos < in.size()) {
        pos += cv.convert(in.data() + pos, in.size() - pos, out);
        if (pos >= in.size())
            break;
        const std::size_t unit = pos / 2;
        const char16_t c = wide[unit];
        if (const char* near = nearEquivalent(c)) {
            out.append(near);
            pos += 2;
        } else if (c >= 0xD800 && c <= 0xDBFF && unit + 1 < wide.size() && wide[unit + 1] >= 0xDC00 &&
                   wide[unit + 1] <= 0xDFFF) {
            out.push_back('?'); // one character beyond U+FFFF
            pos += 4;
        } else {
            out.push_back('?');
            pos += 2;
        }
    }
    return out;
}

std::u16string utf8ToWide(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    auto cont = [&](std::size_t k) { return k < n && (static_cast<unsigned char>(utf8[k]) & 0xC0) == 0x80; };
    while (i < n) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
        } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
            out.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (utf8[i + 1] & 0x3F)));
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1) && cont(i + 2)) {
            const unsigned cp = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            out.push_back(cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF) ? u'\xFFFD' : static_cast<char16_t>(cp));
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            const unsigned cp = ((b & 0x07u) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 12) |
                                ((static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(utf8[i + 3]) & 0x3Fu);
            if (cp < 0x10000 || cp > 0x10FFFF) {
                out.push_back(u'\xFFFD');
            } else {
                out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            }
            i += 4;
        } else {
            out.push_back(u'\xFFFD');
            ++i;
        }
    }
    return out;
}

std::string wideToUtf8(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        unsigned cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string fromUtf8(std::string_view utf8)
{
    return fromWide(utf8ToWide(utf8));
}

} // namespace kven::cp932
