// Finding the voices: which files, in which order, under which names.

#include "speech/OpenJTalk.h"
#include "support/ScratchFolder.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

std::vector<std::string> names(const std::vector<std::shared_ptr<const OpenJTalkVoice>>& voices)
{
    std::vector<std::string> out;
    for (const auto& v : voices)
        out.push_back(cp932::wideToUtf8(v->description(0)));
    return out;
}

TEST(VoiceDescription, ReadableNamesFromFileNames)
{
    EXPECT_EQ(voiceDescription("mei_normal"), "mei (normal)");
    EXPECT_EQ(voiceDescription("nitech_jp_atr503_m001"), "nitech m001");
    EXPECT_EQ(voiceDescription("tohoku-f01-neutral"), "tohoku neutral");
    EXPECT_EQ(voiceDescription("takumi"), "takumi");
    EXPECT_EQ(voiceDescription("__"), "__") << "nothing readable: the name as it is";
}

TEST(FindVoices, MeiNormalFirstThenByNameAcrossFoldersAndSubfolders)
{
    testing::ScratchFolder a, b;
    a.write("x/zeta.htsvoice", "");
    a.write("mei/mei_sad.htsvoice", "");
    a.write("mei/README.txt", "");
    b.write("mei_normal.htsvoice", "");
    b.write("alpha_beta.htsvoice", "");
    b.write("not-a-voice.htsvoice.bak", "");
    const auto voices = findVoices({a.path(), b.path(), a.path("missing")});
    EXPECT_EQ(names(voices), (std::vector<std::string>{"mei (normal)", "alpha (beta)", "mei (sad)", "zeta"}));
    EXPECT_EQ(voices[0]->path(), b.path("mei_normal.htsvoice"));
}

TEST(FindVoices, TheSameVoiceInTwoFoldersIsListedOnceFromTheFirst)
{
    testing::ScratchFolder project, system;
    project.write("mei/mei_normal.htsvoice", "");
    system.write("mei_normal.htsvoice", "");
    system.write("other.htsvoice", "");
    const auto voices = findVoices({project.path(), system.path()});
    ASSERT_EQ(names(voices), (std::vector<std::string>{"mei (normal)", "other"}));
    EXPECT_EQ(voices[0]->path(), project.path("mei/mei_normal.htsvoice"));
}

TEST(FindVoices, NoneIsAnErrorNamingEveryFolder)
{
    testing::ScratchFolder empty;
    empty.write("voice.txt", "");
    try {
        findVoices({empty.path(), "/no/such/folder"});
        FAIL() << "no voice must be an error";
    } catch (const KvenError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(empty.path()), std::string::npos) << message;
        EXPECT_NE(message.find("/no/such/folder"), std::string::npos) << message;
    }
}

} // namespace
} // namespace kven
