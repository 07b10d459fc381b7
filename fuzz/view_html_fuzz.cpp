// The reading view's page of arbitrary Shift_JIS text: written section by section it is the
// page written at once, and its spans stand for places of the text that rise, do not overlap
// and lie within it, each plain character for as many bytes as its span says.

#include "reading/ViewHtml.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::size_t number(std::string_view text, std::size_t at)
{
    std::size_t n = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        n = n * 10 + static_cast<std::size_t>(text[at++] - '0');
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    kven::ViewHtmlWriter whole({text, {}, {}});
    const std::string page = whole.lines(0, text.size());

    const std::vector<std::size_t> sections = kven::viewSections(text, 64);
    kven::ViewHtmlWriter bySection({text, {}, {}});
    std::string joined;
    for (std::size_t i = 0; i < sections.size(); ++i)
        joined += bySection.lines(sections[i], i + 1 < sections.size() ? sections[i + 1] : text.size());
    if (joined != page)
        std::abort();

    std::size_t next = 0; // the first offset a later span may stand for
    for (std::size_t at = page.find("<span o="); at != std::string::npos; at = page.find("<span o=", at + 1)) {
        const std::size_t tagEnd = page.find('>', at);
        const std::string_view tag(page.data() + at, tagEnd - at);
        const std::size_t offset = number(tag, 8);
        std::size_t bytes = 0;
        if (const std::size_t unit = tag.find(" u="); unit != std::string_view::npos) {
            bytes = number(tag, unit + 3);
        } else {
            const std::size_t width = tag.find(" w=1") != std::string_view::npos ? 1 : 2;
            const std::size_t close = page.find('<', tagEnd);
            for (std::size_t i = tagEnd + 1; i < close; ++i) {
                const auto c = static_cast<unsigned char>(page[i]);
                if ((c & 0xC0) != 0x80)
                    bytes += width;
                if (c == '&') // an entity stands for one character
                    i = page.find(';', i);
            }
        }
        if (offset < next || bytes == 0 || offset + bytes > text.size())
            std::abort();
        next = offset + bytes;
    }
    return 0;
}
