#pragma once
// The reading session: the document with its text, the cursor, the reading options and lists,
// the reading flag, and the voice, speed and window placement the settings file keeps. The
// reading step, the loader, the settings and the export work on it; the main window shows it.
// Texts are Shift_JIS byte strings unless a comment says otherwise.
//
// A session is a value: a copy holds the same document, options and lists and nothing of the
// original's view or listeners, so the export can read a copy on a thread of its own.
//
// A view binds to it in two directions. Every change made here is announced to every
// listener, once, with what changed. A view that lets the user change the text, the
// cursor or the talk symbols itself (the window's editors) reports such a change with
// viewChanged(), and the session reads the part back through the view's readers when it is
// next asked for: an edit costs nothing until the reading needs it.

#include "state/Document.h"
#include "text/ReadingDictionary.h"

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

// What the reading step does besides cutting chunks: the check boxes, the Option menu's
// listening options and the two limits.
struct ReadingOptions {
    bool aozoraRuby = true;        // "青空文庫ルビ"
    bool aaSkip = true;            // "AA skip"
    bool headingSearch = true;     // "見出しサーチ"
    bool repeatSuppression = true; // "リピート抑制"
    bool silentNotes = false;      // "注記を読まない"
    bool wordReadings = false;     // "読み替え辞書"
    bool passOverMarks = false;    // "記号だけの部分を飛ばす"
    bool readNumbers = false;      // "数字を日本語で読む"
    bool readEnglish = false;      // "英単語を読む"
    bool correctReadings = false;  // "読み誤りを正す"
    bool bookReadings = false;     // "ルビの読みを他の箇所にも使う"
    bool blockLines = false;       // "段落ごとに区切る": a block of a page or a book ends its line
    // The unread and blank limits, kLimitSlider.
    int unreadLimit = 0;
    int blankLimit = 0;
    bool operator==(const ReadingOptions&) const = default;
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
        documentChanged = 1U << 11, // a document loaded: its text and all it holds
        dictionaryChanged = 1U << 12,
    };
    using Changes = unsigned;
    static constexpr Changes kEverything = (1U << 13) - 1;

    // How a view hands back what the user changed in it. A reader left empty is never asked.
    struct ViewReaders {
        std::function<std::string()> text;
        std::function<std::size_t()> selStart;
        std::function<std::size_t()> selLength;
        std::function<std::string()> talkSymbols;
    };

    // A listener's hold on the session: it hears the session's changes until this ends. It may
    // outlive the session.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription();
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;

    private:
        friend class Session;
        struct Listeners;
        Subscription(std::weak_ptr<Listeners> listeners, int id) : listeners_(std::move(listeners)), id_(id) {}
        void end();
        std::weak_ptr<Listeners> listeners_;
        int id_ = 0;
    };

    Session();
    // Copies and moves carry the values only (reading back what the view changed first): the
    // listeners and the view stay with the session they were given to. An assignment announces
    // every part as changed.
    Session(const Session& other);
    Session(Session&& other);
    Session& operator=(const Session& other);
    Session& operator=(Session&& other);
    ~Session();

    // `listener` runs after every change made here, with what changed, while the subscription
    // lasts; listeners run in the order they subscribed. Listening changes nothing of the value. An exception one
    // throws reaches the caller of the change, once the change is made, and the later listeners do not hear it.
    [[nodiscard]] Subscription subscribe(std::function<void(Changes)> listener) const;
    void bindView(ViewReaders readers) { view_ = std::move(readers); }
    // The view changed these parts itself (textChanged, selectionChanged, talkSymbolsChanged):
    // they are read back through its readers when next asked for. Announces nothing.
    void viewChanged(Changes parts);

    // The document being read, replaced whole by load(); the cursor goes to 0 with an empty
    // selection.
    const Document& document() const;
    void load(Document document);
    // The document's text. Reached by reference: a reading step must not copy it.
    const std::string& text() const;
    // Replaces the text within the same document, as an edit would; the cursor goes to 0 with
    // an empty selection.
    void setText(std::string text);
    // The text may no longer be the one loaded: setText() or the view changed it, or the view
    // told that it holds it in its own way.
    bool textEdited() const { return v_.textEdited; }
    // A number that changes with every change of the text, however made, so that what is
    // worked out from the text can be kept until it changes.
    std::uint64_t textRevision() const { return v_.textRevision; }

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
    // Announced when it changes.
    bool reading() const { return v_.reading; }
    void setReading(bool on);

    const ReadingOptions& options() const { return v_.options; }
    // A limit is clamped into kLimitSlider.
    void setOption(bool ReadingOptions::*option, bool on);
    void setLimit(int ReadingOptions::*limit, int pos);
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

    // The reading dictionary as last read from its file; null reads as an empty one. Replaced
    // whole, never changed, so a reading step may hold on to it.
    const std::shared_ptr<const ReadingDictionary>& readingDictionary() const { return v_.dictionary; }
    void setReadingDictionary(std::shared_ptr<const ReadingDictionary> dictionary);

    // The document's caption, UTF-8. A text that is no document is read under kTemporaryCaption.
    const std::string& caption() const { return v_.document.caption; }

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

    // The filtered text of the last chunk handed to the engine, for repeat suppression.
    const std::string& lastSpoken() const { return v_.lastSpoken; }
    void setLastSpoken(std::string spoken) { v_.lastSpoken = std::move(spoken); }

private:
    void announce(Changes changes);
    // Reads back what the view changed, before it is read or changed here.
    void catchUpText() const;
    void catchUpSelection() const;
    void catchUp() const;

    std::shared_ptr<Subscription::Listeners> listeners_;
    ViewReaders view_;
    // The parts the view changed that are not read back yet.
    mutable Changes stale_ = 0;

    // Everything a copy copies.
    struct Values {
        Document document;
        bool textEdited = false;
        std::uint64_t textRevision = 0;
        std::size_t selStart = 0;
        std::size_t selLength = 0;
        std::size_t chunkStart = 0;
        std::size_t chunkEnd = 0;
        bool reading = false;
        ReadingOptions options;
        int speed = 0;
        std::vector<std::string> skipList;
        std::string talkSymbols;
        std::uint64_t listsRevision = 0;
        std::shared_ptr<const ReadingDictionary> dictionary;
        int voiceIndex = -1;
        std::vector<std::string> voices;
        int left = 0;
        int top = 0;
        std::string lastSpoken;
    };
    mutable Values v_;
};

} // namespace kven
