#include "support/ZipBytes.h"

#include <zip.h>

namespace kven::testing {

std::string zipOf(const std::vector<ZipEntry>& entries, bool deflate)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(source);
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    // Kept once more than the archive holds it, so that its bytes outlive the archive; an archive
    // that did not open holds nothing.
    if (archive == nullptr)
        zip_source_free(source);
    bool ok = archive != nullptr;
    for (const ZipEntry& entry : entries) {
        if (!ok)
            break;
        zip_source_t* bytes = zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), bytes, ZIP_FL_ENC_UTF_8);
        ok = index >= 0;
        if (!ok)
            zip_source_free(bytes);
        const auto i = static_cast<zip_uint64_t>(index);
        if (ok && (!deflate || entry.name == "mimetype"))
            ok = zip_set_file_compression(archive, i, ZIP_CM_STORE, 0) == 0;
        if (ok && entry.encrypted)
            ok = zip_file_set_encryption(archive, i, ZIP_EM_TRAD_PKWARE, "secret") == 0;
    }
    if (archive != nullptr && (!ok || zip_close(archive) != 0)) {
        zip_discard(archive);
        ok = false;
    }
    std::string out;
    if (ok && zip_source_open(source) == 0) {
        char buffer[65536];
        for (zip_int64_t n; (n = zip_source_read(source, buffer, sizeof buffer)) > 0;)
            out.append(buffer, static_cast<std::size_t>(n));
        zip_source_close(source);
    }
    zip_source_free(source);
    zip_error_fini(&error);
    return out;
}

} // namespace kven::testing
