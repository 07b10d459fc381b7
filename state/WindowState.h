#pragma once
// Everything the logic reads and writes lives in the main window's controls. The logic
// reaches them only through this interface, so it runs without a window system: the window
// implements it over its widgets, tests and the command-line reader over plain memory.
// Texts are Shift_JIS byte strings unless a comment says otherwise.

#include "text/ReadingDictionary.h"
#include "text/RubyBases.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kven {

struct SliderRange {
    int min;
    int max;
};
// The unread and blank limits, in tenths of a chunk.
inline constexpr SliderRange kLimitSlider{0, 10};
// The speech rate.
inline constexpr SliderRange kSpeedSlider{-10, 10};

class WindowState {
public:
    virtual ~WindowState() = default;

    // Document editor editor. The text is reached by reference: a reading step must not copy it.
    virtual const std::string& text() const = 0;
    // Replaces the text; the cursor goes to 0 with an empty selection.
    virtual void setText(std::string text) = 0;
    // Replaces the text with a UTF-8 text as the user gave it (a paste): the editor shows it
    // as it is; text() has its line breaks (CR LF, CR or LF) as CR LF and "?" for a character
    // without a Shift_JIS code. The cursor goes to 0 with an empty selection.
    virtual void setTextFromUtf8(const std::string& utf8) = 0;
    // Cursor = selection start, a 0-based byte offset. Setting it clamps it to the text length
    // and collapses the selection.
    virtual std::size_t selStart() const = 0;
    virtual void setSelStart(std::size_t pos) = 0;
    // Selection length in bytes from the cursor, clamped to the end of the text.
    virtual std::size_t selLength() const = 0;
    virtual void setSelLength(std::size_t len) = 0;

    // Reading state: Start (startButton) enabled = idle, Stop (stopButton) enabled = reading.
    virtual bool startEnabled() const = 0;
    virtual void setStartEnabled(bool on) = 0;
    virtual bool stopEnabled() const = 0;
    virtual void setStopEnabled(bool on) = 0;

    // Options of the "etc" tab.
    virtual bool aozoraRuby() const = 0; // aozoraRubyBox "青空文庫ルビ"
    virtual void setAozoraRuby(bool on) = 0;
    virtual bool aaSkip() const = 0; // aaSkipBox "AA skip"
    virtual void setAaSkip(bool on) = 0;
    virtual bool headingSearch() const = 0; // headingSearchBox "見出しサーチ"
    virtual void setHeadingSearch(bool on) = 0;
    virtual bool repeatSuppression() const = 0; // repeatBox "リピート抑制"
    virtual void setRepeatSuppression(bool on) = 0;

    // Listening options of the "Option" menu; off in the design state.
    virtual bool silentNotes() const = 0; // "注記を読まない"
    virtual void setSilentNotes(bool on) = 0;
    virtual bool wordReadings() const = 0; // "読み替え辞書"
    virtual void setWordReadings(bool on) = 0;

    // Sliders. Setting a position clamps it into the slider's range.
    virtual int unreadLimit() const = 0; // unreadLimitBar, kLimitSlider
    virtual void setUnreadLimit(int pos) = 0;
    virtual int blankLimit() const = 0; // blankLimitBar, kLimitSlider
    virtual void setBlankLimit(int pos) = 0;
    virtual int speed() const = 0; // speedBar, kSpeedSlider
    // Runs the speed change handler when, and only when, the clamped position differs.
    virtual void setSpeed(int pos) = 0;

    // Skip list skipListBox.
    virtual const std::vector<std::string>& skipList() const = 0;
    virtual void setSkipList(std::vector<std::string> entries) = 0;
    virtual void addSkipEntry(std::string entry) = 0;

    // Talk symbols talkSymbolsEditor, the whole text of the memo.
    virtual const std::string& talkSymbols() const = 0;
    virtual void setTalkSymbols(std::string text) = 0;

    // A number that changes with every change of the skip list or the talk symbols, however
    // made, so that what is built from the two lists can be kept until it changes.
    virtual std::uint64_t listsRevision() const = 0;

    // Window caption, UTF-8. A text that is no document is read under kTemporaryCaption.
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string& caption) = 0;

    // Voice list voiceBox: selected index, -1 when nothing is selected. Setting an index
    // outside the list selects nothing; it never runs the selection handler.
    virtual int voiceIndex() const = 0;
    virtual void setVoiceIndex(int index) = 0;
    virtual int voiceCount() const = 0;
    // Replaces the list's entries with these descriptions (Shift_JIS); nothing selected.
    virtual void setVoices(const std::vector<std::string>& descriptions) = 0;

    // The main window's Left and Top, screen pixels.
    virtual int windowLeft() const = 0;
    virtual void setWindowLeft(int x) = 0;
    virtual int windowTop() const = 0;
    virtual void setWindowTop(int y) = 0;
};

inline constexpr const char* kTemporaryCaption = "KVEN (temporary)";

// The module-level variables of the main window's unit, shared by its methods.
struct SharedState {
    std::string currentPath; // current document path, held as CP932; empty when none is open
    std::string currentFile; // the same document as the file system names it (UTF-8)
    std::string lastSpoken;  // filtered text of the last chunk handed to the engine
    // Where the marked headings of the loaded page begin in the editor's text, in order;
    // empty for a text file or a paste.
    std::vector<std::size_t> headings;
    // Where the page's headings end (where the tag that closed one stood), rising: a heading
    // ends at the first of them from its start on, when that comes before the next heading.
    std::vector<std::size_t> headingEnds;
    // Where the ruby bases of the loaded page begin, which its text no longer shows; empty
    // for a text file or a paste.
    std::vector<RubyBase> rubyBases;
    // The reading dictionary as last read from its file; null reads as an empty one. Replaced
    // whole, never changed, so a reading step may hold on to it.
    std::shared_ptr<const ReadingDictionary> words;
};

} // namespace kven
