// One reading step near the end of a large document must cost what it costs in a small one:
// the step works on the chunk and the way to its boundary, never on the rest of the text.
// Nor may it grow with the lists of the settings: a step with a 1 MB talk-symbols line or a
// skip list of 100,000 long entries costs what it costs with the shipped settings, and one
// with a reading dictionary of 100,000 words what it costs with none. English words said from
// their pronunciation cost a step over a page full of them little more than spelling them.

#include "reading/ChunkFilter.h"
#include "reading/FilterTables.h"
#include "reading/Reader.h"
#include "settings/SettingsFile.h"
#include "speech/NullEngine.h"
#include "state/DialogsAndClipboard.h"
#include "state/Session.h"
#include "text/Cp932.h"
#include "text/EnglishLexicon.h"
#include "text/ReadingDictionary.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace kven;

const char* const kNovelLine =
    "吾輩《わがはい》は猫である。名前はまだ無い。どこで生れたかとんと見当《けんとう》がつかぬ。"
    "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。\r\n";
// A line of dates, times, a fraction, a slash between capitals and numbers left as they are.
const char* const kNumbersLine = "2001-08-03 14:09:55 更新、2008/02/05 00:14 作成。TCP/IP の 1/100 は 3.14 の 50% で、"
                                 "1,000 円か 2000-2014 年の ver 5.005/03 です。\r\n";

std::string document(std::size_t bytes, std::string_view utf8Line = kNovelLine)
{
    const std::string line = cp932::fromUtf8(utf8Line);
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line;
    return text;
}

void readingStepNearTheEnd(benchmark::State& state, std::size_t bytes)
{
    Session session;
    session.setText(document(bytes));
    session.setTalkSymbols(cp932::fromUtf8("、。「」"));
    EventQueue queue;
    NullEngine engine(queue);
    NoWaiter waiter;
    Reader reader(session, engine, waiter);
    const std::size_t cursor = session.text().size() - 2000;
    // Land on a line start so every iteration reads the same chunk.
    const std::size_t start = session.text().find("\r\n", cursor) + 2;
    for (auto _ : state) {
        session.setSelStart(start);
        session.setReading(true);
        session.setLastSpoken({});
        reader.endOfStream(engine.lastStream());
        benchmark::DoNotOptimize(session.selStart());
    }
}

void BM_ReadingStep20MB(benchmark::State& state)
{
    readingStepNearTheEnd(state, 20u << 20);
}
void BM_ReadingStep20KB(benchmark::State& state)
{
    readingStepNearTheEnd(state, 20u << 10);
}

// Every reading step over one line with no line break, as a dump runs them: each chunk is cut
// at a comma, so the whole run must grow with the line, not with its square.
void readWholeLine(benchmark::State& state, std::size_t bytes)
{
    const std::string pair = cp932::fromUtf8("、あ");
    std::string line;
    line.reserve(bytes);
    while (line.size() < bytes)
        line += pair;
    Session session;
    session.setText(line);
    session.setTalkSymbols(cp932::fromUtf8("、。"));
    EventQueue queue;
    NullEngine engine(queue);
    NoWaiter waiter;
    Reader reader(session, engine, waiter);
    for (auto _ : state) {
        session.setSelStart(0);
        session.setReading(true);
        session.setLastSpoken({});
        std::size_t steps = 0;
        while (session.reading()) {
            reader.endOfStream(engine.lastStream());
            ++steps;
        }
        benchmark::DoNotOptimize(steps);
    }
}

void BM_DumpOneLine2MB(benchmark::State& state)
{
    readWholeLine(state, 2u << 20);
}
void BM_DumpOneLine200KB(benchmark::State& state)
{
    readWholeLine(state, 200u << 10);
}

class NoDialogs : public Dialogs {
public:
    bool confirm(const std::string&) override { return false; }
    std::optional<std::string> chooseFile(const std::string&) override { return std::nullopt; }
};

// A session with the options and lists of the shipped settings file.
void readShippedSettings(Session& session)
{
    NoDialogs dialogs;
    SettingsFile(session, dialogs, KVEN_SOURCE_DIR "/data/KVEN.ini").startupRead();
}

