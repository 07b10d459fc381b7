// EUC-JP to Shift_JIS: our converter against glibc iconv (EUC-JP to CP932) on the same 50 MB.

#include "text/EucJp.h"

#include "support/IconvAll.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iconv.h>
#include <string>

namespace {

constexpr std::size_t kSize = 50u * 1024 * 1024;

// Japanese prose with kanji, kana, full-width and half-width katakana, ASCII markup and line
// breaks, in UTF-8.
constexpr const char* kSample =
    "<p>吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした"
    "所でニャーニャー泣いていた事だけは記憶している。</p>\n"
    "<p>ﾃﾗﾀｰﾑの設定は｢ｾｯﾄｱｯﾌﾟ｣ﾒﾆｭｰから行います。ＡＢＣ１２３、ｶﾞｲﾄﾞ参照。</p>\n"
    "Version 4.0 (2024-01-01): bug fixes &amp; improvements.\n"
    "　ある日の暮方の事である。一人の下人が、羅生門の下で雨やみを待っていた。広い門の下には、"
    "この男のほかに誰もいない。ただ、所々丹塗の剥げた、大きな円柱に、蟋蟀が一匹とまっている。\n";

const std::string& eucText()
{
    static const std::string text = [] {
        const std::string unit = kven::testing::iconvAll("EUC-JP", "UTF-8", kSample).value();
        std::string t;
        t.reserve(kSize + unit.size());
        while (t.size() + unit.size() <= kSize)
            t += unit;
        return t;
    }();
    return text;
}

void BM_EucToSjis(benchmark::State& state)
{
    const std::string& src = eucText();
    const kven::EucJp conv;
    for (auto _ : state) {
        std::string out = conv.toSjis(src);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_EucToSjis)->Unit(benchmark::kMillisecond);

void BM_IconvEucToCp932(benchmark::State& state)
{
    const std::string& src = eucText();
    iconv_t cd = iconv_open("CP932", "EUC-JP");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    std::string out(src.size(), '\0'); // EUC-JP never grows in CP932: one call converts all
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(src.data());
        std::size_t inLeft = src.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
            state.SkipWithError("iconv stopped before the end");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_IconvEucToCp932)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
