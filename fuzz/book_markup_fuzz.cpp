// The markup passes of a book's content documents on arbitrary Shift_JIS markup: markup without
// ruby comes out of the ruby pass unchanged; anchors put in and taken out again leave the markup
// as it was without them, each where its element's tag begins, and keep marks rising and within
// the text; the block breaks only add line breaks.

#include "intake/BookMarkup.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view markup(reinterpret_cast<const char*>(data), size);
    std::string folded(markup);
    for (char& c : folded)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    const std::string ruby = kven::rubyToNotation(markup);
    if (folded.find("<ruby") == std::string::npos && ruby != markup)
        std::abort();

    if (markup.find_first_of("\r\n") == std::string_view::npos) {
        std::string broken = kven::withBlockBreaks(markup);
        std::string joined;
        for (const char c : broken)
            if (c != '\r' && c != '\n')
                joined += c;
        if (joined != markup)
            std::abort();
    }

    const std::string bare = kven::withAnchors(markup, {});
    std::vector<std::string> ids;
    for (std::size_t p = markup.find("id=\""); p != std::string_view::npos && ids.size() < 4;
         p = markup.find("id=\"", p + 1)) {
        const std::size_t close = markup.find('"', p + 4);
        if (close == std::string_view::npos)
            break;
        ids.emplace_back(markup.substr(p + 4, close - (p + 4)));
    }
    std::string anchored = kven::withAnchors(markup, ids);
    std::vector<std::size_t> marks;
    for (std::size_t m = 0; m < anchored.size(); m += 7)
        marks.push_back(m);
    const std::vector<std::size_t> found = kven::takeAnchors(anchored, ids.size(), marks);
    if (anchored != bare || found.size() != ids.size())
        std::abort();
    for (const std::size_t at : found)
        if (at != std::string::npos && (at >= bare.size() || bare[at] != '<'))
            std::abort();
    for (std::size_t i = 0; i < marks.size(); ++i)
        if (marks[i] > bare.size() || (i > 0 && marks[i] < marks[i - 1]))
            std::abort();
    return 0;
}
