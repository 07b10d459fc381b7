#pragma once
// Where the ruby bases of a converted page begin. A page marks each base with its ruby
// markup; once the markup is converted to "base《reading》" only the "《" is left to show
// where a base ends, and where it begins is lost. Loading keeps it here, beside the text,
// so that the text itself stays exactly as converted.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

struct RubyBase {
    std::size_t open = 0; // offset of the "《" after the base
    std::string base;     // the base as the text holds it, possibly empty
};

// The ruby bases of `sjis` for `bases`, the converted bases of a page's ruby markup in page
// order: each is found as the text right before a "《", taking the "《"s in order. A "《" that
// is no ruby's is passed over, and so is a base that is not found (the next one is tried on
// the same "《"). Ordered by `open`.
std::vector<RubyBase> locateRubyBases(std::string_view sjis, const std::vector<std::string>& bases);

// The starts of the bases of `known` that lie whole in sjis[from, to) and still stand there:
// the base's bytes right before its "《", as when it was located. An edited text thus loses
// only the bases it moved. Ascending.
std::vector<std::size_t> rubyBaseStarts(std::string_view sjis, std::size_t from, std::size_t to,
                                        std::span<const RubyBase> known);

} // namespace kven
