#include "intake/ZipArchive.h"

#include "files/Errors.h"

#include <zip.h>

#include <algorithm>

namespace kven {

namespace {

constexpr std::string_view kDamaged = "壊れた zip ファイルです";
constexpr std::string_view kClimbing = "アーカイブの外を指す名前のファイルがあります";
constexpr std::string_view kTooLarge = "展開すると大きすぎます (256 MiB 超)";
constexpr std::string_view kBomb = "圧縮率が異常です (zip 爆弾の疑い)";
constexpr std::string_view kEncrypted = "暗号化されています";
constexpr std::string_view kMissing = "必要なファイルがアーカイブにありません";

// An absolute name or one with a ".." component would land outside a folder it was extracted
// into; either separator counts, as archives made on Windows use "\".
bool climbsOut(std::string_view name)
{
    if (name.starts_with('/') || name.starts_with('\\'))
        return true;
    for (std::size_t from = 0; from <= name.size();) {
        const std::size_t end = std::min(name.find_first_of("/\\", from), name.size());
        if (name.substr(from, end - from) == "..")
            return true;
        from = end + 1;
    }
    return false;
}

} // namespace

bool looksLikeZip(std::string_view bytes)
{
    return bytes.starts_with(std::string_view("PK\x03\x04", 4)) || bytes.starts_with(std::string_view("PK\x05\x06", 4));
}

ZipArchive::ZipArchive(std::string_view bytes, std::string_view file) : file_(file)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source != nullptr) {
        // No consistency check beyond libzip's own: archivers differ in what the local headers
        // repeat of the central directory, and every entry's checksum is checked as it is read.
        archive_.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
        if (!archive_)
            zip_source_free(source);
    }
    zip_error_fini(&error);
    if (!archive_)
        refuse(kDamaged);

    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive_.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            (st.valid & ZIP_STAT_NAME) == 0 || (st.valid & ZIP_STAT_SIZE) == 0 || (st.valid & ZIP_STAT_COMP_SIZE) == 0)
            refuse(kDamaged);
        const std::string_view name(st.name);
        if (climbsOut(name))
            refuse(kClimbing);
        if (st.size > kEntryLimit)
            refuse(kTooLarge);
        if (st.size > kRatioFloor && st.size / kRatioLimit > st.comp_size)
            refuse(kBomb);
        names_.emplace_back(name);
    }
}

void ZipArchive::Discard::operator()(zip* archive) const
{
    zip_discard(archive);
}

bool ZipArchive::has(std::string_view name) const
{
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool ZipArchive::encrypted(std::string_view name) const
{
    zip_stat_t st;
    return zip_stat(archive_.get(), std::string(name).c_str(), 0, &st) == 0 &&
           (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE;
}

std::string ZipArchive::read(std::string_view name)
{
    const std::string key(name);
    zip_stat_t st;
    if (zip_stat(archive_.get(), key.c_str(), 0, &st) != 0)
        refuse(kMissing);
    if (encrypted(name))
        refuse(kEncrypted);
    if (st.size > kEntryLimit - std::min(taken_, kEntryLimit))
        refuse(kTooLarge);
    zip_file_t* entry = zip_fopen_index(archive_.get(), st.index, 0);
    if (entry == nullptr)
        refuse(kDamaged);
    std::string bytes(static_cast<std::size_t>(st.size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const zip_int64_t n = zip_fread(entry, bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    // libzip checks the checksum when a read finds the end of the data, and a byte more than
    // the entry declares is damage as well.
    char beyond = 0;
    const bool ended = got == bytes.size() && zip_fread(entry, &beyond, 1) == 0;
    const bool intact = zip_fclose(entry) == 0 && ended;
    if (!intact)
        refuse(kDamaged);
    taken_ += bytes.size();
    return bytes;
}

void ZipArchive::refuse(std::string_view reason) const
{
    throw KvenError(msgCannotOpen(file_), std::string(reason));
}

} // namespace kven
