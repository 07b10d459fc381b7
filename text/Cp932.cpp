#include "text/Cp932.h"

#include "text/Sjis.h"
#include "text/Utf8.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace kven::cp932 {

namespace {

// iconv descriptors carry shift state and are not thread-safe: each thread has its own.
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

// This thread's converter from `from` to `to`, reset after every conversion. Kept open: opening
// one per call would load and unload the converter modules again and again, from every thread.
Iconv& converter(const char* to, const char* from)
{
    thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<Iconv>> open;
    std::unique_ptr<Iconv>& slot = open[{to, from}];
    if (!slot)
        slot = std::make_unique<Iconv>(to, from);
    return *slot;
}

// Converts CP932 bytes to a Unicode encoding, writing `replacement` (already in the target
// encoding) for every character iconv rejects.
std::string sjisTo(const char* target, std::string_view sjis, std::string_view replacement)
{
    Iconv& cv = converter(target, "CP932");
    std::string out;
    out.reserve(sjis.size() * 2);
    std::size_t pos = 0;
    while (pos < sjis.size()) {
        pos += cv.convert(sjis.data() + pos, sjis.size() - pos, out);
        if (pos >= sjis.size())
            break;
        const auto b = static_cast<unsigned char>(sjis[pos]);
        const bool pair = sjis::isLeadByte(b) && pos + 1 < sjis.size() &&
                          sjis::isTrailByte(static_cast<unsigned char>(sjis[pos + 1]));
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
    Iconv& cv = converter("CP932", "UTF-16LE");
    std::string out;
    out.reserve(wide.size() * 2);
    std::size_t pos = 0;
    while (pos < in.size()) {
        pos += cv.convert(in.data() + pos, in.size() - pos, out);
        if (pos >= in.size())
            break;
        const std::size_t unit = pos / 2;
        const char16_t c = wide[unit];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && unit + 1 < wide.size() && wide[unit + 1] >= 0xDC00 &&
                          wide[unit + 1] <= 0xDFFF;
        // A character beyond U+FFFF is one "?", not two.
        out.push_back('?');
        pos += pair ? 4 : 2;
    }
    return out;
}

std::u16string utf8ToWide(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const utf8::Step step = utf8::decode(utf8, i);
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // C0, C1 and F5..F7 never start a character: such a lead is one bad byte, and so is
        // a malformed sequence. A sequence of the right form with a bad value is one U+FFFD.
        if (step.status == utf8::Status::malformed || lead == 0xC0 || lead == 0xC1 || lead > 0xF4) {
            out.push_back(u'\xFFFD');
            ++i;
            continue;
        }
        i += step.length;
        const char32_t cp = step.codePoint;
        if (!step.valid()) {
            out.push_back(u'\xFFFD');
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char16_t>(cp));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
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
