// The page conversion on arbitrary bytes must end and yield some text, the same whether or not the ruby
// bases and heading ends are asked for; every base located in it must stand before its "《",
// and the heading ends must rise within it. The one-pass block deletion must also agree with
// deleting by searching afresh from the start in any letter case (on small inputs, since that is
// quadratic). Arbitrary bytes are mostly not well-formed in the encoding the page declares, so
// the detection of the encoding by content runs on nearly every input, for the page and for the
// same bytes taken as plain text.

#include "intake/Intake.h"
#include "intake/PageConversion.h"
#include "text/Encodings.h"
#include "text/RubyBases.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// Letters are folded on a copy for the search; lower case letters are no lead bytes, and
// neither are upper case ones, so the copy has the same character starts.
void deleteBlocksByRescanning(std::string& text, std::string_view opening, std::string_view closing)
{
    std::string folded = text;
    for (char& c : folded)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (;;) {
        const std::size_t o = kven::findOffset(folded, opening);
        if (o == kven::npos)
            return;
        std::size_t c = kven::npos;
        for (std::size_t i = 0; i < folded.size(); i += kven::sjis::isLeadByte(folded[i]) ? 2 : 1)
            if (i > o && folded.compare(i, closing.size(), closing) == 0) {
                c = i;
                break;
            }
        if (c == kven::npos)
            return;
        text.erase(o, c + closing.size() - o);
        folded.erase(o, c + closing.size() - o);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string page(reinterpret_cast<const char*>(data), size);
    const kven::EucJp conv;

    std::string text = page;
    kven::convertPage(text, conv);

    std::string withBases = page;
    std::vector<std::string> bases;
    std::vector<std::size_t> ends;
    kven::convertPage(withBases, conv, &bases, &ends);
    if (withBases != text)
        std::abort();
    for (std::size_t i = 0; i < ends.size(); ++i)
        if (ends[i] > text.size() || (i > 0 && ends[i] < ends[i - 1]))
            std::abort();
    // Block line ends move the heading ends with the text.
    std::string blocks = page;
    std::vector<std::size_t> blockEnds;
    kven::convertPage(blocks, conv, nullptr, &blockEnds, {.blockLines = true});
    for (std::size_t i = 0; i < blockEnds.size(); ++i)
        if (blockEnds[i] > blocks.size() || (i > 0 && blockEnds[i] < blockEnds[i - 1]))
            std::abort();
    const std::vector<kven::RubyBase> located = kven::locateRubyBases(text, bases);
    if (located.size() > bases.size() || kven::rubyBaseStarts(text, 0, text.size(), located).size() != located.size())
        std::abort();

    // Plain text that is well-formed Shift_JIS, and not UTF-8 by its byte-order mark or its
    // multi-byte sequences, is read as it is.
    const std::string plain = kven::plainTextToSjis(page, conv);
    if (kven::isWellFormed(page, kven::Encoding::shiftJis) && !kven::isMultiByteUtf8(page) &&
        !page.starts_with("\xef\xbb\xbf") && plain != page)
        std::abort();

    if (size <= 4096) {
        for (const auto& [opening, closing] : {std::pair{"<script", "</script>"}, std::pair{"<style", "</style>"}}) {
            std::string fast = page;
            std::string slow = page;
            kven::detail::deleteBlocks(fast, opening, closing);
            deleteBlocksByRescanning(slow, opening, closing);
            if (fast != slow)
                std::abort();
        }
    }
    return 0;
}
