#include "pzconv/PzConv.h"

namespace kven {

namespace {

constexpr unsigned char kSingleShift2 = 0x8E; // SS2: a half-width katakana byte follows

// Writes the Shift_JIS form of a row/cell pair whose row is known to be 0x21..0x7E.
// All sums are taken modulo 256.
inline void writeSjisPair(unsigned char row, unsigned char cell, char* out)
{
    unsigned char second;
    if (row & 1)
        second = static_cast<unsigned char>(cell + (cell < 0x60 ? 0x1F : 0x20));
    else
        second = static_cast<unsigned char>(cell + 0x7E);
    const auto first = static_cast<unsigned char>(((row + 1) >> 1) + (row < 0x5F ? 0x70 : 0xB0));
    out[0] = static_cast<char>(first);
    out[1] = static_cast<char>(second);
}

} // namespace

std::string TPzConv::JisToSjis(unsigned char row, unsigned char cell) const
{
    if (row < 0x21 || row > 0x7E)
        return {};
    std::string out(2, '\0');
    writeSjisPair(row, cell, out.data());
    return out;
}

std::string TPzConv::EucToSjis(std::string_view source) const
{
    // Every rule writes at most as many bytes as it reads, so the result fits in the
    // source's length and is written in place.
    std::string result(source.size(), '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(source.data());
    const std::size_t n = source.size();
    char* out = result.data();
    std::size_t w = 0;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            out[w++] = static_cast<char>(b);
            ++i;
        } else if (IsEucLead(b)) {
            if (i + 1 >= n)
                break; // a lone first byte at the end: nothing to pair it with
            writeSjisPair(static_cast<unsigned char>(b - 0x80), static_cast<unsigned char>(in[i + 1] - 0x80), out + w);
            w += 2;
            i += 2;
        } else if (b == kSingleShift2 && i + 1 < n && IsEucKanaTrail(in[i + 1])) {
            out[w++] = static_cast<char>(in[i + 1]);
            i += 2;
        } else {
            out[w++] = static_cast<char>(b);
            ++i;
        }
    }
    result.resize(w);
    return result;
}

} // namespace kven
