// The synthesizer's input limits: what reaches it is one line of at most 250 characters, never
// empty, never blank, and a speed it accepts.

#include "speech/SynthesisText.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace kven {
namespace {

std::size_t chars(const std::string& utf8)
{
    return cp932::utf8ToWide(utf8).size();
}

std::string joined(const std::vector<std::string>& pieces)
{
    std::string all;
    for (const auto& p : pieces)
        all += p;
    return all;
}

TEST(SynthesisPieces, NothingToSayGivesNoPiece)
{
    // The synthesizer makes random sound of an empty line: such an utterance must not reach it.
    EXPECT_TRUE(synthesisPieces(u"").empty());
    EXPECT_TRUE(synthesisPieces(u" \u3000\r\n\t").empty());
    EXPECT_TRUE(synthesisPieces(u"\U0001F600\U0001F600").empty()) << "only characters above U+FFFF";
}

TEST(SynthesisPieces, ControlCharactersBecomeBlanksAndWideCharactersGo)
{
    // A line break would end the line the synthesizer reads, and the rest would be lost.
    EXPECT_EQ(synthesisPieces(u"一行目\r\n二行目\x0b終わり"), std::vector<std::string>{"一行目  二行目 終わり"});
    EXPECT_EQ(synthesisPieces(u"猫\U0001F408です"), std::vector<std::string>{"猫です"});
    // Unpaired surrogates are not characters either.
    const std::u16string lone = {u'あ', char16_t(0xD800), u'い', char16_t(0xDC00)};
    EXPECT_EQ(synthesisPieces(lone), std::vector<std::string>{"あい"});
}

TEST(SynthesisPieces, ThePieceLimitOnBothSides)
{
    const std::u16string exact(kMaxPieceChars, u'あ');
    ASSERT_EQ(synthesisPieces(exact).size(), 1u);
    EXPECT_EQ(chars(synthesisPieces(exact)[0]), kMaxPieceChars);
    // No break character: a hard cut at the limit.
    const auto over = synthesisPieces(exact + u"い");
    ASSERT_EQ(over.size(), 2u);
    EXPECT_EQ(chars(over[0]), kMaxPieceChars);
    EXPECT_EQ(over[1], "い");
}

TEST(SynthesisPieces, CutsAfterTheLastBreakThatFits)
{
    for (const char16_t mark : {u'、', u'。', u';', u'；', u' ', u'\u3000'}) {
        SCOPED_TRACE(static_cast<int>(mark));
        // The mark as the 250th character, and the mark as the 251st (beyond reach).
        std::u16string fits = std::u16string(kMaxPieceChars - 1, u'あ') + mark + u"いう";
        auto pieces = synthesisPieces(fits);
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(chars(pieces[0]), kMaxPieceChars);
        EXPECT_EQ(pieces[1], "いう");

        std::u16string beyond = u"か" + std::u16string(kMaxPieceChars - 1, u'あ') + mark + u"い";
        pieces = synthesisPieces(beyond);
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(chars(pieces[0]), kMaxPieceChars) << "hard cut: the mark was one too far";
    }
    // An earlier mark is taken over a hard cut, and nothing is lost or repeated.
    std::u16string text = std::u16string(100, u'あ') + u"、" + std::u16string(200, u'い');
    const auto pieces = synthesisPieces(text);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(chars(pieces[0]), 101u);
    EXPECT_EQ(joined(pieces), cp932::wideToUtf8(text));
}

TEST(SynthesisPieces, EveryPieceIsWithinTheSynthesizerLimits)
{
    // Half-width runs crash it from about 345 characters; a line past 1022 bytes is cut.
    const std::u16string ascii(2000, u'a');
    const std::u16string kanji(2000, u'漢');
    std::u16string mixedText;
    for (int i = 0; i < 300; ++i)
        mixedText += u"漢字とabc、";
    const std::u16string& mixed = mixedText;
    for (const std::u16string* text : {&ascii, &kanji, &mixed}) {
        const auto pieces = synthesisPieces(*text);
        for (const auto& p : pieces) {
            EXPECT_LE(p.size(), 1022u);
            EXPECT_LE(chars(p), 344u);
            EXPECT_EQ(p.find('\n'), std::string::npos);
        }
        EXPECT_EQ(joined(pieces), cp932::wideToUtf8(*text));
    }
}

TEST(SynthesisPieces, BlankPiecesAreDropped)
{
    const std::u16string text = std::u16string(kMaxPieceChars, u'あ') + std::u16string(300, u' ') + u"い";
    for (const auto& p : synthesisPieces(text))
        EXPECT_NE(p.find_first_not_of(' '), std::string::npos);
}

TEST(SpeedForRate, PowersOfThreeWithADotWhateverTheLocale)
{
    // A locale with a decimal comma, when this machine has one, must not change the text.
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(speedForRate(0), "1.000000");
    EXPECT_EQ(speedForRate(10), "3.000000");
    EXPECT_EQ(speedForRate(-10), "0.333333");
    EXPECT_EQ(speedForRate(5), "1.732051");
    std::setlocale(LC_ALL, saved.c_str());
    // Out of range is limited, never 0 or negative.
    EXPECT_EQ(speedForRate(-1000), "0.333333");
    EXPECT_EQ(speedForRate(99), "3.000000");
    for (int r = -10; r <= 10; ++r)
        EXPECT_GT(std::strtod(speedForRate(r).c_str(), nullptr), 0.3);
}

} // namespace
} // namespace kven
