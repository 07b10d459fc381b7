#pragma once
// An English word said the way Japanese writes a loan word: its pronunciation (the phone set
// of the CMU pronouncing dictionary, one stress mark per syllable) turned into katakana, with
// the spelling as a hint for the vowels the pronunciation leaves vague.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kven {

// The vowels first, aa to uw; then the consonants.
enum class Phone : std::uint8_t {
    aa,
    ae,
    ah,
    ao,
    aw,
    ax,
    ay,
    eh,
    er,
    ey,
    ih,
    iy,
    ow,
    oy,
    uh,
    uw,
    b,
    ch,
    d,
    dh,
    f,
    g,
    hh,
    jh,
    k,
    l,
    m,
    n,
    ng,
    p,
    r,
    s,
    sh,
    t,
    th,
    v,
    w,
    y,
    z,
    zh
};

// The phone named `name` ("aa", "sh"...); nothing for a name outside the set.
std::optional<Phone> phoneNamed(std::string_view name);

struct Sound {
    Phone phone;
    bool stressed = false; // the syllable that holds it carries the stress
};

// The katakana (Shift_JIS) for `sounds`, the pronunciation of `spelling` (lower-case ASCII).
// Empty when `sounds` is.
std::string loanKana(std::string_view spelling, std::span<const Sound> sounds);

} // namespace kven
