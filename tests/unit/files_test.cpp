#include "files/FileIo.h"
#include "files/Paths.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kven {
namespace {

using testing::ScopedEnv;

using testing::ScratchFolder;

std::string workingFolder()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

TEST(Paths, PiecesOfAPath)
{
    EXPECT_EQ(folderOf("/d/e/f.txt"), "/d/e");
    EXPECT_EQ(folderOf("/f.txt"), "/");
    EXPECT_EQ(folderOf("f.txt"), "");
    EXPECT_EQ(fileNameOf("/d/e/f.txt"), "f.txt");
    EXPECT_EQ(fileNameOf("f.txt"), "f.txt");
    EXPECT_EQ(fileNameOf("/d/"), "");
    EXPECT_EQ(extensionOf("/d.x/f.tar.TXT"), ".TXT");
    EXPECT_EQ(extensionOf("/d.x/README"), "") << "a dot in a folder name is no extension";
    EXPECT_EQ(extensionOf("/d/.profile"), ".profile");
    EXPECT_EQ(inFolder("/d", "KVEN.ini"), "/d/KVEN.ini");
    EXPECT_EQ(inFolder("/d/", "KVEN.ini"), "/d/KVEN.ini");
    EXPECT_EQ(inFolder("/", "KVEN.ini"), "/KVEN.ini");
}

// The same document named in different ways must find the same bookmark.
TEST(Paths, AbsolutePathsAreLexicallyNormal)
{
    const std::string cwd = workingFolder();
    ASSERT_FALSE(cwd.empty());
    const std::string parent(folderOf(cwd));
    const struct {
        std::string in;
        std::string out;
    } rows[] = {
        {"/d/x/doc.txt", "/d/x/doc.txt"},
        {"/d//x///doc.txt", "/d/x/doc.txt"},
        {"/d/./x/doc.txt", "/d/x/doc.txt"},
        {"/d/y/../x/doc.txt", "/d/x/doc.txt"},
        {"/../d/doc.txt", "/d/doc.txt"},
        {"doc.txt", inFolder(cwd, "doc.txt")},
        {"x//doc.txt", inFolder(cwd, "x/doc.txt")},
        {"./x/./doc.txt", inFolder(cwd, "x/doc.txt")},
        {"../x/doc.txt", inFolder(parent, "x/doc.txt")},
        {"/d/\x93\xfa/doc.txt", "/d/\x93\xfa/doc.txt"}, // bytes that are not UTF-8 stay as they are
    };
    for (const auto& row : rows)
        EXPECT_EQ(absolutePath(row.in), row.out) << row.in;
}

TEST(Paths, DataFolderIsAbsoluteAndBothFilesLiveInIt)
{
    {
        const ScopedEnv home("KVEN_HOME", "/some/where/");
        EXPECT_EQ(dataFolder(), "/some/where");
        EXPECT_EQ(settingsFilePath(), "/some/where/KVEN.ini");
        EXPECT_EQ(bookmarkFilePath(), "/some/where/KVEN.txt");
    }
    {
        const ScopedEnv home("KVEN_HOME", "rel/../home");
        EXPECT_EQ(dataFolder(), inFolder(workingFolder(), "home"));
        EXPECT_EQ(bookmarkFilePath(), inFolder(workingFolder(), "home/KVEN.txt"));
        EXPECT_EQ(folderOf(settingsFilePath()), folderOf(bookmarkFilePath()));
    }
    {
        const ScopedEnv home("KVEN_HOME", "");
        const std::string folder = dataFolder(); // the folder of the test program
        EXPECT_EQ(folder.front(), '/');
        EXPECT_EQ(bookmarkFilePath(), inFolder(folder, "KVEN.txt"));
    }
}

TEST(FileIo, ReadsOnlyRegularFilesWithinTheLimit)
{
    ScratchFolder folder;
    std::string out = "unchanged";
    EXPECT_EQ(readWholeFile(folder.write("f", "12345"), 5, out), ReadStatus::ok);
    EXPECT_EQ(out, "12345");
    out = "unchanged";
    EXPECT_EQ(readWholeFile(folder.path("f"), 4, out), ReadStatus::tooLarge) << "one byte over the limit";
    EXPECT_EQ(readWholeFile(folder.path("missing"), 100, out), ReadStatus::cannotOpen);
    EXPECT_EQ(readWholeFile(folder.makeFolder("dir"), 100, out), ReadStatus::cannotOpen);
    // Devices would be read until memory runs out, a FIFO would block the program forever.
    EXPECT_EQ(readWholeFile("/dev/zero", 100, out), ReadStatus::cannotOpen);
    EXPECT_EQ(readWholeFile("/dev/urandom", 100, out), ReadStatus::cannotOpen);
    const std::string fifo = folder.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readWholeFile(fifo, 100, out), ReadStatus::cannotOpen);
    EXPECT_EQ(out, "unchanged");
}

TEST(FileIo, AtomicWriteReplacesTheFileWhole)
{
    ScratchFolder folder;
    const std::string path = folder.write("f", "old");
    EXPECT_TRUE(writeFileAtomic(path, "new"));
    EXPECT_EQ(folder.read("f"), "new");
    EXPECT_FALSE(writeFileAtomic(folder.path("none/f"), "x"));
}

} // namespace
} // namespace kven