// A talk-symbols line of 1 MiB: every double-byte character of the rows of symbols, digits,
// Latin letters, kana, Greek, Cyrillic and box drawing, over and over; with the line break
// the memo holds after it.
std::string hugeTalkSymbols()
{
    std::string symbols;
    for (unsigned lead = 0x81; lead <= 0x84; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F)
                symbols += {static_cast<char>(lead), static_cast<char>(trail)};
    std::string line;
    line.reserve((1u << 20) + symbols.size());
    while (line.size() < (1u << 20))
        line += symbols;
    line.resize(1u << 20);
    return line + "\r\n";
}

// 100,000 skip entries of 255 kanji each, none of them in the document.
std::vector<std::string> hugeSkipList()
{
    std::vector<std::string> entries(100000);
    std::uint32_t seed = 12345;
    for (std::string& entry : entries) {
        for (int i = 0; i < 255; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const unsigned lead = 0x89 + (seed >> 8) % 0x16;   // 0x89..0x9E: kanji rows only
            const unsigned trail = 0x40 + (seed >> 16) % 0x3F; // 0x40..0x7E
            entry += {static_cast<char>(lead), static_cast<char>(trail)};
        }
    }
    return entries;
}

// 100,000 words of two to six characters: half of them made of the characters of the document,
// so that the dictionary is walked deep at every place of a chunk, half of any kanji.
std::vector<ReadingDictionary::Entry> hugeWords()
{
    const std::string text =
        cp932::fromUtf8("吾輩は猫である名前はまだ無いどこで生れたかとんと見当がつかぬ何でも薄暗い所");
    std::vector<ReadingDictionary::Entry> words(100000);
    std::uint32_t seed = 4242;
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (std::size_t k = 0; k < words.size(); ++k) {
        for (std::uint32_t n = 2 + next() % 5; n > 0; --n) {
            if (k % 2 == 0) {
                words[k].written += text.substr((next() >> 8) % (text.size() / 2) * 2, 2);
            } else {
                const unsigned lead = 0x89 + (next() >> 8) % 0x16;
                const unsigned trail = 0x40 + (next() >> 16) % 0x3F;
                words[k].written += {static_cast<char>(lead), static_cast<char>(trail)};
            }
        }
        words[k].reading = cp932::fromUtf8("ヨミ");
    }
    return words;
}

// plainNovel, web and plainWeb: the novel or a web page's line, with the shipped settings
// (English words and numbers read) or with those two options off; novelWithoutReadings: the
// novel without the readings a careful reader gives.
enum class Lists {
    shipped,
    hugeTalkSymbols,
    hugeSkipList,
    noWords,
    hugeWords,
    englishOff,
    englishOn,
    plainNovel,
    novelWithoutReadings,
    web,
    plainWeb
};

// A line of a web page about markup, English words in every phrase.
constexpr std::string_view kEnglishLine =
    "Ruby annotations are used with the base element: RangeとNoneの値をuseする時はstyle sheetの"
    "property valueを見る。The quick brown fox jumps over the lazy dog.\r\n";

