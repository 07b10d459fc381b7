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
        reader.TTSEndStream(0, 0);
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

BENCHMARK(BM_ReadingStep20MB);
BENCHMARK(BM_ReadingStep20KB);

} // namespace

BENCHMARK_MAIN();
