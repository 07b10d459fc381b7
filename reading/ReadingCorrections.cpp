#include "reading/ReadingCorrections.h"

#include "reading/ChunkFilter.h"
#include "reading/ReadingFold.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <algorithm>
#include <array>

namespace kven {

namespace {

// Nouns that take "御" as お: words of Japanese origin, and the few borrowed ones that
// everyday speech gives お (客, 師匠, 菓子...). Each stands in the books after 御, where the
// synthesizer says ゴ; the nouns that take ご (心配, 承知, 主人...) are left to it.
constexpr std::string_view kNounsWithO =
    "客|三|師匠|嫁|話|嬢|金|宅|夏|母|茶漬|経|互|世話|医者|勝手|化粧|辞儀|給仕|正月|屋敷|声|口|顔|雑煮|邸|邪魔|"
    "菓子|膝元|聟|耳|線香|祖母|留守|父様|母さん|母様|月|暇|庭|城|国許|友達|仲間|仏壇|世辞|茶|酒|湯|腹|手|目|"
    "気の毒|婆さん|爺さん|姉さん|兄さん|上さん|神さん|袋|蔭|膳|櫃|供|米|餅|花|寺|墓|宮|隣|部屋|座敷|使|土産|"
    "着物|帯|髪|召|酌|祝い|節句|盆|礼|前|湯漬|願い|預り|隠し|笑い|求め|向き|余り|似合い|休|変り|催し|取次";

// The verb endings after 云 as the old spelling writes them (云ふ, 云ひ, 云へ...).
constexpr std::string_view kOldEndings = "ふ|ひ|へ|は|ほ|フ|ヒ|ヘ|ハ|ホ|や|い";

constexpr std::array kRows = {
    // 云 as the dictionary reads it in two forms of 云う.
    CorrectionRow{"云っ", Context::always, "", false, "イッ"},
    CorrectionRow{"云い", Context::always, "", false, "イイ"},
    CorrectionRow{"云", Context::nextStartsWith, kOldEndings, false, "イ"},
    CorrectionRow{"何", Context::nextWord, "の|とか|でも|と|だ|だっ|だろ|だって|です|でしょ", false, "ナン"},
    // Not the verb 処する.
    CorrectionRow{"処", Context::notBeforeWords, "せ|し|す|さ|せる|する|せら|すれ|せよ", true, "トコロ"},
    CorrectionRow{"語", Context::previousWord, "なる|いう|云う|この|の|その", true, "ゴ"},
    // Money where a particle follows; "金の" is as often gold (金の柱), "金　十両" a sum written
    // out, and 金さん a name.
    CorrectionRow{"金", Context::nextWord, "が|を|は|も|に|で|さえ|なんか|なんぞ|など|だ|です|じゃ|や|か", true,
                  "カネ"},
    CorrectionRow{"奴", Context::always, "", true, "ヤツ"},
    CorrectionRow{"御", Context::nextWord, kNounsWithO, false, "オ"},
    CorrectionRow{"御", Context::nextVerb, "", false, "オ"},
    CorrectionRow{"御", Context::nextKana, "らん", false, "オ"},
    // From the corpus: the words the synthesizer misreads most often after the ones above.
    CorrectionRow{"貴女", Context::always, "", true, "アナタ"},
    CorrectionRow{"御前", Context::always, "", true, "オマエ"},
    // 可い as いい; not 可なり, 可き, 可とする.
    CorrectionRow{"可", Context::nextStartsWith, "い", false, "イ"},
    CorrectionRow{"大分", Context::notBeforeWords, "県|市|郡|駅|藩|港", false, "ダイブ"},
    CorrectionRow{"御座", Context::nextWord, "候|なく|なし|い|り|ります|ん|る", false, "ゴザ"},
};

// Whether `matches` holds for `word` and one of the "|"-separated `list`.
template<class Match> bool anyListed(std::string_view list, std::string_view word, Match matches)
{
    while (!list.empty()) {
        const std::size_t bar = list.find('|');
        if (matches(word, list.substr(0, bar)))
            return true;
        if (bar == std::string_view::npos)
            break;
        list.remove_prefix(bar + 1);
    }
    return false;
}

// Whether `word` is one of the "|"-separated `list`.
bool listed(std::string_view list, std::string_view word)
{
    return anyListed(list, word, [](std::string_view w, std::string_view entry) { return w == entry; });
}

bool startsWithListed(std::string_view list, std::string_view word)
{
    return anyListed(list, word, [](std::string_view w, std::string_view entry) { return w.starts_with(entry); });
}

bool isKanjiAt(std::string_view sjis, std::size_t at)
{
    return at < sjis.size() && isRubyBaseKanji(sjis.substr(at, sjis::charLength(sjis, at)));
}

// Whether the character ending at `end` is kanji: the text is walked from its start, since a
// Shift_JIS character cannot be found from its end.
bool kanjiEndsAt(std::string_view sjis, std::size_t end)
{
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < end; i += sjis::charLength(sjis, i))
        last = i;
    return last != std::string_view::npos && isKanjiAt(sjis, last);
}

bool startsWithKana(std::string_view utf8)
{
    const std::u16string wide = cp932::utf8ToWide(utf8);
    return !wide.empty() && ((wide[0] >= u'ぁ' && wide[0] <= u'ゖ') || (wide[0] >= u'ァ' && wide[0] <= u'ヺ'));
}

bool contextHolds(const CorrectionRow& row, std::span<const SpokenWord> words, std::size_t k)
{
    const SpokenWord* next = k + 1 < words.size() ? &words[k + 1] : nullptr;
    switch (row.context) {
    case Context::always: return true;
    case Context::nextWord: return next != nullptr && listed(row.words, next->surface);
    case Context::previousWord: return k > 0 && listed(row.words, words[k - 1].surface);
    case Context::nextStartsWith: return next != nullptr && startsWithListed(row.words, next->surface);
    case Context::nextKana:
        return next != nullptr && startsWithKana(next->surface) && !listed(row.words, next->surface);
    case Context::nextVerb: return next != nullptr && next->partOfSpeech == "動詞";
    case Context::notBeforeWords:
        while (next != nullptr && next->subclass[0] == "空白")
            next = next + 1 < words.data() + words.size() ? next + 1 : nullptr;
        return next == nullptr || (next->subclass[0] != "数" && !listed(row.words, next->surface));
    }
    return false;
}

} // namespace

