#include "reading/BookReadings.h"

#include "reading/AozoraNotes.h"
#include "reading/ChunkFilter.h"
#include "reading/ReadingFold.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <algorithm>
#include <unordered_map>

namespace kven {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The kanji numerals: a base of these alone is a number, read by its context.
constexpr std::string_view kNumerals =
    "\x81\x5a\x88\xea\x93\xf1\x8e\x4f\x8e\x6c\x8c\xdc\x98\x5a\x8e\xb5\x94\xaa"
    "\x8b\xe3\x8f\x5c\x95\x53\x90\xe7\x96\x9c\x89\xad"; // 〇一二三四五六七八九十百千万億

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// Notes are looked for this far: a line of unclosed "［＃" costs this much for each, not the
// rest of the line.
constexpr std::size_t kNoteReach = 1024;

// The end of the note at `i`, just after its "］"; npos when no note opens there.
std::size_t noteAt(std::string_view text, std::size_t i)
{
    if (!text.substr(i).starts_with(sjis::kNoteOpen))
        return npos;
    return noteEnd(text.substr(0, std::min(text.size(), i + kNoteReach)), i);
}

// Just after the "》" that closes the "《" at `open` on its line; npos when the line ends first,
// and then `lineEnd` is where it ends.
std::size_t rubyClose(std::string_view text, std::size_t open, std::size_t& lineEnd)
{
    std::size_t i = open + sjis::kRubyOpen.size();
    while (i < text.size() && !isLineBreak(text[i])) {
        if (text.substr(i, 2) == sjis::kRubyClose)
            return i + 2;
        i += sjis::charLength(text, i);
    }
    lineEnd = i;
    return npos;
}

} // namespace

std::vector<Ruby> rubies(std::string_view text)
{
    std::vector<Ruby> out;
    std::size_t bar = npos; // just after a "｜" still waiting for its "《"
    std::size_t run = npos; // where the run of kanji before `i` begins
    // No "》" comes before this: a line of unclosed "《" is looked through once.
    std::size_t unclosedUntil = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t end = noteAt(text, i); end != npos) {
            i = end;
            run = npos;
            continue;
        }
        const std::size_t len = sjis::charLength(text, i);
        const std::string_view c = text.substr(i, len);
        if (c == sjis::kRubyOpen && i >= unclosedUntil) {
            if (const std::size_t close = rubyClose(text, i, unclosedUntil); close != npos) {
                const std::size_t base = bar != npos ? bar : run != npos ? run : i;
                out.push_back({base, i, close});
                bar = run = npos;
                i = close;
                continue;
            }
        }
        if (isLineBreak(c[0]))
            bar = npos;
        else if (c == sjis::kRubyBaseMark)
            bar = i + len;
        run = isRubyBaseKanji(c) ? (run == npos ? i : run) : npos;
        i += len;
    }
    return out;
}

namespace {

bool isKana(char16_t c)
{
    return (c >= u'ぁ' && c <= u'ゖ') || (c >= u'ァ' && c <= u'ヺ') || c == u'ー';
}

// Whether the base is a word a book can teach: two or more characters, all kanji, not all
// numerals.
bool teachable(std::string_view base)
{
    std::size_t count = 0;
    bool numeralsOnly = true;
    for (std::size_t i = 0; i < base.size(); ++count) {
        const std::size_t len = sjis::charLength(base, i);
        const std::string_view c = base.substr(i, len);
        if (!isRubyBaseKanji(c))
            return false;
        bool numeral = false;
        for (std::size_t k = 0; k < kNumerals.size() && !numeral; k += 2)
            numeral = kNumerals.substr(k, 2) == c;
        numeralsOnly = numeralsOnly && numeral;
        i += len;
    }
    return count >= 2 && !numeralsOnly;
}

struct Lesson {
    std::size_t firstOpen = 0;
    std::string reading;   // of the first ruby
    std::u16string folded; // of the first ruby; empty when its readings differ or hold no kana
    int count = 0;
};

// The folded reading; empty when it holds anything but kana.
std::u16string foldedKana(std::string_view reading)
{
    const std::u16string wide = cp932::toWide(reading);
    for (const char16_t c : wide)
        if (!isKana(c))
            return {};
    return foldedReading(wide);
}

std::unordered_map<std::string_view, Lesson> lessons(std::string_view text, const std::vector<Ruby>& all)
{
    std::unordered_map<std::string_view, Lesson> out;
    for (const Ruby& ruby : all) {
        const std::string_view base = text.substr(ruby.base, ruby.open - ruby.base);
        if (!teachable(base))
            continue;
        const std::size_t from = ruby.open + sjis::kRubyOpen.size();
        const std::string_view reading = text.substr(from, ruby.close - sjis::kRubyClose.size() - from);
        const std::u16string folded = foldedKana(reading);
        auto [it, fresh] = out.try_emplace(base);
        Lesson& lesson = it->second;
        if (fresh) {
            lesson.firstOpen = ruby.open;
            lesson.reading = reading;
            lesson.folded = folded;
        } else if (lesson.folded != folded) {
            lesson.folded.clear();
        }
        ++lesson.count;
    }
    return out;
}

} // namespace

std::vector<PlaceReading> bookTaughtReadings(std::string_view text)
{
    const std::vector<Ruby> all = rubies(text);
    const auto taught = lessons(text, all);
    std::vector<PlaceReading> out;
    auto nextRuby = all.begin();
    std::size_t run = npos;
    const auto endRun = [&](std::size_t at) {
        if (run == npos)
            return;
        const auto it = taught.find(text.substr(run, at - run));
        if (it != taught.end() && it->second.count >= 2 && !it->second.folded.empty() && run > it->second.firstOpen)
            out.push_back({run, at - run, it->second.reading});
        run = npos;
    };
    for (std::size_t i = 0; i < text.size();) {
        while (nextRuby != all.end() && nextRuby->close <= i)
            ++nextRuby;
        if (nextRuby != all.end() && i >= nextRuby->base) {
            // A ruby's base and reading: the base is said with its own reading.
            run = npos;
            i = nextRuby->close;
            continue;
        }
        if (const std::size_t end = noteAt(text, i); end != npos) {
            endRun(i);
            i = end;
            continue;
        }
        const std::size_t len = sjis::charLength(text, i);
        if (isRubyBaseKanji(text.substr(i, len)))
            run = run == npos ? i : run;
        else
            endRun(i);
        i += len;
    }
    endRun(text.size());
    return out;
}

BaseText baseText(std::string_view text)
{
    const std::vector<Ruby> all = rubies(text);
    BaseText out;
    out.text.reserve(text.size());
    out.from.reserve(text.size() + 1);
    out.rubied.reserve(text.size());
    auto nextRuby = all.begin();
    for (std::size_t i = 0; i < text.size();) {
        while (nextRuby != all.end() && nextRuby->close <= i)
            ++nextRuby;
        const bool inRuby = nextRuby != all.end() && i >= nextRuby->base;
        if (inRuby && i == nextRuby->open) {
            i = nextRuby->close;
            continue;
        }
        if (const std::size_t end = noteAt(text, i); end != npos) {
            i = end;
            continue;
        }
        const std::size_t len = sjis::charLength(text, i);
        if (text.substr(i, len) != sjis::kRubyBaseMark) {
            for (std::size_t k = 0; k < len; ++k) {
                out.text += text[i + k];
                out.from.push_back(i + k);
                out.rubied.push_back(inRuby);
            }
        }
        i += len;
    }
    out.from.push_back(text.size());
    return out;
}

} // namespace kven
