#include "speech/OpenJTalk.h"

#include "files/Errors.h"
#include "text/Cp932.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace kven {
namespace {

namespace fs = std::filesystem;

std::string executableFolder()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

} // namespace

OpenJTalkSetup OpenJTalkSetup::standard()
{
    OpenJTalkSetup setup;
    const std::string here = executableFolder();
    setup.voiceFolders.push_back(here + "/voices");
    setup.voiceFolders.push_back(here + "/../share/kven/voices");
    setup.voiceFolders.push_back("/usr/share/hts-voice");
    if (const char* extra = std::getenv("KVEN_VOICES"); extra && *extra)
        setup.voiceFolders.push_back(extra);
    return setup;
}

std::string voiceDescription(std::string_view stem)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char c : stem) {
        if (c == '_' || c == '-' || c == ' ') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    if (parts.empty())
        return std::string(stem);
    if (parts.size() == 1)
        return parts[0];
    // Two words are a speaker and a style; more are a corpus name whose ends say who speaks.
    if (parts.size() == 2)
        return parts[0] + " (" + parts[1] + ")";
    return parts.front() + " " + parts.back();
}

std::vector<std::shared_ptr<const OpenJTalkVoice>> findVoices(const std::vector<std::string>& folders)
{
    struct Found {
        std::string path;
        std::string description;
        bool first;
    };
    std::vector<Found> found;
    std::set<std::string> seen;
    for (const std::string& folder : folders) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec))
            continue;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::path& p = it->path();
            if (p.extension() != ".htsvoice" || !it->is_regular_file(ec))
                continue;
            // The same voice installed in two folders is listed once, from the folder searched first.
            const std::string stem = p.stem().string();
            if (!seen.insert(stem).second)
                continue;
            found.push_back({p.string(), voiceDescription(stem), stem == "mei_normal"});
        }
    }
    if (found.empty()) {
        std::string list;
        for (const std::string& folder : folders)
            list += (list.empty() ? "" : ", ") + folder;
        throw KvenError("音声が見つかりません (.htsvoice を探したフォルダ: " + list + ")");
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.first != b.first)
            return a.first;
        if (a.description != b.description)
            return a.description < b.description;
        return a.path < b.path;
    });
    std::vector<std::shared_ptr<const OpenJTalkVoice>> voices;
    for (const Found& f : found)
        voices.push_back(std::make_shared<OpenJTalkVoice>(f.path, cp932::utf8ToWide(f.description)));
    return voices;
}

} // namespace kven