std::span<const CorrectionRow> correctionRows()
{
    return kRows;
}

bool mayNeedCorrection(std::string_view sjis)
{
    static const std::vector<std::string> firsts = [] {
        std::vector<std::string> out;
        for (const CorrectionRow& row : kRows) {
            const std::string surface = cp932::fromUtf8(row.surface);
            std::string first = surface.substr(0, sjis::charLength(surface, 0));
            if (std::find(out.begin(), out.end(), first) == out.end())
                out.push_back(std::move(first));
        }
        return out;
    }();
    for (std::size_t i = 0; i < sjis.size(); i += sjis::charLength(sjis, i))
        for (const std::string& first : firsts)
            if (sjis.substr(i, first.size()) == first)
                return true;
    return false;
}

bool rowApplies(const CorrectionRow& row, std::string_view sjis, std::span<const SpokenWord> words, std::size_t k)
{
    const SpokenWord& word = words[k];
    if (word.surface != row.surface || !contextHolds(row, words, k))
        return false;
    return !row.alone || (!isKanjiAt(sjis, word.offset + word.length) && !kanjiEndsAt(sjis, word.offset));
}

std::vector<PlaceReading> readingCorrections(std::string_view sjis, std::span<const SpokenWord> words,
                                             std::span<const CorrectionRow> rows)
{
    std::vector<PlaceReading> out;
    for (std::size_t k = 0; k < words.size(); ++k) {
        for (const CorrectionRow& row : rows) {
            if (!rowApplies(row, sjis, words, k))
                continue;
            const std::string reading = cp932::fromUtf8(row.reading);
            if (!synthesizerSays(words, words[k].offset, words[k].length, reading))
                out.push_back({words[k].offset, words[k].length, reading});
            break;
        }
    }
    return out;
}

} // namespace kven
