// The look-ahead of the reading step: it names exactly what the next step says, and changes
// nothing while doing so.

#include "reading/SessionFilter.h"
#include "support/ReadingRig.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

using testing::ReadingRig;
using testing::sj;
using testing::u8;

TEST(LookAhead, NamesWhatTheNextStepSaysThroughSkipsAndRepeats)
{
    ReadingRig rig;
    rig.engine.prepares = true;
    rig.session.setSkipList({sj("広告")});
    // Skipped chunks (skip list, blank, only marks, a repeat) between spoken ones, a ruby
    // reading, a long line cut at its first comma, and a last chunk without a line break.
    rig.setText("一つ目。\r\n広告です\r\n\r\n、、。\r\n一つ目。\r\n二つ目《ふたつめ》\r\n"
                "これはとても長い行で、二百六十バイトを超えるまで続きます。これはとても長い行で、"
                "二百六十バイトを超えるまで続きます。これはとても長い行で、二百六十バイトを超えるまで続きます。"
                "これはとても長い行で\r\n最後");
    // Connected, as at window creation: hints before the first connection are ignored.
    rig.engine.setEventInterests(kAllEvents);
    rig.engine.calls.clear();
    const auto said = rig.readAll();
    ASSERT_GE(said.size(), 4u);
    // Each utterance is announced before its pause, and after it is handed over, the
    // utterance that follows it is announced; after the last, nothing.
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < said.size(); ++i) {
        expected.push_back("Prepare " + said[i]);
        expected.push_back("Speak " + said[i]);
        if (i + 1 < said.size())
            expected.push_back("Prepare " + said[i + 1]);
    }
    EXPECT_EQ(rig.engine.calls, expected);
}

TEST(LookAhead, ChangesNothing)
{
    ReadingRig rig;
    rig.setText("あ。\r\nい。\r\n");
    rig.session.setSelStart(5);
    rig.session.setSelLength(3);
    rig.session.setLastSpoken(sj("い。"));
    const std::string text = rig.session.text();
    SessionFilter filter(rig.session);

    // Repeat suppression passes over the chunk equal to the last spoken text.
    EXPECT_EQ(u8(nextUtterance(rig.session, filter.options())), "");
    rig.session.setOption(&ReadingOptions::repeatSuppression, false);
    EXPECT_EQ(u8(nextUtterance(rig.session, filter.options())), "い。");
    EXPECT_EQ(rig.session.selStart(), 5u);
    EXPECT_EQ(rig.session.selLength(), 3u);
    EXPECT_EQ(u8(rig.session.lastSpoken()), "い。");
    EXPECT_EQ(rig.session.text(), text);
}

TEST(LookAhead, EnginesWithoutIt)
{
    // The reading step spends nothing on a look-ahead the engine does not want.
    ReadingRig rig;
    rig.setText("あ。\r\nい。\r\n");
    rig.readAll();
    for (const auto& call : rig.engine.calls)
        EXPECT_EQ(call.rfind("Prepare", 0), std::string::npos) << call;
}

} // namespace
} // namespace kven
