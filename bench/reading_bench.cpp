// One reading step near the end of a large document must cost what it costs in a small one:
// the step works on the chunk and the way to its boundary, never on the rest of the text.

#include "app/MemoryWindowState.h"
#include "reading/Reader.h"
#include "speech/NullEngine.h"
#include "text/Cp932.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kven;

std::string document(std::size_t bytes)
{
    const std::string line =
        cp932::fromUtf8("吾輩《わがはい》は猫である。名前はまだ無い。どこで生れたかとんと見当《けんとう》がつかぬ。"
                        "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。\r\n");
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line;
    return text;
}

void readingStepNearTheEnd(benchmark::State& state, std::size_t bytes)
{
    MemoryWindowState window;
    window.setText(document(bytes));
    window.setTalkSymbols(cp932::fromUtf8("、。「」"));
    SharedState shared;
    EventQueue queue;
    NullEngine engine(queue);
    NoWaiter waiter;
    Reader reader(window, shared, engine, waiter);
    const std::size_t cursor = window.text().size() - 2000;
    // Land on a line start so every iteration reads the same chunk.
    const std::size_t start = window.text().find("\r\n", cursor) + 2;
    for (auto _ : state) {
        window.setSelStart(start);
        window.setStartEnabled(false);
        shared.lastSpoken.clear();
        reader.TTSEndStream(engine.lastStream());
        benchmark::DoNotOptimize(window.selStart());
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
    MemoryWindowState window;
    window.setText(line);
    window.setTalkSymbols(cp932::fromUtf8("、。"));
    SharedState shared;
    EventQueue queue;
    NullEngine engine(queue);
    NoWaiter waiter;
    Reader reader(window, shared, engine, waiter);
    for (auto _ : state) {
        window.setSelStart(0);
        window.setStartEnabled(false);
        shared.lastSpoken.clear();
        std::size_t steps = 0;
        while (!window.startEnabled()) {
            reader.TTSEndStream(engine.lastStream());
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

BENCHMARK(BM_ReadingStep20MB);
BENCHMARK(BM_ReadingStep20KB);
BENCHMARK(BM_DumpOneLine2MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DumpOneLine200KB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
