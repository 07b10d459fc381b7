#pragma once
// EUC-JP to Shift_JIS (code page 932) conversion. Stateless and byte-oriented: it knows no
// escape sequences, rejects nothing and never fails.

#include <cstdint>
#include <string>
#include <string_view>

namespace kven {

class EucJp {
public:
    // Every EUC-JP pair becomes its two-byte Shift_JIS form (its second byte taken whatever
    // its value), 0x8E with a katakana byte becomes that one byte, every other byte is copied.
    // A first byte of a pair that is the last byte of the source has nothing to pair with and
    // is dropped, so the result is never longer than the source.
    std::string toSjis(std::string_view source) const;

    // One JIS X 0208 row/cell pair to Shift_JIS; empty when the row is outside 0x21..0x7E.
    // The cell is not range-checked.
    std::string jisToSjis(unsigned char row, unsigned char cell) const;

    // First byte of an EUC-JP pair: 0xA1..0xFE.
    bool isLead(unsigned char b) const { return b >= 0xA1 && b <= 0xFE; }
    // Byte that may follow the single shift 0x8E: 0xA1..0xDF.
    bool isKanaTrail(unsigned char b) const { return b >= 0xA1 && b <= 0xDF; }
};

} // namespace kven
