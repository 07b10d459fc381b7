#include "cli/DumpEngine.h"

#include "text/Cp932.h"

namespace kven {

DumpEngine::DumpEngine(EventPoster& loop, const Session& session, std::FILE* out)
    : NullEngine(loop), session_(session), out_(out)
{
}

std::string DumpEngine::dumpLine(std::size_t offset, std::u16string_view text)
{
    std::string line = std::to_string(offset);
    line.push_back('\t');
    for (const char c : cp932::wideToUtf8(text)) {
        if (c == '\r')
            line.append("\\r");
        else if (c == '\n')
            line.append("\\n");
        else
            line.push_back(c);
    }
    line.push_back('\n');
    return line;
}

void DumpEngine::doSpeak(std::u16string_view text, int, int streamNumber)
{
    // The reading step selects the chunk before it speaks and moves the cursor only after.
    const std::string line = dumpLine(session_.selStart(), text);
    if (std::fwrite(line.data(), 1, line.size(), out_) != line.size())
        throw KvenError("cannot write to standard output");
    endStream(streamNumber);
}

} // namespace kven
