// The reading filter on arbitrary bytes: chunks always make progress and stay inside the
// text, and the spoken text holds whole characters only (a double-byte character, a blank,
// a talk symbol or the unread mark), at most the full-width map's limit in bytes unless the
// reading dictionary or the English words lengthened it. Notes, the dictionary and the English
// words are among the options.

#include "reading/ChunkFilter.h"
#include "text/EnglishLexicon.h"
#include "text/FullWidth.h"
#include "text/ReadingDictionary.h"
#include "text/Sjis.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kTalkSymbols = "\x81\x41\x81\x42\r\n"; // 、。 CR LF

bool wholeCharacters(std::string_view spoken)
{
    for (std::size_t i = 0; i < spoken.size();) {
        const std::size_t len = kven::sjis::charLength(spoken, i);
        const std::string_view c = spoken.substr(i, len);
        i += len;
        if (len == 1 && !kven::sjis::isLeadByte(c[0]) &&
            (c == " " || c == kven::sjis::kUnreadMark || kTalkSymbols.find(c) != std::string_view::npos))
            continue;
        if (len == 2 && kven::sjis::isLeadByte(c[0]))
            continue;
        return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte chooses the options; the rest is the document.
    const std::uint8_t flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    static const std::vector<std::string> skipList = {"\x82\xa0", "", "x"};
    kven::FilterOptions options;
    options.aozoraRuby = (flags & 1) != 0;
    options.aaSkip = (flags & 2) != 0;
    options.unreadLimit = (flags >> 2) % 11;
    options.blankLimit = (flags >> 4) % 11;
    options.silentNotes = (flags & 0x40) != 0;
    options.wordReadings = (flags & 0x80) != 0;
    // The flags byte is full: the three low bits of the input's length choose the last options.
    options.passOverMarks = (size & 1) != 0;
    options.readNumbers = (size & 2) != 0;
    options.readEnglish = (size & 4) != 0;
    // Words that meet the dictionary's, capitals, a reading longer than its letters, and one
    // another.
    static const kven::EnglishLexicon english("(\"mecab\" nil (((m eh) 1) ((k ae b) 0)))\n"
                                              "(\"mr\" nil (((m ih) 1) ((s t er) 0)))\n"
                                              "(\"nhkx\" nil (((n ax k s) 1)))\n"
                                              "(\"ab\" nil (((ae b) 1)))\n"
                                              "(\"abab\" nil (((ax) 0) ((b ae b) 1)))\n");
    options.english = &english;
    // The document read as a lexicon too: whatever entries it holds are turned into kana.
    if (options.readEnglish && kven::EnglishLexicon(text).size() > text.size())
        std::abort();
    // Words that meet Latin letters of both cases and widths, kana and kanji, and one another.
    static const std::vector<kven::ReadingDictionary::Entry> words = {
        {"MeCab", "\x83\x81\x83\x4a\x83\x75"},    // メカブ
        {"\x93\x8c\x8b\x9e", "\x82\xc6\x82\xa4"}, // 東京=とう
        {"\x93\x8c\x8b\x9e\x93\x73", "x"},        // 東京都
        {"a", ""},
        {"\xb6\xde", "\x82\xaa"}, // ｶﾞ=が
    };
    static const kven::ReadingDictionary dictionary(words);
    options.dictionary = &dictionary;
    options.skipList = skipList;
    options.talkSymbols = kTalkSymbols;
    // Ruby bases as a page would have them: the character before every "《".
    std::vector<std::string> bases;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = kven::sjis::charLength(text, i);
        if (i >= 2 && text.substr(i, len) == kven::sjis::kRubyOpen)
            bases.emplace_back(text.substr(i - 2, 2));
        i += len;
    }
    const std::vector<kven::RubyBase> located = kven::locateRubyBases(text, bases);
    options.rubyBases = located;

    std::size_t cursor = 0;
    while (cursor < text.size()) {
        const std::size_t len = kven::chunkLength(text.substr(cursor), options.silentNotes);
        if (len == 0 || len > text.size() - cursor)
            std::abort();
        const std::string spoken = kven::spokenAt(text, cursor, len, options);
        // Readings, English words and numbers in words may be longer than what they stand
        // for: only the text of the chunk is bounded.
        const bool longer = options.wordReadings || options.readNumbers || options.readEnglish;
        if ((!longer && spoken.size() > kven::kFullWidthLimit) || !wholeCharacters(spoken))
            std::abort();
        cursor += len;
    }
    return 0;
}