// One step over the same chunk, again and again, with the given lists. The first step, before
// the measurement, is where lists that changed are prepared. `numbers`: the numbers line is
// read, with the numbers option off (0) or on (1), instead of the novel as shipped (-1).
void readingStepWithLists(benchmark::State& state, Lists lists, int numbers = -1)
{
    Session session;
    readShippedSettings(session);
    const bool numbersLine = numbers >= 0;
    if (numbersLine)
        session.setOption(&ReadingOptions::readNumbers, numbers == 1);
    if (lists == Lists::hugeTalkSymbols)
        session.setTalkSymbols(hugeTalkSymbols());
    if (lists == Lists::hugeSkipList)
        session.setSkipList(hugeSkipList());
    const bool english = lists == Lists::englishOff || lists == Lists::englishOn;
    const bool web = lists == Lists::web || lists == Lists::plainWeb;
    const std::string_view line = english || web ? kEnglishLine : numbersLine ? kNumbersLine : kNovelLine;
    if (lists == Lists::novelWithoutReadings) {
        session.setOption(&ReadingOptions::correctReadings, false);
        session.setOption(&ReadingOptions::bookReadings, false);
    }
    if (lists == Lists::plainNovel || lists == Lists::plainWeb) {
        session.setOption(&ReadingOptions::readEnglish, false);
        session.setOption(&ReadingOptions::readNumbers, false);
    }
    session.setText(document(20u << 10, line));
    if (english)
        session.setOption(&ReadingOptions::readEnglish, lists == Lists::englishOn);
    if (lists == Lists::englishOn && EnglishLexicon::installed().size() == 0)
        state.SkipWithError("festlex-cmu is not installed");
    if (lists == Lists::noWords || lists == Lists::hugeWords)
        session.setOption(&ReadingOptions::wordReadings, true);
    if (lists == Lists::hugeWords)
        session.setReadingDictionary(std::make_shared<const ReadingDictionary>(hugeWords()));
    EventQueue queue;
    NullEngine engine(queue);
    NoWaiter waiter;
    Reader reader(session, engine, waiter);
    const std::size_t start = session.text().find("\r\n", 1000) + 2;
    const auto step = [&] {
        session.setSelStart(start);
        session.setReading(true);
        session.setLastSpoken({});
        reader.endOfStream(engine.lastStream());
    };
    step();
    // Every variant says the same first chunk.
    if (session.lastSpoken().empty() || session.selStart() != start + chunkLength(session.text().substr(start)))
        state.SkipWithError("the step did not say the chunk at its cursor");
    for (auto _ : state) {
        step();
        benchmark::DoNotOptimize(session.selStart());
    }
}

// An engine that prepares the next utterance while one plays, as the synthesizer does: the
// step works out the chunk after the one it hands over.
class PreparingEngine : public NullEngine {
public:
    using NullEngine::NullEngine;

protected:
    bool doesPrepare() const override { return true; }
};

// The pause before speech, left out of the time: what is worked out during it is done.
class PauseLeftOut : public Waiter {
public:
    PauseLeftOut(benchmark::State& state) : state_(state) {}
    // From now on, in the timed loop.
    void setReader(Reader& reader) { reader_ = &reader; }
    void after(int, std::function<void()> then) override
    {
        if (reader_ == nullptr) {
            then();
            return;
        }
        state_.PauseTiming();
        if (!reader_->readingsAheadDone(std::chrono::seconds(10)))
            state_.SkipWithError("the readings worked out ahead took over 10 s");
        state_.ResumeTiming();
        then();
    }

private:
    benchmark::State& state_;
    Reader* reader_ = nullptr;
};

// Step after step through the novel with the shipped settings, each step a new chunk and its
// look-ahead, with the readings a careful reader gives on or off. The pause before speech is
// left out, as the analysis of the next chunk runs during it.
void readingWalk(benchmark::State& state, bool readings)
{
    Session session;
    readShippedSettings(session);
    session.setOption(&ReadingOptions::correctReadings, readings);
    session.setOption(&ReadingOptions::bookReadings, readings);
    session.setText(document(20u << 10, kNovelLine));
    EventQueue queue;
    PreparingEngine engine(queue);
    PauseLeftOut waiter(state);
    Reader reader(session, engine, waiter);
    session.setReading(true);
    reader.endOfStream(engine.lastStream());
    waiter.setReader(reader);
    for (auto _ : state) {
        if (!session.reading() || session.selStart() > session.text().size() - 1000) {
            session.setSelStart(0);
            session.setReading(true);
        }
        reader.endOfStream(engine.lastStream());
        benchmark::DoNotOptimize(session.selStart());
    }
}

void BM_ReadingStepShippedLists(benchmark::State& state)
{
    readingStepWithLists(state, Lists::shipped);
}
// The numbers option on (1) against off (0), over a line full of numbers.
void BM_ReadingStepNumbers(benchmark::State& state)
{
    readingStepWithLists(state, Lists::shipped, static_cast<int>(state.range(0)));
}
void BM_ReadingStepHugeTalkSymbols(benchmark::State& state)
{
    readingStepWithLists(state, Lists::hugeTalkSymbols);
}
void BM_ReadingStepHugeSkipList(benchmark::State& state)
{
    readingStepWithLists(state, Lists::hugeSkipList);
}

