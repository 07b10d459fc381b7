#include "support/ZipWriter.h"

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <zip.h>

namespace kven::testing {

std::string zipOf(const std::vector<ZipEntry>& entries)
{
    const ScratchFolder folder;
    const std::string path = folder.path("archive.zip");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr) << error;
    if (archive == nullptr)
        return {};
    for (const ZipEntry& entry : entries) {
        zip_source_t* source = zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        EXPECT_GE(index, 0) << entry.name;
        const auto i = static_cast<zip_uint64_t>(index);
        if (entry.name == "mimetype")
            zip_set_file_compression(archive, i, ZIP_CM_STORE, 0);
        if (entry.encrypted)
            EXPECT_EQ(zip_file_set_encryption(archive, i, ZIP_EM_TRAD_PKWARE, "secret"), 0);
    }
    EXPECT_EQ(zip_close(archive), 0);
    return folder.read("archive.zip");
}

} // namespace kven::testing
