#pragma once
// The reading session: the document with its text, the cursor, the reading options and lists,
// the reading flag, and the voice, speed and window placement the settings file keeps. The
// reading step, the loader, the settings and the export work on it; the main window shows it.
// Texts are Shift_JIS byte strings unless a comment says otherwise.
//
// A session is a value: a copy holds the same text, options and document and nothing of the
// original's view or listener, so the export can read a copy on a thread of its own.
//
// A view binds to it in two directions. Every change made through a setter is announced to
// the one listener, once, with what changed. A view that lets the user change the text, the
// cursor or the talk symbols itself (the window's editors) reports such a change with
// viewChanged(), and the session reads the part back through the view's readers when it is
// next asked for: an edit costs nothing until the reading needs it.

#include "text/ReadingDictionary.h"
#include "text/RubyBases.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

inline constexpr const char* kTemporaryCaption = "KVEN (temporary)";

struct TocEntry {
    std::size_t offset;
    std::string title;
    bool operator==(const TocEntry&) const = default;
};

// What the text is, beyond its bytes.
struct Document {
    std::string path; // the document's path, held as CP932; empty when the text is no document
    std::string file; // the same document as the file system names it (UTF-8)
    // Where the marked headings of a loaded page begin in the text, in order; empty for a text
    // file or a paste.
    std::vector<std::size_t> headings;
    // Where the page's headings end (where the tag that closed one stood), rising: a heading
    // ends at the first of them from its start on, when that comes before the next heading.
    std::vector<std::size_t> headingEnds;
    // Where the ruby bases of a loaded page begin, which its text no longer shows; empty for a
    // text file or a paste.
    std::vector<RubyBase> rubyBases;
    // A book's table of contents: where each entry points in the text, rising, and its label
    // (UTF-8); empty for anything else.
    std::vector<TocEntry> contents;
    // A book's title and author from its own description (UTF-8); empty when it has none.
    std::string title;
    std::string author;
    // The reading dictionary as last read from its file; null reads as an empty one. Replaced
    // whole, never changed, so a reading step may hold on to it.
    std::shared_ptr<const ReadingDictionary> words;
};

class Session {
public:
    // What a change notification names; several at once are or-ed.
    enum Change : unsigned {
        textChanged = 1U << 0,
        selectionChanged = 1U << 1,
        readingChanged = 1U << 2,
        optionsChanged = 1U << 3,
        speedChanged = 1U << 4,
        skipListChanged = 1U << 5,
        talkSymbolsChanged = 1U << 6,
        captionChanged = 1U << 7,
        voicesChanged = 1U << 8, // the list of voices
        voiceChanged = 1U << 9,  // the voice chosen
        placementChanged = 1U << 10,
    };
    using Changes = unsigned;

    // How a view hands back what the user changed in it. A reader left empty is never asked.
    struct ViewReaders {
        std::function<std::string()> text;
        std::function<std::size_t()> selStart;
        std::function<std::size_t()> selLength;
        std::function<std::string()> talkSymbols;
    };

    Session() = default;
    // A copy reads back what the view changed first; it has no view and no listener.
    Session(const Session& other);
    // A move takes the view and the listener along.
    Session(Session&& other) noexcept = default;
    Session& operator=(Session&& other) noexcept = default;
    Session& operator=(const Session&) = delete;
    ~Session() = default;

    // Runs after every change made through a setter, with what changed. An exception it throws
    // reaches the setter's caller, once the change is made.
    void setListener(std::function<void(Changes)> listener) { listener_ = std::move(listener); }
    void bindView(ViewReaders readers) { view_ = std::move(readers); }
    // The view changed these parts itself (textChanged, selectionChanged, talkSymbolsChanged):
    // they are read back through its readers when next asked for. Announces nothing.
    void viewChanged(Changes parts);

    // The text. Reached by reference: a reading step must not copy it.
    const std::string& text() const;
    // Replaces the text; the cursor goes to 0 with an empty selection.
    void setText(std::string text);
    // Replaces the text with a UTF-8 text as the user gave it (a paste): text() has its line
    // breaks (CR LF, CR or LF) as CR LF and "?" for a character without a Shift_JIS code; a
    // view shows pastedUtf8(), which holds the text as given until the text changes again.
    // The cursor goes to 0 with an empty selection.
    void setTextFromUtf8(const std::string& utf8);
    const std::string& pastedUtf8() const { return v_.pastedUtf8; }

    // Cursor = selection start, a 0-based byte offset. Setting it clamps it to the text length
    // and collapses the selection.
    std::size_t selStart() const;
    void setSelStart(std::size_t pos);
    // Selection length in bytes from the cursor, clamped to the end of the text. Setting it
    // also makes the selection the chunk last selected.
    std::size_t selLength() const;
    void setSelLength(std::size_t len);
    // The span [start, end) last given a length in this text: the chunk the reading step chose
    // last.
    std::size_t chunkStart() const { return v_.chunkStart; }
    std::size_t chunkEnd() const { return v_.chunkEnd; }

    // The reading flag: on while reading (Stop is what the listener can do), off when idle.
    bool reading() const { return v_.reading; }
    void setReading(bool on);

