#pragma once
// What the synthesizer will say: its text analysis run in the program. The synthesizer splits
// a text into words with MeCab and its own dictionary, and reads each word as that dictionary
// gives it; the same dictionary loaded through Debian's MeCab library gives the same words and
// readings, so a reading the program predicts is the reading the synthesizer says.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// One word of the analysis. The text fields are UTF-8 as the dictionary holds them; "*" where
// the dictionary has nothing to say, and empty for a word it does not know.
struct SpokenWord {
    std::size_t offset = 0; // where the word begins, in bytes of the analysed Shift_JIS text
    std::size_t length = 0; // its bytes in that text
    std::string surface;
    std::string partOfSpeech;  // 名詞, 動詞, 助詞...
    std::string subclass[3];   // finer classes: 固有名詞, 人名...
    std::string inflection;    // the inflection type: 五段・ワ行促音便...
    std::string inflectedForm; // 連用タ接続...
    std::string lemma;         // the dictionary form: 云う
    std::string reading;       // katakana, as written
    std::string pronunciation; // katakana, as said: ワ for the particle は
    bool known = true;         // false for a word the dictionary does not hold
};

// The synthesizer's dictionary loaded for analysis. Loading takes a fraction of a second and
// may run on any thread; once constructed, words() may be called from any number of threads
// at once (the model is shared read-only and each call has a lattice of its own).
class SynthesizerWords {
public:
    // Where Debian's synthesizer dictionary lies.
    static const std::filesystem::path& systemDictionary();
    // That dictionary, loaded once for the process at the first call (from any thread), its
    // folder of links kept in the user's cache folder. When it cannot be loaded, one line on
    // standard error says why, and it is unavailable.
    static const SynthesizerWords& installed();

    // Loads the dictionary of `dictionary`. That folder ships without the "dicrc" the MeCab
    // library reads, so a folder of links to its files with a "dicrc" beside them is made once
    // under `cacheDir` (created as needed) and loaded from there. On any failure the object is
    // unavailable and problem() says why, in one line fit for a warning.
    SynthesizerWords(const std::filesystem::path& dictionary, const std::filesystem::path& cacheDir);
    ~SynthesizerWords();
    SynthesizerWords(SynthesizerWords&&) noexcept;
    SynthesizerWords(const SynthesizerWords&) = delete;
    SynthesizerWords& operator=(const SynthesizerWords&) = delete;

    bool available() const { return model_ != nullptr; }
    // A number that tells this loaded dictionary from every other one the process loaded;
    // 0 when unavailable.
    std::uint64_t serial() const;
    const std::string& problem() const { return problem_; }

    // The words of `sjis`, a Shift_JIS text, in order, as the synthesizer reads it; blanks
    // between words belong to none. Empty when unavailable.
    std::vector<SpokenWord> words(std::string_view sjis) const;

private:
    struct Model;
    std::unique_ptr<Model> model_;
    std::string problem_;
};

} // namespace kven
