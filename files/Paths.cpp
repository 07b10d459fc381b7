#include "files/Paths.h"

#include "files/FileIo.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kven {

namespace {

std::string executableFolder()
{
    char buffer[PATH_MAX];
    const ssize_t len = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (len <= 0)
        return ".";
    const std::string_view folder = folderOf(std::string_view(buffer, static_cast<std::size_t>(len)));
    return folder.empty() ? std::string(".") : std::string(folder);
}

std::string withoutTrailingSlash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// The user's own data folder for the program by the desktop's rule; empty when the user has no
// home folder.
std::string userDataFolder()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    // A relative $XDG_DATA_HOME is invalid by that rule and is passed over.
    if (dataHome != nullptr && *dataHome == '/')
        return withoutTrailingSlash(absolutePath(inFolder(dataHome, "KVEN")));
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || *home != '/')
        return {};
    return withoutTrailingSlash(absolutePath(inFolder(home, ".local/share/KVEN")));
}

// The data folder when $KVEN_HOME does not name one.
std::string defaultDataFolder()
{
    if (!installedDefaultsFolder().empty())
        if (std::string user = userDataFolder(); !user.empty())
            return user;
    return withoutTrailingSlash(absolutePath(executableFolder()));
}

} // namespace

std::string dataFolder()
{
    const char* home = std::getenv("KVEN_HOME");
    if (home != nullptr && *home != '\0')
        return withoutTrailingSlash(absolutePath(home));
    return defaultDataFolder();
}

std::string installedDefaultsFolder()
{
    const std::string folder = absolutePath(inFolder(executableFolder(), "../share/kven"));
    struct stat st {};
    const std::string settings = inFolder(folder, kSettingsFileName);
    return ::stat(settings.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? folder : std::string();
}

bool prepareDataFolder()
{
    const char* home = std::getenv("KVEN_HOME");
    const std::string defaults = installedDefaultsFolder();
    if ((home != nullptr && *home != '\0') || defaults.empty())
        return true;
    const std::string folder = dataFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return false;
    bool ready = true;
    for (const std::string_view name : {kSettingsFileName, kBookmarkFileName, kDictionaryFileName}) {
        const std::string target = inFolder(folder, name);
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0)
            continue;
        std::string contents;
        const bool shipped = readWholeFile(inFolder(defaults, name), kSmallFileLimit, contents) == ReadStatus::ok;
        // Without a bookmark file the first start would report it missing; the others are
        // optional: the design defaults and an empty dictionary stand in.
        if (shipped || name == kBookmarkFileName)
            ready = writeFileAtomic(target, contents) && ready;
    }
    return ready;
}

std::string settingsFilePath()
{
    return inFolder(dataFolder(), kSettingsFileName);
}

std::string bookmarkFilePath()
{
    return inFolder(dataFolder(), kBookmarkFileName);
}

std::string dictionaryFilePath()
{
    return inFolder(dataFolder(), kDictionaryFileName);
}

std::string inFolder(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

std::string_view folderOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string_view fileNameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view extensionOf(std::string_view path)
{
    const std::string_view name = fileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string absolutePath(std::string_view path)
{
    std::filesystem::path p{std::string(path)};
    if (!p.is_absolute()) {
        char buffer[PATH_MAX];
        if (::getcwd(buffer, sizeof buffer) != nullptr)
            p = std::filesystem::path(buffer) / p;
    }
    return p.lexically_normal().string();
}

} // namespace kven
