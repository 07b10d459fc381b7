#pragma once
// A private folder under the system's temporary folder, removed with everything in it when
// the object goes away. Names handed in are relative to the folder.

#include <string>
#include <string_view>

namespace kven::testing {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string path(std::string_view name) const { return path_ + "/" + std::string(name); }

    // Creates or replaces the file (and any missing folders on the way) with exactly `bytes`.
    std::string write(std::string_view name, std::string_view bytes) const;
    // The file's bytes; fails the running test when it cannot be read.
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const;
    std::string makeFolder(std::string_view name) const;
    void remove(std::string_view name) const;

private:
    std::string path_;
};

} // namespace kven::testing
