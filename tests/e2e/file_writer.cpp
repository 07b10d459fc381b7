// Drives the real settings and bookmark writers for files_under_kill.sh:
//   kven_file_writer MODE HOME
//   init   a settings file and the bookmark lines of many other documents
//   loop   saves the settings and leaves the current document, over and over, until killed
//   check  exit 0 when both files are whole: the settings file exactly as one save wrote it,
//          every other document's line there once; otherwise says what is wrong, exit 1
//   save, leave   one save, or one leave of the current document
//   start  what a start reads: the settings file, then the current document's bookmark
// A failure is printed as the window shows it, with exit status 1.

#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "intake/Bookmarks.h"
#include "settings/SettingsFile.h"
#include "state/Session.h"
#include "support/AnsweringDialogs.h"
#include "support/Documents.h"
#include "text/TextOps.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

using namespace kven;

constexpr int kOtherDocuments = 100;
const std::string kCurrent = "/probe/current.txt";

// Bookmark lines of other documents, by path; one path contains the current one.
std::map<std::string, std::size_t> otherDocuments()
{
    std::map<std::string, std::size_t> docs;
    for (int i = 0; i < kOtherDocuments; ++i)
        docs["/probe/doc-" + std::to_string(i) + ".txt"] = static_cast<std::size_t>(i);
    docs[kCurrent + ".old"] = 7;
    return docs;
}

class Writer {
public:
    explicit Writer(const std::string& home)
        : settingsPath_(inFolder(home, kSettingsFileName)), bookmarkPath_(inFolder(home, kBookmarkFileName))
    {
        session_.setText(std::string(1 << 20, 'x'));
    }

    // A save whose every line tells `version`.
    void save(int version)
    {
        session_.setWindowLeft(version);
        session_.setWindowTop(-version);
        session_.setSpeed(version % 21 - 10);
        session_.setTalkSymbols("\x81\x48\x81\x49"); // ？！
        std::vector<std::string> skip;
        for (int i = 0; i < 150; ++i)
            skip.push_back("skip-" + std::to_string(version) + "-" + std::to_string(i));
        session_.setSkipList(std::move(skip));
        SettingsFile(session_, dialogs_, settingsPath_).save();
    }

    void leave(const std::string& path, std::size_t cursor)
    {
        kven::testing::nameDocument(session_, path);
        session_.setSelStart(cursor);
        Bookmarks(session_, bookmarkPath_).recordPosition();
    }

    void start()
    {
        SettingsFile(session_, dialogs_, settingsPath_).startupRead();
        kven::testing::nameDocument(session_, kCurrent);
        Bookmarks(session_, bookmarkPath_).lookup();
    }

    const std::string settingsPath_;
    const std::string bookmarkPath_;

private:
    Session session_;
    testing::AnsweringDialogs dialogs_;
};

std::string readAll(const std::string& path)
{
    std::string data;
    if (readWholeFile(path, kSmallFileLimit, data) != ReadStatus::ok)
        throw KvenError(msgCannotOpen(path));
    return data;
}

// What is wrong with the two files, or nothing.
std::string check(const std::string& home)
{
    const std::string settings = readAll(inFolder(home, kSettingsFileName));
    const std::vector<std::string> lines = splitLines(settings);
    const int version = lenientInt(settingsValue(lines, "[X]"));
    std::string scratch = (std::filesystem::temp_directory_path() / "kven-check-XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr)
        return "no scratch folder";
    Writer expected(scratch);
    expected.save(version);
    const std::string whole = readAll(expected.settingsPath_);
    std::filesystem::remove_all(scratch);
    std::string wrong;
    if (settings != whole)
        wrong += "the settings file is not whole (" + std::to_string(settings.size()) + " bytes, version " +
                 std::to_string(version) + ");";

    const std::string bookmarks = readAll(inFolder(home, kBookmarkFileName));
    if (!bookmarks.empty() && !bookmarks.ends_with("\r\n"))
        wrong += " the bookmark file ends inside a line;";
    std::map<std::string, std::size_t> others = otherDocuments();
    int current = 0;
    for (const std::string& line : splitLines(bookmarks)) {
        const std::size_t comma = line.rfind(',');
        const std::string path = line.substr(0, comma);
        const auto other = others.find(path);
        if (other != others.end() && line == path + "," + std::to_string(other->second))
            others.erase(other);
        else if (path == kCurrent)
            ++current;
        else
            wrong += " stray bookmark line \"" + line + "\";";
    }
    for (const auto& [path, cursor] : others)
        wrong += " lost the bookmark of " + path + ";";
    if (current > 1)
        wrong += " the current document has " + std::to_string(current) + " lines;";
    return wrong;
}

int run(const std::string& mode, const std::string& home)
{
    Writer writer(home);
    if (mode == "init") {
        writer.save(0);
        for (const auto& [path, cursor] : otherDocuments())
            writer.leave(path, cursor);
    } else if (mode == "loop") {
        // Versions differ from one run to the next, so a kill between runs changes the file.
        int version = static_cast<int>(std::chrono::steady_clock::now().time_since_epoch().count() % 100000);
        for (;;) {
            writer.save(version);
            writer.leave(kCurrent, static_cast<std::size_t>(version));
            ++version;
        }
    } else if (mode == "check") {
        const std::string wrong = check(home);
        if (!wrong.empty()) {
            std::printf("%s\n", wrong.c_str());
            return 1;
        }
    } else if (mode == "save") {
        writer.save(1);
    } else if (mode == "leave") {
        writer.leave(kCurrent, 1);
    } else if (mode == "start") {
        writer.start();
    } else {
        std::fprintf(stderr, "kven_file_writer: unknown mode %s\n", mode.c_str());
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: kven_file_writer init|loop|check|save|leave|start HOME\n", stderr);
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const KvenError& e) {
        std::fprintf(stderr, "%s\n", errorBoxText(e.what()).c_str());
        return 1;
    }
}
