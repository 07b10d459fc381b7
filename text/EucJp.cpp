#include "text/EucJp.h"

#include <cstdint>
#include <cstring>

namespace kven {

namespace {

constexpr unsigned char kSingleShift2 = 0x8E; // SS2: a half-width katakana byte follows

// Shift_JIS bytes of a JIS X 0208 pair, all sums modulo 256. The first byte depends on the row
// only; the second on the row's parity and the cell.
constexpr unsigned char sjisFirst(unsigned row)
{
    return static_cast<unsigned char>(((row + 1) >> 1) + (row < 0x5F ? 0x70 : 0xB0));
}
constexpr unsigned char sjisSecond(unsigned row, unsigned cell)
{
    if (row & 1)
        return static_cast<unsigned char>(cell + (cell < 0x60 ? 0x1F : 0x20));
    return static_cast<unsigned char>(cell + 0x7E);
}

// The same by table, indexed by the EUC-JP bytes (row and cell + 0x80), so that the hot loop
// has no branch that depends on the character.
struct PairTables {
    unsigned char first[256];
    unsigned char second[2][256]; // [row parity][cell byte]
};

constexpr PairTables makePairTables()
{
    PairTables t{};
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned v = (b - 0x80) & 0xFF;
        t.first[b] = sjisFirst(v);
        t.second[0][b] = sjisSecond(0x22, v);
        t.second[1][b] = sjisSecond(0x21, v);
    }
    return t;
}

constexpr PairTables kPairTables = makePairTables();

} // namespace

std::string EucJp::jisToSjis(unsigned char row, unsigned char cell) const
{
    if (row < 0x21 || row > 0x7E)
        return {};
    return {static_cast<char>(sjisFirst(row)), static_cast<char>(sjisSecond(row, cell))};
}

std::string EucJp::toSjis(std::string_view source) const
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
            // Runs of ASCII (markup, Latin text, line breaks) are copied eight bytes at a time.
            out[w++] = static_cast<char>(b);
            ++i;
            while (i + 8 <= n) {
                std::uint64_t word;
                std::memcpy(&word, in + i, 8);
                if (word & 0x8080808080808080u)
                    break;
                std::memcpy(out + w, &word, 8);
                i += 8;
                w += 8;
            }
        } else if (isLead(b)) {
            if (i + 1 >= n)
                break; // a lone first byte at the end: nothing to pair it with
            out[w] = static_cast<char>(kPairTables.first[b]);
            out[w + 1] = static_cast<char>(kPairTables.second[b & 1][in[i + 1]]);
            w += 2;
            i += 2;
        } else if (b == kSingleShift2 && i + 1 < n && isKanaTrail(in[i + 1])) {
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
