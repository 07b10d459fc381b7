#pragma once
// A ZIP archive held in memory, read through libzip, with the bounds a document needs: entries
// are only ever read into memory, never extracted, and an archive that could not be a book or a
// text download is refused as a whole before anything of it is used.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace kven {

// True when `bytes` begin as a ZIP archive does (a local file header, or the end record of an
// empty archive).
bool looksLikeZip(std::string_view bytes);

class ZipArchive {
public:
    // The largest entry that is read, and the most all entries read together may hold.
    static constexpr std::size_t kEntryLimit = std::size_t{256} << 20;
    // An entry over kRatioFloor bytes that is more than kRatioLimit times its compressed size is
    // taken for a decompression bomb: real text and markup compress some 3 to 10 times.
    static constexpr std::size_t kRatioFloor = std::size_t{1} << 20;
    static constexpr std::size_t kRatioLimit = 100;

    // Opens the archive in `bytes`, which must outlive it. Throws KvenError naming `file` and
    // the reason when the archive is damaged, when an entry's name climbs out of it (an absolute
    // path or a ".." component), or when an entry is too large or compressed beyond belief.
    ZipArchive(std::string_view bytes, std::string_view file);
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // The entry names, in archive order.
    const std::vector<std::string>& names() const { return names_; }
    bool has(std::string_view name) const;
    // True when the entry is stored encrypted.
    bool encrypted(std::string_view name) const;
    // The whole entry. Throws KvenError naming the file when it is missing, encrypted, damaged
    // (its checksum fails) or would take the entries read together past kEntryLimit.
    std::string read(std::string_view name);

    // Throws KvenError with "ファイル <file> は開けません" and the reason as its detail.
    [[noreturn]] void refuse(std::string_view reason) const;

private:
    struct Discard {
        void operator()(zip* archive) const;
    };

    std::string file_;
    std::unique_ptr<zip, Discard> archive_;
    std::vector<std::string> names_;
    std::size_t taken_ = 0; // bytes read out so far
};

} // namespace kven
