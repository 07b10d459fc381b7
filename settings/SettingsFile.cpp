#include "settings/SettingsFile.h"

#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

namespace {

// A window edge stored at or below this is taken as "no position" and leaves the window
// where it is.
constexpr int kMinWindowEdge = -999;

constexpr std::string_view kVoice = "[Voice]";
constexpr std::string_view kAozora = "[Aozora]";
constexpr std::string_view kAa = "[AA]";
constexpr std::string_view kRepeat = "[Repeat]";
constexpr std::string_view kSilent = "[Silent]";
constexpr std::string_view kSpace = "[Space]";
constexpr std::string_view kSpeed = "[Speed]";
constexpr std::string_view kX = "[X]";
constexpr std::string_view kY = "[Y]";
constexpr std::string_view kHead = "[Head]";
constexpr std::string_view kNotes = "[Notes]";
constexpr std::string_view kWords = "[Words]";
constexpr std::string_view kMarks = "[Marks]";
constexpr std::string_view kNumbers = "[Numbers]";
constexpr std::string_view kEnglish = "[English]";
constexpr std::string_view kReadings = "[Readings]";
constexpr std::string_view kBookReadings = "[BookReadings]";
constexpr std::string_view kBlocks = "[Blocks]";
constexpr std::string_view kView = "[View]";
constexpr std::string_view kTalk = "[Talk]";
constexpr std::string_view kSkip = "[Skip]";
// The listening options, saved after the keys of old files and before the talk line, so that
// a reader that looks keys up by name finds everything where it was. Each is off in a file
// saved before it existed, so that the file reads as it always did.
constexpr struct {
    std::string_view key;
    bool ReadingOptions::*option;
} kListeningOptions[] = {{kNotes, &ReadingOptions::silentNotes},         {kWords, &ReadingOptions::wordReadings},
                         {kMarks, &ReadingOptions::passOverMarks},       {kNumbers, &ReadingOptions::readNumbers},
                         {kEnglish, &ReadingOptions::readEnglish},       {kReadings, &ReadingOptions::correctReadings},
                         {kBookReadings, &ReadingOptions::bookReadings}, {kBlocks, &ReadingOptions::blockLines}};
// Lines a save writes before the skip entries, besides the listening options: ten settings,
// then "[Talk]", the talk symbols and "[Skip]".
constexpr std::size_t kFixedSaveLines = 13;

// Keys are ASCII. A Shift_JIS lead byte in a line's name can never equal a key byte, so
// folding only ASCII letters cannot make a double-byte name match.
unsigned char foldAscii(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

// "=" (0x3D) is never the second byte of a Shift_JIS character, so a byte search finds the
// first real "=".
std::size_t equalsSign(std::string_view line)
{
    return line.find('=');
}

// Adds `line` as the memo's last line: the memo's text then ends with that line and "\r\n".
void addMemoLine(Session& session, std::string_view line)
{
    std::string text = session.talkSymbols();
    if (!text.empty() && text.back() != '\r' && text.back() != '\n')
        text.append("\r\n");
    text.append(line);
    text.append("\r\n");
    session.setTalkSymbols(std::move(text));
}

std::string flagLine(std::string_view key, bool on)
{
    return std::string(key) + (on ? "=-1" : "=0");
}

std::string numberLine(std::string_view key, int value)
{
    return std::string(key) + "=" + std::to_string(value);
}

} // namespace

std::ptrdiff_t findSettingsLine(const std::vector<std::string>& lines, std::string_view name)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t eq = equalsSign(line);
        if (eq != std::string_view::npos && equalsIgnoringAsciiCase(line.substr(0, eq), name))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

std::string_view settingsValue(const std::vector<std::string>& lines, std::string_view key)
{
    const std::ptrdiff_t index = findSettingsLine(lines, key);
    if (index < 0)
        return {};
    const std::string_view line = lines[static_cast<std::size_t>(index)];
    return line.substr(equalsSign(line) + 1);
}

SettingsFile::SettingsFile(Session& session, Dialogs& dialogs, std::string path)
    : session_(session), dialogs_(dialogs), path_(absolutePath(path))
{
}

void SettingsFile::load()
{
    std::string data;
    if (readWholeFile(path_, kSmallFileLimit, data) != ReadStatus::ok)
        throw KvenError(msgCannotOpen(path_));
    lines_ = splitLines(data);
}

int SettingsFile::number(std::string_view key) const
{
    return lenientInt(settingsValue(lines_, key));
}

void SettingsFile::applyOptions()
{
    session_.setOption(&ReadingOptions::aozoraRuby, number(kAozora) == -1);
    session_.setOption(&ReadingOptions::aaSkip, number(kAa) == -1);
    session_.setOption(&ReadingOptions::headingSearch, number(kHead) == -1);
    session_.setOption(&ReadingOptions::repeatSuppression, number(kRepeat) == -1);
    for (const auto& [key, option] : kListeningOptions)
        session_.setOption(option, number(key) == -1);
}

void SettingsFile::applyView()
{
    const int mode = number(kView);
    viewMode_ = mode == 1 || mode == 2 ? mode : 0;
}

void SettingsFile::applySliders()
{
    session_.setLimit(&ReadingOptions::unreadLimit, std::clamp(number(kSilent), kLimitSlider.min, kLimitSlider.max));
    session_.setLimit(&ReadingOptions::blankLimit, std::clamp(number(kSpace), kLimitSlider.min, kLimitSlider.max));
    // The session announces the speed only when it actually changes.
    session_.setSpeed(std::clamp(number(kSpeed), kSpeedSlider.min, kSpeedSlider.max));
}

void SettingsFile::applyWindowPosition()
{
    if (const int x = number(kX); x >= kMinWindowEdge)
        session_.setWindowLeft(x);
    if (const int y = number(kY); y >= kMinWindowEdge)
        session_.setWindowTop(y);
}

void SettingsFile::readTalkAndSkip(bool clearFirst)
{
    const std::vector<std::string>& lines = lines_;
    const std::ptrdiff_t talk = findSettingsLine(lines, kTalk);
    const std::ptrdiff_t skip = findSettingsLine(lines, kSkip);

    if (clearFirst)
        session_.setTalkSymbols({});
    // Without a "[Talk]" line the first line of the file is taken.
    const std::ptrdiff_t talkLine = talk + 1;
    if (static_cast<std::size_t>(talkLine) >= lines.size())
        throw KvenError(msgListIndex(talkLine));
    addMemoLine(session_, lines[static_cast<std::size_t>(talkLine)]);

    if (clearFirst)
        session_.setSkipList({});
    // Without a "[Skip]" line every line of the file is a skip entry.
    for (std::size_t i = static_cast<std::size_t>(skip + 1); i < lines.size(); ++i)
        session_.addSkipEntry(lines[i]);
}

void SettingsFile::startupRead(const std::function<void(int storedVoice)>& voiceSetUp)
{
    // Temporary files of a save that was killed go at the next start.
    removeStaleTemporaries(path_);
    load();
    applyOptions();
    applyView();
    applySliders();
    applyWindowPosition();
    const int storedVoice = number(kVoice);
    if (voiceSetUp)
        voiceSetUp(storedVoice);
    readTalkAndSkip(false);
}

bool SettingsFile::reload()
{
    if (!dialogs_.confirm("Listを再読み込みします"))
        return false;
    load();
    session_.setVoiceIndex(number(kVoice));
    applyOptions();
    applyView();
    applySliders();
    applyWindowPosition();
    readTalkAndSkip(true);
    return true;
}

void SettingsFile::save()
{
    if (!dialogs_.confirm("設定を保存します"))
        return;
    std::vector<std::string> lines;
    lines.reserve(kFixedSaveLines + std::size(kListeningOptions) + session_.skipList().size());
    lines.push_back(numberLine(kVoice, session_.voiceIndex()));
    lines.push_back(flagLine(kAozora, session_.options().aozoraRuby));
    lines.push_back(flagLine(kAa, session_.options().aaSkip));
    lines.push_back(flagLine(kRepeat, session_.options().repeatSuppression));
    lines.push_back(numberLine(kSilent, session_.options().unreadLimit));
    lines.push_back(numberLine(kSpace, session_.options().blankLimit));
    lines.push_back(numberLine(kSpeed, session_.speed()));
    lines.push_back(numberLine(kX, session_.windowLeft()));
    lines.push_back(numberLine(kY, session_.windowTop()));
    lines.push_back(flagLine(kHead, session_.options().headingSearch));
    for (const auto& [key, option] : kListeningOptions)
        lines.push_back(flagLine(key, session_.options().*option));
    if (viewMode_ != 0)
        lines.push_back(numberLine(kView, viewMode_));
    // "=0" only makes the section lines findable by name.
    lines.push_back(std::string(kTalk) + "=0");
    lines.push_back(trim(session_.talkSymbols()));
    lines.push_back(std::string(kSkip) + "=0");
    for (const std::string& entry : session_.skipList())
        lines.push_back(entry);
    if (!writeFileAtomic(path_, joinLinesCrLf(lines)))
        throw KvenError(msgCannotCreate(path_));
}

} // namespace kven
