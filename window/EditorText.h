#pragma once
// The document editor's text as the reading logic sees it: Shift_JIS bytes and byte offsets
// over a QPlainTextEdit, which holds the text as QString. The byte text is derived from the
// editor when first asked for after a change and kept until the next change. Line breaks are
// CR LF in the byte text and one block separator in the editor; every other character is one
// CP932 character on the byte side and one UTF-16 unit (two for a character beyond U+FFFF,
// which is "?" on the byte side) in the editor.
//
// Offsets are mapped through anchors taken every few hundred characters when the text is
// derived, so mapping one offset costs time bounded by the anchor spacing, whatever the
// length of the document.

#include <QObject>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class QPlainTextEdit;

namespace kven {

class EditorText : public QObject {
public:
    explicit EditorText(QPlainTextEdit& editor);

    const std::string& text() const;
    // Shows `sjis` in the editor; the cursor goes to 0 with an empty selection. False when the
    // editor could not hold it byte for byte: text() is then what the editor made of it.
    bool setText(std::string sjis);

    // Selection start and length in bytes of text(). Setting the start clamps it to the
    // text length and collapses the selection; the length is clamped to the end of the text.
    // An offset inside a character or a CR LF stands for the editor position before it, but
    // the offset set from code is what selStart() reports as long as the editor's selection
    // is unchanged.
    std::size_t selStart() const;
    void setSelStart(std::size_t pos);
    std::size_t selLength() const;
    void setSelLength(std::size_t len);
    // Selects [start, end) with the caret at `end`; both are clamped to the text.
    void setSelection(std::size_t start, std::size_t end);

    // The editor position of a byte offset (rounded down to a character boundary), and back.
    int positionOf(std::size_t offset) const;
    std::size_t offsetOf(int position) const;

private:
    struct Anchor {
        int position;
        std::size_t offset;
    };
    // Bytes and editor units of the character at `offset` (editor position `position`).
    std::pair<std::size_t, int> charSize(std::size_t offset, int position) const;
    void derive() const;
    // Shows `sjis` when every character of it comes back unchanged, keeping it as the byte
    // text; false (nothing done) otherwise.
    bool setExactText(std::string& sjis);
    void select(std::size_t start, std::size_t end);

    QPlainTextEdit& editor_;
    mutable bool valid_ = false;
    mutable std::string sjis_;
    mutable std::vector<Anchor> anchors_;
    // The selection last set from code, as offsets and as the editor positions they became.
    std::size_t selStartOffset_ = 0;
    std::size_t selEndOffset_ = 0;
    int selStartPos_ = -1;
    int selEndPos_ = -1;
};

} // namespace kven
