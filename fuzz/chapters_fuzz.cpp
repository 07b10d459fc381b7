// The chapters of arbitrary Shift_JIS bytes with arbitrary heading marks and ends: the first
// starts at 0, they follow each other inside the text, and every offset falls into the chapter
// that starts last at or before it.

#include "fuzz/FuzzSupport.h"
#include "intake/Chapters.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using kven::fuzzing::check;
    FuzzedDataProvider input(data, size);
    std::vector<std::size_t> marks(input.ConsumeIntegralInRange<std::size_t>(0, 8));
    std::vector<std::size_t> ends(input.ConsumeIntegralInRange<std::size_t>(0, 8));
    for (std::size_t& end : ends)
        end = input.ConsumeIntegral<std::uint16_t>();
    const std::string text = input.ConsumeRemainingBytesAsString();
    for (std::size_t& mark : marks)
        mark = text.empty() ? 0 : static_cast<std::size_t>(data[0] * 31u + mark * 7919u) % text.size();
    std::sort(marks.begin(), marks.end());
    marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
    // Past the end of the text too, as after an edit.
    std::sort(ends.begin(), ends.end());

    const std::vector<kven::Chapter> chapters = kven::findChapters(text, marks, ends, "書名");
    check(!chapters.empty() && chapters.front().offset == 0, "the first chapter starts the text");
    for (std::size_t i = 1; i < chapters.size(); ++i)
        check(chapters[i - 1].offset < chapters[i].offset && chapters[i].offset < text.size(),
              "chapters follow each other inside the text");
    for (std::size_t i = 0; i < chapters.size(); ++i)
        check(kven::chapterAt(chapters, chapters[i].offset) == i, "a chapter's start belongs to it");
    (void)kven::documentInfo(text, "/x/a.txt");
    return 0;
}