    // Options.
    bool aozoraRuby() const { return v_.aozoraRuby; } // "青空文庫ルビ"
    void setAozoraRuby(bool on) { setOption(v_.aozoraRuby, on); }
    bool aaSkip() const { return v_.aaSkip; } // "AA skip"
    void setAaSkip(bool on) { setOption(v_.aaSkip, on); }
    bool headingSearch() const { return v_.headingSearch; } // "見出しサーチ"
    void setHeadingSearch(bool on) { setOption(v_.headingSearch, on); }
    bool repeatSuppression() const { return v_.repeatSuppression; } // "リピート抑制"
    void setRepeatSuppression(bool on) { setOption(v_.repeatSuppression, on); }
    bool silentNotes() const { return v_.silentNotes; } // "注記を読まない"
    void setSilentNotes(bool on) { setOption(v_.silentNotes, on); }
    bool wordReadings() const { return v_.wordReadings; } // "読み替え辞書"
    void setWordReadings(bool on) { setOption(v_.wordReadings, on); }
    bool passOverMarks() const { return v_.passOverMarks; } // "記号だけの部分を飛ばす"
    void setPassOverMarks(bool on) { setOption(v_.passOverMarks, on); }
    bool readNumbers() const { return v_.readNumbers; } // "数字を日本語で読む"
    void setReadNumbers(bool on) { setOption(v_.readNumbers, on); }
    bool readEnglish() const { return v_.readEnglish; } // "英単語を読む"
    void setReadEnglish(bool on) { setOption(v_.readEnglish, on); }
    // The limits, kLimitSlider; setting one clamps it into the range.
    int unreadLimit() const { return v_.unreadLimit; }
    void setUnreadLimit(int pos);
    int blankLimit() const { return v_.blankLimit; }
    void setBlankLimit(int pos);
    // The speech rate, kSpeedSlider; setting it clamps it, and announces it only when the
    // clamped rate differs.
    int speed() const { return v_.speed; }
    void setSpeed(int pos);

    const std::vector<std::string>& skipList() const { return v_.skipList; }
    void setSkipList(std::vector<std::string> entries);
    void addSkipEntry(std::string entry);
    // Removes entry `index`; an index outside the list removes nothing.
    void removeSkipEntry(std::size_t index);

    // The talk symbols, the whole text of their memo.
    const std::string& talkSymbols() const;
    void setTalkSymbols(std::string text);

    // A number that changes with every change of the skip list or the talk symbols, however
    // made, so that what is built from the two lists can be kept until it changes.
    std::uint64_t listsRevision() const { return v_.listsRevision; }

    // Window caption, UTF-8. A text that is no document is read under kTemporaryCaption.
    const std::string& caption() const { return v_.caption; }
    void setCaption(std::string caption);

    // The voice list: selected index, -1 when nothing is selected. Setting an index outside
    // the list selects nothing.
    int voiceIndex() const { return v_.voiceIndex; }
    void setVoiceIndex(int index);
    int voiceCount() const { return static_cast<int>(v_.voices.size()); }
    // The voices' descriptions (Shift_JIS); replacing them selects nothing.
    const std::vector<std::string>& voices() const { return v_.voices; }
    void setVoices(std::vector<std::string> descriptions);

    // The main window's Left and Top, screen pixels.
    int windowLeft() const { return v_.left; }
    void setWindowLeft(int x);
    int windowTop() const { return v_.top; }
    void setWindowTop(int y);

    Document& document() { return v_.document; }
    const Document& document() const { return v_.document; }
    // The text becomes no document: no path, no headings, no ruby bases.
    void becomePaste();
    // The text becomes the document of `file` (UTF-8); its headings and ruby bases are the
    // loader's to set.
    void becomeFile(const std::string& file);

    // The filtered text of the last chunk handed to the engine, for repeat suppression.
    std::string& lastSpoken() { return v_.lastSpoken; }
    const std::string& lastSpoken() const { return v_.lastSpoken; }

private:
    void announce(Changes changes);
    void setOption(bool& option, bool on);
    // Reads back what the view changed, before it is read or changed here.
    void catchUpText() const;
    void catchUpSelection() const;

    std::function<void(Changes)> listener_;
    ViewReaders view_;
    // The parts the view changed that are not read back yet.
    mutable Changes stale_ = 0;

    // Everything a copy copies.
    struct Values {
        std::string text;
        std::string pastedUtf8;
        std::size_t selStart = 0;
        std::size_t selLength = 0;
        std::size_t chunkStart = 0;
        std::size_t chunkEnd = 0;
        bool reading = false;
        bool aozoraRuby = true;
        bool aaSkip = true;
        bool headingSearch = true;
        bool repeatSuppression = true;
        bool silentNotes = false;
        bool wordReadings = false;
        bool passOverMarks = false;
        bool readNumbers = false;
        bool readEnglish = false;
        int unreadLimit = 0;
        int blankLimit = 0;
        int speed = 0;
        std::vector<std::string> skipList;
        std::string talkSymbols;
        std::uint64_t listsRevision = 0;
        std::string caption = "KVEN";
        int voiceIndex = -1;
        std::vector<std::string> voices;
        int left = 0;
        int top = 0;
        Document document;
        std::string lastSpoken;
    };
    mutable Values v_;
};

} // namespace kven
