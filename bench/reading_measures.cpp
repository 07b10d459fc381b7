// Not a Google Benchmark: the figures of the reading layer over the corpus's Aozora books,
// counted with the synthesizer's own dictionary. Each book's text is analysed line by line as
// the synthesizer reads it with every ruby's base said (the notes and readings taken out).
//
//   reading_measures CORPUS_DIR            the figures per 1,000 characters
//   reading_measures --spoken BOOK DUMP  over what the reading step hands the synthesizer
//                                          (kven-read --dump of BOOK): the places a correction
//                                          row still applies to, and the book's taught words
//                                          said otherwise than it teaches, per 1,000 characters
//   reading_measures --sample ROW N SEED CORPUS_DIR
//                                          N places where correction row ROW (from 1) applies,
//                                          drawn with SEED, as rows of a label file to judge

#include "reading/BookReadings.h"
#include "reading/ChunkFilter.h"
#include "reading/ReadingCorrections.h"
#include "reading/ReadingFold.h"
#include "reading/SynthesizerWords.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kven;
namespace fs = std::filesystem;

std::vector<fs::path> books(const fs::path& corpus)
{
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(corpus / "aozora_txt"))
        if (entry.path().extension() == ".txt" &&
            entry.path().filename().string().find("chukiichiran") != std::string::npos)
            continue;
        else if (entry.path().extension() == ".txt")
            out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::size_t characters(std::string_view sjis)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < sjis.size(); i += sjis::charLength(sjis, i))
        n += sjis[i] != '\r' && sjis[i] != '\n';
    return n;
}

// One line of a book's base text with its analysis.
struct Line {
    std::string_view text;
    std::size_t start = 0; // in the base text
    std::vector<SpokenWord> words;
};

template<typename Visit> void eachLine(const SynthesizerWords& synth, const BaseText& base, Visit visit)
{
    for (std::size_t start = 0; start < base.text.size();) {
        std::size_t end = base.text.find('\n', start);
        end = end == std::string::npos ? base.text.size() : end;
        Line line{std::string_view(base.text).substr(start, end - start), start, {}};
        line.words = synth.words(line.text);
        visit(line);
        start = end + 1;
    }
}

std::string around(std::string_view doc, std::size_t offset, std::size_t length)
{
    std::size_t from = offset >= 40 ? offset - 40 : 0;
    // Land on a character boundary: walk from the line start.
    std::size_t lineStart = doc.rfind('\n', offset);
    lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    std::size_t i = lineStart;
    while (i < from)
        i += sjis::charLength(doc, i);
    const std::size_t to = std::min(doc.size(), offset + length + 30);
    std::string text = cp932::toUtf8(doc.substr(i, offset - i)) + "【" + cp932::toUtf8(doc.substr(offset, length)) +
                       "】" + cp932::toUtf8(doc.substr(offset + length, to - offset - length));
    std::replace(text.begin(), text.end(), '\t', ' ');
    std::erase(text, '\r');
    std::replace(text.begin(), text.end(), '\n', '/');
    return text;
}

int sample(const SynthesizerWords& synth, std::size_t row, std::size_t n, unsigned seed, const fs::path& corpus)
{
    const CorrectionRow& r = correctionRows()[row - 1];
    std::vector<std::string> places;
    for (const fs::path& book : books(corpus)) {
        const std::string doc = contents(book);
        const BaseText base = baseText(doc);
        eachLine(synth, base, [&](const Line& line) {
            for (std::size_t k = 0; k < line.words.size(); ++k) {
                const SpokenWord& w = line.words[k];
                if (base.rubied[line.start + w.offset] || !rowApplies(r, line.text, line.words, k) ||
                    synthesizerSays(line.words, w.offset, w.length, cp932::fromUtf8(r.reading)))
                    continue;
                const std::size_t at = base.from[line.start + w.offset];
                places.push_back(std::to_string(row) + '\t' + book.filename().string() + '\t' + std::to_string(at) +
                                 '\t' + w.pronunciation + "\t?\t" + around(doc, at, w.length));
            }
        });
    }
    std::shuffle(places.begin(), places.end(), std::mt19937(seed));
    places.resize(std::min(n, places.size()));
    for (const std::string& p : places)
        std::cout << p << '\n';
    return 0;
}

struct Figures {
    std::size_t characters = 0;
    std::size_t corrections = 0;     // places where a row changes what is said
    std::vector<std::size_t> perRow; // the same, row by row
    std::size_t taught = 0;          // places of book-taught words
    std::size_t taughtMisread = 0;   // of those, where the synthesizer says otherwise
    std::size_t taughtUnrubied = 0;  // places where the synthesizer says otherwise, in a ruby
};

