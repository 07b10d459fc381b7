#include "cli/DumpEngine.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

// One dump line per utterance: a CR or LF inside the text must not break the line.
TEST(DumpLine, OffsetTabTextWithCrAndLfEscaped)
{
    const struct {
        std::size_t offset;
        std::u16string text;
        std::string line;
    } rows[] = {
        {0, u"あ", "0\tあ\n"},       {123, u"a\r\nb", "123\ta\\r\\nb\n"},
        {7, u"\r", "7\t\\r\n"},      {8, u"\n\n", "8\t\\n\\n\n"},
        {9, u"\\r", "9\t\\r\n"}, // a backslash stays as it is
        {10, u"\t\v", "10\t\t\v\n"}, {11, u"", "11\t\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DumpEngine::dumpLine(row.offset, row.text), row.line);
}

} // namespace
} // namespace kven
