// The bookmark lookup and writer on an arbitrary bookmark file and document path: the writer
// keeps every other document's line, in order, and puts the document's own line last, and a
// lookup after it finds the cursor that was written (a path with a line break gets no bookmark
// at all).

#include "files/Errors.h"
#include "files/Paths.h"
#include "fuzz/FuzzSupport.h"
#include "intake/Bookmarks.h"
#include "state/Session.h"
#include "text/Cp932.h"
#include "text/TextOps.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using kven::fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool fileExists = input.ConsumeBool();
    const std::string documentPath = kven::cp932::fromUtf8(input.ConsumeRandomLengthString(80));
    const std::size_t cursor = input.ConsumeIntegral<std::uint16_t>();
    const std::string before = fileExists ? input.ConsumeRemainingBytesAsString() : std::string();

    const kven::fuzzing::ScratchFolder& scratch = kven::fuzzing::scratch();
    const std::string file = scratch.path("KVEN.txt");
    if (fileExists)
        scratch.write("KVEN.txt", before);
    else
        std::filesystem::remove(file);

    kven::Session session;
    kven::Document document;
    document.path = documentPath;
    document.text.assign(std::size_t{1} << 16, 'x');
    session.load(std::move(document));
    kven::Bookmarks bookmarks(session, file);
    // A path with a line break is not looked up at all.
    const bool lineBreak = session.document().path.find_first_of("\r\n") != std::string::npos;
    try {
        bookmarks.lookup();
        check(fileExists || lineBreak, "a missing file is reported");
    } catch (const kven::KvenError&) {
        check(!fileExists, "a readable file is read");
    }

    session.setSelStart(cursor);
    try {
        bookmarks.recordPosition();
    } catch (const kven::KvenError& e) {
        kven::fuzzing::fail(e.what());
    }
    const std::string& path = session.document().path;
    if (path.empty() || kven::contains(path, kven::kTemporaryInternetFiles) ||
        path.find_first_of("\r\n") != std::string::npos) {
        check(std::filesystem::exists(file) == fileExists && (!fileExists || scratch.read("KVEN.txt") == before),
              "no bookmark is written without a path, for the browser cache or for a path with a line break");
        return 0;
    }

    // Only the document's own line goes: its path, ",", and a position with no further comma.
    const auto own = [&path](const std::string& line) {
        return line.size() > path.size() && line.starts_with(path) && line[path.size()] == ',' &&
               line.find(',', path.size() + 1) == std::string::npos;
    };
    std::vector<std::string> expected;
    for (std::string& line : kven::splitLines(before))
        if (!own(line))
            expected.push_back(std::move(line));
    expected.push_back(path + "," + std::to_string(cursor));
    check(scratch.read("KVEN.txt") == kven::joinLinesCrLf(expected),
          "the writer keeps the other lines and puts the document's line last");

    session.setSelStart(0);
    bookmarks.lookup();
    check(session.selStart() == cursor, "the written cursor is found again");
    return 0;
}
