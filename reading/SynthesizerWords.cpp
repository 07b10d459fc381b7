#include "reading/SynthesizerWords.h"

#include "text/Cp932.h"
#include "text/Sjis.h"
#include "text/Utf8.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mecab.h>
#include <system_error>
#include <unistd.h>

namespace kven {

namespace fs = std::filesystem;

struct SynthesizerWords::Model {
    // Tells the models apart, even one made where a destroyed one lay.
    std::uint64_t serial = 0;
    mecab_model_t* model = nullptr;
    mecab_t* tagger = nullptr;
    ~Model()
    {
        if (tagger != nullptr)
            mecab_destroy(tagger);
        if (model != nullptr)
            mecab_model_destroy(model);
    }
};

namespace {

// The analysis needs only the dictionary's own settings: its words are UTF-8 and a word's
// output is its feature line. The synthesizer reads the files with these same defaults.
constexpr std::string_view kDicrc = "; made by KVEN for its reading layer\n"
                                    "config-charset = UTF-8\n"
                                    "cost-factor = 800\n"
                                    "bos-feature = BOS/EOS,*,*,*,*,*,*,*,*\n";

// Writes `content` to `file` unless it already holds exactly that; through a temporary file
// and a rename, so that a copy starting at the same time reads either nothing or all of it.
bool writeIfChanged(const fs::path& file, std::string_view content)
{
    {
        std::ifstream in(file, std::ios::binary);
        const std::string have((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in && have == content)
            return true;
    }
    const fs::path temporary = file.string() + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out.flush())
            return false;
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    return !error;
}

// The folder of links to the dictionary's files with a "dicrc" and an empty settings file of
// its own, so that no user's or system's MeCab settings take part. Empty on failure.
std::string linkedDictionary(const fs::path& dictionary, const fs::path& cacheDir, std::string& problem)
{
    std::error_code error;
    if (!fs::is_regular_file(dictionary / "sys.dic", error)) {
        problem = "the synthesizer's dictionary is not installed (" + dictionary.string() + ")";
        return {};
    }
    const fs::path folder = cacheDir / "synthesizer-dictionary";
    fs::create_directories(folder, error);
    fs::directory_iterator entries(dictionary, error);
    bool linked = !error;
    for (const fs::directory_entry& entry : entries) {
        const fs::path link = folder / entry.path().filename();
        if (fs::read_symlink(link, error) == entry.path())
            continue;
        // Made aside and renamed over, so that copies starting at the same time never see a
        // link missing, nor fail on one another's.
        static std::atomic<unsigned> made{0};
        const fs::path temporary = link.string() + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++made);
        fs::remove(temporary, error);
        fs::create_symlink(entry.path(), temporary, error);
        if (!error)
            fs::rename(temporary, link, error);
        linked = linked && !error;
    }
    if (!linked || !writeIfChanged(folder / "dicrc", kDicrc) || !writeIfChanged(folder / "mecabrc", "")) {
        problem = "cannot prepare the synthesizer's dictionary in " + folder.string();
        return {};
    }
    return folder.string();
}

// The comma-separated fields of a feature line; a field in double quotes may hold commas.
std::vector<std::string> featureFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && (quoted || fields.back().empty())) {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += line[++i];
            else
                quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// Katakana of a word written in kana alone, as the synthesizer says a word it does not know;
// empty when the word holds anything else.
std::string kanaPronunciation(std::string_view utf8)
{
    std::u16string wide = cp932::utf8ToWide(utf8);
    for (char16_t& c : wide) {
        if (c >= u'ぁ' && c <= u'ゖ')
            c = static_cast<char16_t>(c + (u'ァ' - u'ぁ'));
        else if (!(c >= u'ァ' && c <= u'ヺ') && c != u'ー')
            return {};
    }
    return cp932::wideToUtf8(wide);
}

SpokenWord wordOf(const mecab_node_t& node)
{
    SpokenWord word;
    word.surface.assign(node.surface, node.length);
    std::string* const fields[] = {&word.partOfSpeech, &word.subclass[0], &word.subclass[1],
                                   &word.subclass[2],  &word.inflection,  &word.inflectedForm,
                                   &word.lemma,        &word.reading,     &word.pronunciation};
    const std::string_view feature(node.feature);
    if (feature.find('"') == std::string_view::npos) {
        // The usual entry, with no quoted field: each field a slice of the line.
        std::size_t from = 0;
        for (std::string* field : fields) {
            if (from > feature.size())
                break;
            const std::size_t comma = std::min(feature.find(',', from), feature.size());
            field->assign(feature.substr(from, comma - from));
            from = comma + 1;
        }
    } else {
        const std::vector<std::string> f = featureFields(feature);
        for (std::size_t k = 0; k < std::size(fields) && k < f.size(); ++k)
            *fields[k] = f[k];
    }
    word.known = node.stat != MECAB_UNK_NODE;
    if (!word.known && word.pronunciation.empty())
        word.pronunciation = kanaPronunciation(word.surface);
    return word;
}

// For each character of `utf8`, the Shift_JIS offset it came from, and one past the end; empty
// when the two do not pair up character for character.
std::vector<std::size_t> sjisOffsets(std::string_view sjisText, std::string_view utf8)
{
    std::vector<std::size_t> at(utf8.size() + 1, 0);
    std::size_t s = 0;
    std::size_t u = 0;
    while (s < sjisText.size() && u < utf8.size()) {
        const std::size_t step = utf8::decode(utf8, u).length;
        for (std::size_t k = 0; k < step; ++k)
            at[u + k] = s;
        u += step;
        s += sjis::charLength(sjisText, s);
    }
    if (s != sjisText.size() || u != utf8.size())
        return {};
    at[u] = s;
    return at;
}

} // namespace

