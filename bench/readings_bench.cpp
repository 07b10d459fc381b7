// The reading step's chunk filter with the synthesizer's analysis on against off: the analysis
// of what a chunk says, the corrections found on it, and the check of a ruby's reading against
// what the synthesizer says. The target is a ratio of at most 1.5 (bench/ratios prints it).

#include "reading/ChunkFilter.h"
#include "reading/ReadingCorrections.h"
#include "reading/ReadingFold.h"
#include "reading/SynthesizerWords.h"
#include "text/Cp932.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

using namespace kven;

// A chunk of a novel as the reading step cuts it: one sentence with ruby and words to correct.
const std::string& novelChunk()
{
    static const std::string chunk =
        cp932::fromUtf8("主人は何と云っても御客の前で、吾輩《わがはい》の処へ金を借りに来る奴を一向｜構《かま》わずに、"
                        "書斎《しょさい》の中で何でも好きな本を読んでいると云い張った。");
    return chunk;
}

FilterOptions shippedOptions()
{
    FilterOptions options;
    options.silentNotes = true;
    options.wordReadings = true;
    options.passOverMarks = true;
    options.readNumbers = true;
    options.talkSymbols = "\x81\x41\x81\x42"; // 、。
    return options;
}

const SynthesizerWords& synthesizer()
{
    static const SynthesizerWords words(SynthesizerWords::systemDictionary(),
                                        std::filesystem::temp_directory_path() / "kven-readings-bench");
    return words;
}

void filterOff(benchmark::State& state)
{
    const FilterOptions options = shippedOptions();
    for (auto _ : state)
        benchmark::DoNotOptimize(spokenText(novelChunk(), options));
}
BENCHMARK(filterOff);

void filterWithAnalysis(benchmark::State& state)
{
    if (!synthesizer().available()) {
        state.SkipWithError(synthesizer().problem().c_str());
        return;
    }
    const FilterOptions options = shippedOptions();
    const std::string base = reduceRuby(novelChunk());
    for (auto _ : state) {
        benchmark::DoNotOptimize(spokenText(novelChunk(), options));
        const std::vector<SpokenWord> words = synthesizer().words(base);
        benchmark::DoNotOptimize(readingCorrections(base, words));
        benchmark::DoNotOptimize(synthesizerSays(words, 0, 4, "\x82\xb5\x82\xe5\x82\xb3\x82\xa2")); // しょさい
    }
}
BENCHMARK(filterWithAnalysis);

void analysisAlone(benchmark::State& state)
{
    if (!synthesizer().available()) {
        state.SkipWithError(synthesizer().problem().c_str());
        return;
    }
    const std::string base = reduceRuby(novelChunk());
    for (auto _ : state)
        benchmark::DoNotOptimize(synthesizer().words(base));
}
BENCHMARK(analysisAlone);

} // namespace

BENCHMARK_MAIN();
