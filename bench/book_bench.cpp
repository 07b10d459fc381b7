// Opening a 10 MB EPUB (unpacking, the package, the markup passes and the conversion of its
// chapters) against converting the same XHTML as one HTML page. The book is the corpus novel
// as XHTML paragraphs with its ruby as ruby markup, repeated to 10 MB of UTF-8 in 40 chapters.

#include "intake/BookText.h"
#include "intake/PageConversion.h"
#include "support/ZipBytes.h"
#include "text/Cp932.h"
#include "text/EucJp.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kChapters = 40;
constexpr std::size_t kBookBytes = 10u * 1024 * 1024;
constexpr std::string_view kHead =
    R"(<?xml version="1.0" encoding="UTF-8"?><html xmlns="http://www.w3.org/1999/xhtml">)"
    "\n<head><title>bench</title></head>\n<body>\n";
constexpr std::string_view kTail = "</body></html>\n";

// The novel's lines as paragraphs, "base《reading》" (the base being the character before) as
// ruby markup.
std::string paragraphs()
{
    std::ifstream in(KVEN_CORPUS_DIR "/aozora_txt/natsume_wagahaiwa_nekodearu_789_ruby_5639.txt", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string novel = kven::cp932::toUtf8(bytes.str());
    if (novel.empty())
        novel = "吾輩は猫《ねこ》である。名前はまだ無い。\n";
    std::string out;
    std::size_t from = 0;
    while (from < novel.size()) {
        std::size_t end = novel.find('\n', from);
        end = end == std::string::npos ? novel.size() : end;
        std::string line = novel.substr(from, end - from);
        for (std::size_t open; (open = line.find("《")) != std::string::npos;) {
            const std::size_t close = line.find("》", open);
            if (close == std::string::npos || open == 0)
                break;
            std::size_t base = open;
            do
                --base;
            while (base > 0 && (static_cast<unsigned char>(line[base]) & 0xc0) == 0x80);
            const std::string reading = line.substr(open + 3, close - open - 3);
            line = line.substr(0, base) + "<ruby><rb>" + line.substr(base, open - base) + "</rb><rp>（</rp><rt>" +
                   reading + "</rt><rp>）</rp></ruby>" + line.substr(close + 3);
        }
        out += "<p>" + line + "</p>\n";
        from = end + 1;
    }
    return out;
}

const std::vector<std::string>& chapters()
{
    static const std::vector<std::string> all = [] {
        const std::string body = paragraphs();
        std::vector<std::string> docs;
        for (std::size_t c = 0; c < kChapters; ++c) {
            std::string doc = std::string(kHead) + "<h1>章</h1>\n";
            while (doc.size() < kBookBytes / kChapters)
                doc += body.substr(0, kBookBytes / kChapters - doc.size());
            // Whole characters and whole tags only: cut back to the last paragraph end.
            doc.resize(doc.rfind("</p>\n") + 5);
            docs.push_back(doc + std::string(kTail));
        }
        return docs;
    }();
    return all;
}

void BM_OpenEpub10MB(benchmark::State& state)
{
    std::vector<kven::testing::ZipEntry> entries = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml", R"(<container><rootfiles><rootfile full-path="o/p.opf"/></rootfiles></container>)"}};
    std::string manifest;
    std::string spine;
    for (std::size_t c = 0; c < kChapters; ++c) {
        const std::string id = "c" + std::to_string(c);
        manifest += R"(<item id=")" + id + R"(" href=")" + id + R"(.xhtml" media-type="application/xhtml+xml"/>)";
        spine += R"(<itemref idref=")" + id + R"("/>)";
        entries.push_back({"o/" + id + ".xhtml", chapters()[c]});
    }
    entries.push_back(
        {"o/p.opf", "<package><metadata/><manifest>" + manifest + "</manifest><spine>" + spine + "</spine></package>"});
    const std::string book = kven::testing::zipOf(entries);
    const kven::EucJp conv;
    std::size_t text = 0;
    for (auto _ : state) {
        const kven::ArchiveText opened = kven::archiveText(book, "/bench/book.epub", conv);
        text = opened.text.size();
        benchmark::DoNotOptimize(opened.text.data());
    }
    state.counters["text MB"] = static_cast<double>(text) / (1024 * 1024);
    state.counters["archive MB"] = static_cast<double>(book.size()) / (1024 * 1024);
}
BENCHMARK(BM_OpenEpub10MB)->Unit(benchmark::kMillisecond);

void BM_ConvertPage10MB(benchmark::State& state)
{
    std::string page(kHead);
    for (const std::string& doc : chapters())
        page += doc.substr(kHead.size(), doc.size() - kHead.size() - kTail.size());
    page += kTail;
    const kven::EucJp conv;
    for (auto _ : state) {
        state.PauseTiming();
        std::string text = page;
        state.ResumeTiming();
        kven::convertPage(text, conv);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_ConvertPage10MB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
