// HTMLconv on a 10 MB Shift_JIS page with 300 000 tags against the same page cut to 1 MB:
// the conversion should take time in proportion to the page.

#include "intake/PageConversion.h"
#include "text/EucJp.h"
#include "text/Sjis.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kUnits = 30000; // ten tags each
constexpr std::size_t kUnitSize = 10u * 1024 * 1024 / kUnits;

// 吾輩は猫である。名前はまだ無い。
constexpr std::string_view kProse = "\x8c\xe1\x94\x79\x82\xcd\x94\x4c\x82\xc5\x82\xa0\x82\xe9\x81\x42"
                                    "\x96\xbc\x91\x4f\x82\xcd\x82\xdc\x82\xbe\x96\xb3\x82\xa2\x81\x42";

// One stretch of page: a heading, a script block, ruby, line breaks, a link and entities.
std::string unit(std::size_t i)
{
    std::string u;
    u += i % 50 == 0 ? "<h2 class=s>" : "<p class=t>";
    u += "<a href=\"x.html\">";
    u += kProse;
    u += "</a><br><br>";
    u += "<script>var a = 1;</script>";
    u += "<rp>\x81\x69</rp>"; // <rp>（</rp>
    u += "&nbsp;&lt;&quot;";
    // Fill with prose to the unit size, whole characters only.
    while (u.size() + kProse.size() + 4 <= kUnitSize)
        u += kProse;
    while (u.size() + 4 < kUnitSize)
        u += 'a';
    u += "\r\n<p>";
    return u;
}

const std::string& page10MB()
{
    static const std::string page = [] {
        std::string p = "<html><head><title>bench</title></head><body>\r\n";
        p.reserve(kUnits * kUnitSize + 256);
        for (std::size_t i = 0; i < kUnits; ++i)
            p += unit(i);
        p += "</body></html>\r\n";
        return p;
    }();
    return page;
}

const std::string& page1MB()
{
    static const std::string page = [] {
        const std::string& full = page10MB();
        std::size_t cut = 0;
        while (cut < 1024 * 1024)
            cut += kven::sjis::charLength(full, cut);
        return full.substr(0, cut);
    }();
    return page;
}

void runHTMLconv(benchmark::State& state, const std::string& page)
{
    const kven::EucJp conv;
    std::size_t tags = 0; // every "<" opens a tag on this page
    for (const char c : page)
        tags += c == '<';
    for (auto _ : state) {
        state.PauseTiming();
        std::string text = page;
        state.ResumeTiming();
        kven::convertPage(text, conv);
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["tags"] = static_cast<double>(tags);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_HTMLconv10MB(benchmark::State& state)
{
    runHTMLconv(state, page10MB());
}
BENCHMARK(BM_HTMLconv10MB)->Unit(benchmark::kMillisecond);

void BM_HTMLconv1MB(benchmark::State& state)
{
    runHTMLconv(state, page1MB());
}
BENCHMARK(BM_HTMLconv1MB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