void BM_ReadingStepNoWords(benchmark::State& state)
{
    readingStepWithLists(state, Lists::noWords);
}
void BM_ReadingStepHugeWords(benchmark::State& state)
{
    readingStepWithLists(state, Lists::hugeWords);
}

void BM_ReadingStepEnglishOff(benchmark::State& state)
{
    readingStepWithLists(state, Lists::englishOff);
}
void BM_ReadingStepEnglishOn(benchmark::State& state)
{
    readingStepWithLists(state, Lists::englishOn);
}

// What a change of the lists costs once, at the step after it.
void BM_PrepareHugeLists(benchmark::State& state)
{
    const std::vector<std::string> skipList = hugeSkipList();
    const std::string talkSymbols = hugeTalkSymbols();
    for (auto _ : state) {
        const FilterTables tables(skipList, talkSymbols);
        benchmark::DoNotOptimize(&tables);
    }
}

BENCHMARK(BM_ReadingStep20MB);
BENCHMARK(BM_ReadingStep20KB);
BENCHMARK(BM_DumpOneLine2MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DumpOneLine200KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadingStepShippedLists);
BENCHMARK(BM_ReadingStepNumbers)->Arg(0)->Arg(1);
BENCHMARK(BM_ReadingStepHugeTalkSymbols);
BENCHMARK(BM_ReadingStepHugeSkipList);
BENCHMARK(BM_PrepareHugeLists)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadingStepNoWords);
BENCHMARK(BM_ReadingStepHugeWords);
BENCHMARK(BM_ReadingStepEnglishOff);
BENCHMARK_CAPTURE(readingStepWithLists, novel, Lists::shipped);
BENCHMARK_CAPTURE(readingStepWithLists, plainNovel, Lists::plainNovel);
BENCHMARK_CAPTURE(readingStepWithLists, novelWithoutReadings, Lists::novelWithoutReadings);
BENCHMARK_CAPTURE(readingWalk, withReadings, true);
BENCHMARK_CAPTURE(readingWalk, withoutReadings, false);
BENCHMARK_CAPTURE(readingStepWithLists, web, Lists::web);
BENCHMARK_CAPTURE(readingStepWithLists, plainWeb, Lists::plainWeb);
BENCHMARK(BM_ReadingStepEnglishOn);

// What reading the installed pronouncing dictionary costs once, on the first step that needs it.
void BM_LoadEnglishLexicon(benchmark::State& state)
{
    for (auto _ : state) {
        const EnglishLexicon lexicon = EnglishLexicon::fromFile(std::string(EnglishLexicon::kDefaultPath));
        if (lexicon.size() == 0)
            state.SkipWithError("festlex-cmu is not installed");
        benchmark::DoNotOptimize(&lexicon);
    }
}
BENCHMARK(BM_LoadEnglishLexicon)->Unit(benchmark::kMillisecond);

// A pronouncing dictionary of one entry on one line of `bytes`: a word of some tens of
// thousands of syllables. Its cost must grow with the line, not with its square.
void lexiconOneLine(benchmark::State& state, std::size_t bytes)
{
    std::string line = "(\"station\" nil (";
    while (line.size() < bytes)
        line += "((s t ey) 1) ((sh ax n) 0) ";
    line += "))\n";
    for (auto _ : state) {
        const EnglishLexicon lexicon(line);
        benchmark::DoNotOptimize(&lexicon);
    }
}
BENCHMARK_CAPTURE(lexiconOneLine, 60KB, 60'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lexiconOneLine, 600KB, 600'000)->Unit(benchmark::kMillisecond);

// What reading a dictionary of 100,000 words costs once, when it is loaded or saved.
void BM_BuildHugeWords(benchmark::State& state)
{
    const std::vector<ReadingDictionary::Entry> words = hugeWords();
    for (auto _ : state) {
        const ReadingDictionary dictionary(words);
        benchmark::DoNotOptimize(&dictionary);
    }
}
BENCHMARK(BM_BuildHugeWords)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
