// The reading filter on arbitrary bytes: chunks always make progress and stay inside the
// text, and the spoken text holds whole characters only, at most 1024 bytes.

#include "reading/ChunkFilter.h"
#include "text/Sjis.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte chooses the options; the rest is the document.
    const std::uint8_t flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    static const std::vector<std::string> skipList = {"\x82\xa0", "", "x"};
    kven::FilterOptions options;
    options.aozoraRuby = (flags & 1) != 0;
    options.aaSkip = (flags & 2) != 0;
    options.unreadLimit = (flags >> 2) % 11;
    options.blankLimit = (flags >> 4) % 11;
    options.skipList = &skipList;
    options.talkSymbols = "\x81\x41\x81\x42\r\n";

    std::size_t cursor = 0;
    while (cursor < text.size()) {
        const std::size_t len = kven::chunkLength(text.substr(cursor));
        if (len == 0 || len > text.size() - cursor)
            std::abort();
        const std::string spoken = kven::spokenText(text.substr(cursor, len), options);
        if (spoken.size() > 1024)
            std::abort();
        cursor += len;
    }
    return 0;
}
