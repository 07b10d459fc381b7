#include "files/FileIo.h"
#include "files/Paths.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
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

// A link is written through and stays a link; anything that is not a regular file is left alone.
TEST(FileIo, AtomicWriteGoesThroughLinksAndOnlyIntoRegularFiles)
{
    ScratchFolder folder;
    folder.write("real", "old");
    folder.makeFolder("sub");
    ASSERT_EQ(::mkfifo(folder.path("fifo").c_str(), 0600), 0);
    const struct {
        const char* name;
        const char* linkTo; // nullptr: the name itself is the target
        bool written;
        const char* result; // the file that then holds "new"
    } rows[] = {
        {"link", "real", true, "real"},
        {"sub/relative", "../real", true, "real"}, // relative to the link's own folder
        {"dangling", "made", true, "made"},        // the link's target is created
        {"fifo", nullptr, false, nullptr},
        {"folder-link", "sub", false, nullptr},
        {"device-link", "/dev/null", false, nullptr},
    };
    for (const auto& row : rows) {
        const std::string path = folder.path(row.name);
        if (row.linkTo) {
            ASSERT_EQ(::symlink(row.linkTo, path.c_str()), 0) << row.name;
        }
        struct stat before {};
        ASSERT_EQ(::lstat(path.c_str(), &before), 0) << row.name;
        EXPECT_EQ(writeFileAtomic(path, "new"), row.written) << row.name;
        struct stat after {};
        ASSERT_EQ(::lstat(path.c_str(), &after), 0) << row.name;
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT) << row.name << " keeps its kind";
        if (row.result) {
            EXPECT_EQ(folder.read(row.result), "new") << row.name;
        }
    }
    // Replacing the device itself would need root, which tests may well have.
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
}

// A writer killed before its rename leaves its temporary file; the next write of the same file
// removes it, but neither the temporary file of a writer still at work nor a file named otherwise.
TEST(FileIo, NextWriteRemovesOnlyTemporariesOfWritersThatAreGone)
{
    ScratchFolder folder;
    const std::string path = folder.write("f", "old");
    AtomicFile live(path);
    ASSERT_EQ(live.open(), AtomicFile::Opened::ok);
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicFile killed(path);
        if (killed.open() == AtomicFile::Opened::ok && killed.write("half"))
            ::raise(SIGKILL);
        ::_exit(1);
    }
    // Dead but not yet reaped, as a writer whose parent has not looked yet.
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    ASSERT_EQ(info.si_code, CLD_KILLED);
    folder.write("f.part-notes", "kept");
    folder.write("f.part-1", "kept"); // process 1 always runs
    const auto names = [&] {
        std::set<std::string> found;
        for (const auto& e : std::filesystem::directory_iterator(folder.path()))
            found.insert(e.path().filename().string());
        return found;
    };
    const std::string liveName(fileNameOf(live.temporaryPath()));
    EXPECT_EQ(names().size(), 5u) << "the killed writer's temporary file is there";

    EXPECT_TRUE(writeFileAtomic(path, "new"));
    EXPECT_EQ(names(), (std::set<std::string>{"f", "f.part-notes", "f.part-1", liveName}));
    EXPECT_TRUE(live.write("live") && live.commit());
    EXPECT_EQ(folder.read("f"), "live");
    ::waitpid(child, nullptr, 0);
}

} // namespace
} // namespace kven
