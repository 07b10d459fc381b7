#include "support/ScratchFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>

namespace fs = std::filesystem;

namespace kven::testing {

ScratchFolder::ScratchFolder()
{
    std::string pattern = (fs::temp_directory_path() / "kven-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ScratchFolder::write(std::string_view name, std::string_view bytes) const
{
    const fs::path file = path(name);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << file;
    return file.string();
}

std::string ScratchFolder::read(std::string_view name) const
{
    std::ifstream in(path(name), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path(name);
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ScratchFolder::exists(std::string_view name) const
{
    return fs::exists(path(name));
}

std::string ScratchFolder::makeFolder(std::string_view name) const
{
    fs::create_directories(path(name));
    return path(name);
}

void ScratchFolder::remove(std::string_view name) const
{
    fs::remove_all(path(name));
}

} // namespace kven::testing