void countBook(const SynthesizerWords& synth, std::string_view doc, Figures& f)
{
    f.characters += characters(doc);
    const BaseText base = baseText(doc);
    const std::vector<PlaceReading> taught = bookTaughtReadings(doc);
    auto nextTaught = taught.begin();
    eachLine(synth, base, [&](const Line& line) {
        for (const PlaceReading& c : readingCorrections(line.text, line.words)) {
            if (base.rubied[line.start + c.offset])
                continue;
            ++f.corrections;
            for (std::size_t k = 0; k < line.words.size(); ++k)
                if (line.words[k].offset == c.offset) {
                    const auto rows = correctionRows();
                    for (std::size_t r = 0; r < rows.size(); ++r)
                        if (rowApplies(rows[r], line.text, line.words, k)) {
                            ++f.perRow[r];
                            break;
                        }
                }
        }
        const std::size_t lineEnd = base.from[line.start + line.text.size()];
        for (; nextTaught != taught.end() && nextTaught->offset < lineEnd; ++nextTaught) {
            // The place in the line: base text offsets map one to one inside a kanji run.
            const auto at = std::lower_bound(
                base.from.begin() + static_cast<std::ptrdiff_t>(line.start),
                base.from.begin() + static_cast<std::ptrdiff_t>(line.start + line.text.size()), nextTaught->offset);
            const auto offset = static_cast<std::size_t>(at - base.from.begin()) - line.start;
            ++f.taught;
            if (!synthesizerSays(line.words, offset, nextTaught->length, nextTaught->reading))
                ++f.taughtMisread;
        }
    });
}

void perThousand(const char* what, std::size_t count, std::size_t chars)
{
    std::printf("%-58s %6zu  %.2f per 1,000\n", what, count,
                1000.0 * static_cast<double>(count) / static_cast<double>(chars));
}

int figures(const SynthesizerWords& synth, const fs::path& corpus)
{
    Figures f;
    f.perRow.assign(correctionRows().size(), 0);
    for (const fs::path& book : books(corpus))
        countBook(synth, contents(book), f);
    std::printf("characters %zu\n", f.characters);
    perThousand("table rows: readings the rows change (misread before)", f.corrections, f.characters);
    for (std::size_t r = 0; r < f.perRow.size(); ++r)
        std::printf("  row %2zu %-8s %-6s %6zu\n", r + 1, std::string(correctionRows()[r].surface).c_str(),
                    std::string(correctionRows()[r].reading).c_str(), f.perRow[r]);
    perThousand("book-taught places", f.taught, f.characters);
    perThousand("book-taught places the synthesizer misreads (before)", f.taughtMisread, f.characters);
    perThousand("book-taught places handed over (after: misread none)", f.taughtMisread, f.characters);
    return 0;
}

} // namespace

// What the reading step hands over, chunk by chunk, from a dump: "offset TAB text" in UTF-8.
std::vector<std::string> dumpedChunks(const fs::path& dump)
{
    std::vector<std::string> chunks;
    std::ifstream in(dump);
    for (std::string line; std::getline(in, line);)
        if (const std::size_t tab = line.find('\t'); tab != std::string::npos)
            chunks.push_back(cp932::fromUtf8(line.substr(tab + 1)));
    return chunks;
}

int spoken(const SynthesizerWords& synth, const fs::path& book, const fs::path& dump)
{
    const std::string doc = contents(book);
    // Each taught word once, with its reading.
    std::vector<std::pair<std::string, std::string>> taught;
    for (const PlaceReading& place : bookTaughtReadings(doc)) {
        std::pair<std::string, std::string> word{doc.substr(place.offset, place.length), place.reading};
        if (std::find(taught.begin(), taught.end(), word) == taught.end())
            taught.push_back(std::move(word));
    }
    std::size_t chars = 0;
    std::size_t corrections = 0;
    std::size_t otherwise = 0;
    for (const std::string& chunk : dumpedChunks(dump)) {
        chars += characters(chunk);
        const std::vector<SpokenWord> words = synth.words(chunk);
        corrections += readingCorrections(chunk, words).size();
        const std::string_view view(chunk);
        std::size_t before = 0; // the character before `at`
        for (std::size_t at = 0; at < view.size(); before = at, at += sjis::charLength(view, at))
            for (const auto& [base, reading] : taught) {
                if (!view.substr(at).starts_with(base))
                    continue;
                const std::size_t end = at + base.size();
                const bool whole =
                    (at == 0 || !isRubyBaseKanji(view.substr(before, at - before))) &&
                    (end >= view.size() || !isRubyBaseKanji(view.substr(end, sjis::charLength(view, end))));
                if (whole && !synthesizerSays(words, at, base.size(), reading))
                    ++otherwise;
            }
    }
    perThousand("correction rows that still apply", corrections, chars);
    perThousand("taught words said otherwise", otherwise, chars);
    return 0;
}

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const fs::path cache = fs::temp_directory_path() / "kven-reading-measures";
    const SynthesizerWords synth(SynthesizerWords::systemDictionary(), cache);
    if (!synth.available()) {
        std::cerr << "reading_measures: " << synth.problem() << '\n';
        return 1;
    }
    if (args.size() == 5 && args[0] == "--sample")
        return sample(synth, std::stoul(args[1]), std::stoul(args[2]), static_cast<unsigned>(std::stoul(args[3])),
                      args[4]);
    if (args.size() == 1)
        return figures(synth, args[0]);
    if (args.size() == 3 && args[0] == "--spoken")
        return spoken(synth, args[1], args[2]);
    std::cerr << "usage: reading_measures [--sample ROW N SEED] CORPUS_DIR\n";
    return 2;
}
