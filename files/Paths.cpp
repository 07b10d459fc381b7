#include "files/Paths.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
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

} // namespace

std::string dataFolder()
{
    const char* home = std::getenv("KVEN_HOME");
    std::string folder = (home != nullptr && *home != '\0') ? absolutePath(home) : absolutePath(executableFolder());
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string settingsFilePath()
{
    return inFolder(dataFolder(), kSettingsFileName);
}

std::string bookmarkFilePath()
{
    return inFolder(dataFolder(), kBookmarkFileName);
}

std::string wordsFilePath()
{
    return inFolder(dataFolder(), kWordsFileName);
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
