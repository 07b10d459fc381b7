// The figures of kven-read's progress line during a WAV export.

#include "export/ExportProgress.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

TEST(ExportProgress, TheShareWrittenTheTimeSoFarAndTheTimeLeft)
{
    const struct {
        const char* why;
        std::size_t from, size;
        std::vector<std::size_t> ends; // the cursor at each end-of-stream event
        std::size_t written;
        double elapsed;
        const char* line;
    } rows[] = {
        {"nothing written yet: no estimate", 0, 1000, {250, 500}, 0, 3, "\r  0.0%  elapsed 0:03  left ?   "},
        {"the first utterance ends a quarter in", 0, 1000, {250, 500}, 1, 10, "\r 25.0%  elapsed 0:10  left 0:30   "},
        // The reading step runs ahead of the file: only what is written counts.
        {"two of three ended are written", 0, 1000, {250, 500, 1000}, 2, 20, "\r 50.0%  elapsed 0:20  left 0:20   "},
        // The file can be ahead of the events that the event loop has delivered.
        {"written beyond the events seen", 0, 1000, {250}, 3, 10, "\r 25.0%  elapsed 0:10  left 0:30   "},
        {"reading from an offset counts from there",
         200,
         1200,
         {450, 700},
         1,
         5,
         "\r 25.0%  elapsed 0:05  left 0:15   "},
        {"the end", 200, 1200, {450, 1200}, 2, 59.5, "\r100.0%  elapsed 1:00  left 0:00   "},
        {"a second short of an hour, minutes", 0, 1000, {}, 0, 3599, "\r  0.0%  elapsed 59:59  left ?   "},
        {"exactly an hour, hours", 0, 1000, {}, 0, 3600, "\r  0.0%  elapsed 1:00:00  left ?   "},
        {"from an hour on, hours", 0, 1000, {500}, 1, 3700, "\r 50.0%  elapsed 1:01:40  left 1:01:40   "},
        {"an offset past the end", 5000, 1000, {}, 0, 1, "\r  0.0%  elapsed 0:01  left ?   "},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        ExportProgress progress(r.from, r.size);
        for (const std::size_t cursor : r.ends)
            progress.utteranceEnded(cursor);
        EXPECT_EQ(progress.line(r.written, r.elapsed), r.line);
    }
    EXPECT_EQ(ExportProgress::endLine(4000.4, 62), "\r100.0%  1:06:40 of speech written in 1:02          \n");
}

} // namespace
} // namespace kven
