#pragma once
// One step of UTF-8 decoding, shared by every decoder of the program: each caller decides on
// top of it how strict to be with what the step reports.

#include <cstddef>
#include <string_view>

namespace kven::utf8 {

enum class Status {
    ok,
    overlong,      // a longer form than the code point needs
    surrogate,     // U+D800..U+DFFF
    beyondUnicode, // above U+10FFFF
    malformed,     // no lead byte here, a missing continuation byte, or cut off by the end
};

struct Step {
    char32_t codePoint = 0; // meaningful unless malformed
    std::size_t length = 1; // bytes of the sequence's form; 1 when malformed
    Status status = Status::ok;

    bool valid() const { return status == Status::ok; }
};

// Decodes the sequence at `pos` (< text.size()). The form is set by the lead byte: 00..7F one
// byte, C0..DF two, E0..EF three, F0..F7 four; a continuation byte or F8..FF is malformed, and
// so is a sequence whose continuation bytes are not all there.
constexpr Step decode(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80)
        return {lead, 1, Status::ok};
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead >= 0xC0 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
        length = 4;
        cp = lead & 0x07u;
        least = 0x10000;
    } else {
        return {0, 1, Status::malformed};
    }
    if (text.size() - pos < length)
        return {0, 1, Status::malformed};
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[pos + k]);
        if ((b & 0xC0u) != 0x80u)
            return {0, 1, Status::malformed};
        cp = (cp << 6) | (b & 0x3Fu);
    }
    Status status = Status::ok;
    if (cp < least)
        status = Status::overlong;
    else if (cp >= 0xD800 && cp <= 0xDFFF)
        status = Status::surrogate;
    else if (cp > 0x10FFFF)
        status = Status::beyondUnicode;
    return {cp, length, status};
}

// Whether `byte` goes on a sequence begun before it (10xxxxxx).
constexpr bool isContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

// The characters of valid UTF-8: every byte that goes on no sequence begins one.
constexpr std::size_t characterCount(std::string_view text)
{
    std::size_t count = 0;
    for (const char byte : text)
        count += isContinuation(byte) ? 0 : 1;
    return count;
}

// True when all of `text` is valid UTF-8.
constexpr bool isValid(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const Step step = decode(text, i);
        if (!step.valid())
            return false;
        i += step.length;
    }
    return true;
}

} // namespace kven::utf8