SynthesizerWords::SynthesizerWords(SynthesizerWords&&) noexcept = default;

std::uint64_t SynthesizerWords::serial() const
{
    return model_ != nullptr ? model_->serial : 0;
}

const SynthesizerWords& SynthesizerWords::installed()
{
    static const SynthesizerWords words = [] {
        fs::path cache;
        if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/')
            cache = fs::path(xdg) / "kven";
        else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
            cache = fs::path(home) / ".cache" / "kven";
        else
            cache = fs::temp_directory_path() / ("kven-" + std::to_string(getuid()));
        SynthesizerWords loaded(systemDictionary(), cache);
        if (!loaded.available())
            std::fprintf(stderr, "kven: %s; readings are said as the synthesizer reads them\n",
                         loaded.problem().c_str());
        return loaded;
    }();
    return words;
}

const fs::path& SynthesizerWords::systemDictionary()
{
    static const fs::path path = "/var/lib/mecab/dic/open-jtalk/naist-jdic";
    return path;
}

SynthesizerWords::SynthesizerWords(const fs::path& dictionary, const fs::path& cacheDir)
{
    const std::string folder = linkedDictionary(dictionary, cacheDir, problem_);
    if (folder.empty())
        return;
    // As separate arguments, so that a folder name may hold blanks.
    const std::string rcfile = folder + "/mecabrc";
    std::vector<std::string> args = {"mecab", "-r", rcfile, "-d", folder};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    auto model = std::make_unique<Model>();
    static std::atomic<std::uint64_t> models{0};
    model->serial = ++models;
    model->model = mecab_model_new(static_cast<int>(argv.size()), argv.data());
    if (model->model != nullptr)
        model->tagger = mecab_model_new_tagger(model->model);
    if (model->tagger == nullptr) {
        problem_ = std::string("the synthesizer's dictionary cannot be loaded: ") + mecab_strerror(nullptr);
        return;
    }
    model_ = std::move(model);
}

SynthesizerWords::~SynthesizerWords() = default;

std::vector<SpokenWord> SynthesizerWords::words(std::string_view sjisText) const
{
    std::vector<SpokenWord> out;
    if (model_ == nullptr || sjisText.empty())
        return out;
    out.reserve(sjisText.size() / 4 + 1);
    const std::string utf8 = cp932::toUtf8(sjisText);
    const std::vector<std::size_t> at = sjisOffsets(sjisText, utf8);
    if (at.empty())
        return out;
    // One lattice a thread for each model, made at its first use there: making one costs more
    // than analysing a chunk.
    struct ThreadLattice {
        std::uint64_t model = 0;
        mecab_lattice_t* lattice = nullptr;
        ~ThreadLattice()
        {
            if (lattice != nullptr)
                mecab_lattice_destroy(lattice);
        }
    };
    thread_local ThreadLattice mine;
    if (mine.model != model_->serial) {
        if (mine.lattice != nullptr)
            mecab_lattice_destroy(mine.lattice);
        mine.lattice = mecab_model_new_lattice(model_->model);
        mine.model = model_->serial;
    }
    if (mine.lattice == nullptr) {
        mine.model = 0;
        return out;
    }
    mecab_lattice_t* const lattice = mine.lattice;
    mecab_lattice_clear(lattice);
    mecab_lattice_set_sentence2(lattice, utf8.data(), utf8.size());
    if (mecab_parse_lattice(model_->tagger, lattice) != 0) {
        for (const mecab_node_t* node = mecab_lattice_get_bos_node(lattice); node != nullptr; node = node->next) {
            if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE)
                continue;
            SpokenWord word = wordOf(*node);
            const auto begin = static_cast<std::size_t>(node->surface - utf8.data());
            word.offset = at[begin];
            word.length = at[begin + node->length] - word.offset;
            out.push_back(std::move(word));
        }
    }
    return out;
}

} // namespace kven
