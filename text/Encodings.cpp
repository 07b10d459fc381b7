#include "text/Encodings.h"

#include "text/Sjis.h"
#include "text/Utf8.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <strings.h>
#include <uchardet.h>

namespace kven {

namespace {

bool isEucByte(unsigned char b)
{
    return b >= 0xA1 && b <= 0xFE;
}

// The end of the run of ASCII bytes from `i`; markup and Latin text are skipped eight bytes at
// a time.
std::size_t pastAscii(const unsigned char* s, std::size_t i, std::size_t n)
{
    for (std::uint64_t word; i + 8 <= n; i += 8) {
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    while (i < n && s[i] < 0x80)
        ++i;
    return i;
}

// What a byte can be in Shift_JIS, by table so that a long Japanese text is judged with few
// branches: 1 a character of one byte, 2 the lead byte of a pair, 0 neither; and whether it
// can be the second byte of a pair.
struct SjisTables {
    unsigned char first[256];
    bool second[256];
};

constexpr SjisTables makeSjisTables()
{
    SjisTables t{};
    for (unsigned b = 0; b < 256; ++b) {
        const auto c = static_cast<unsigned char>(b);
        t.first[b] = sjis::isLeadByte(c) ? 2 : c < 0x80 || (c >= 0xA1 && c <= 0xDF) ? 1 : 0;
        t.second[b] = sjis::isTrailByte(c);
    }
    return t;
}

constexpr SjisTables kSjisTables = makeSjisTables();

// The length of the character that starts at s[i], or 0 when none does.
std::size_t sjisLength(const unsigned char* s, std::size_t i, std::size_t n)
{
    const unsigned char length = kSjisTables.first[s[i]];
    if (length == 2)
        return i + 1 < n && kSjisTables.second[s[i + 1]] ? 2 : 0;
    return length;
}

std::size_t eucLength(const unsigned char* s, std::size_t i, std::size_t n)
{
    if (isEucByte(s[i]))
        return i + 1 < n && isEucByte(s[i + 1]) ? 2 : 0;
    if (s[i] == 0x8E) // half-width katakana
        return i + 1 < n && s[i + 1] >= 0xA1 && s[i + 1] <= 0xDF ? 2 : 0;
    if (s[i] == 0x8F) // JIS X 0212
        return i + 2 < n && isEucByte(s[i + 1]) && isEucByte(s[i + 2]) ? 3 : 0;
    return 0;
}

std::size_t utf8Length(std::string_view bytes, std::size_t i)
{
    const utf8::Step step = utf8::decode(bytes, i);
    return step.valid() ? step.length : 0;
}

// The encoding the detector names, if it is one of the three.
std::optional<Encoding> detectedEncoding(std::string_view bytes)
{
    const std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(), &uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0)
        return std::nullopt;
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    if (name == nullptr)
        return std::nullopt;
    if (strcasecmp(name, "SHIFT_JIS") == 0)
        return Encoding::shiftJis;
    if (strcasecmp(name, "EUC-JP") == 0)
        return Encoding::eucJp;
    if (strcasecmp(name, "UTF-8") == 0)
        return Encoding::utf8;
    return std::nullopt;
}

} // namespace

std::optional<std::size_t> multiByteCharacters(std::string_view bytes, Encoding encoding)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    // One loop for each encoding, so that the one that runs has no choice to make per character.
    const auto count = [&](auto lengthAt) -> std::optional<std::size_t> {
        std::size_t found = 0;
        for (std::size_t i = 0; i < n;) {
            if (s[i] < 0x80) {
                i = pastAscii(s, i + 1, n);
                continue;
            }
            const std::size_t length = lengthAt(i);
            if (length == 0)
                return std::nullopt;
            found += length > 1 ? 1 : 0;
            i += length;
        }
        return found;
    };
    switch (encoding) {
    case Encoding::shiftJis: return count([&](std::size_t i) { return sjisLength(s, i, n); });
    case Encoding::eucJp: return count([&](std::size_t i) { return eucLength(s, i, n); });
    case Encoding::utf8: return count([&](std::size_t i) { return utf8Length(bytes, i); });
    }
    return std::nullopt;
}

Encoding encodingByContent(std::string_view bytes, Encoding declared)
{
    if (isWellFormed(bytes, declared))
        return declared;
    const std::optional<Encoding> found = detectedEncoding(bytes);
    return found && *found != declared && isWellFormed(bytes, *found) ? *found : declared;
}

} // namespace kven
