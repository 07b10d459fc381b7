#include "app/EditorText.h"

#include "text/Cp932.h"
#include "text/Sjis.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace kven {

namespace {

// Editor units between two anchors: the most a single mapping walks.
constexpr int kAnchorSpacing = 256;

bool isSurrogatePair(QChar high, QChar low)
{
    return high.isHighSurrogate() && low.isLowSurrogate();
}

} // namespace

EditorText::EditorText(QPlainTextEdit& editor) : editor_(editor)
{
    connect(editor_.document(), &QTextDocument::contentsChanged, this, [this] {
        valid_ = false;
        selStartPos_ = -1;
        selEndPos_ = -1;
    });
}

const std::string& EditorText::text() const
{
    if (!valid_)
        derive();
    return sjis_;
}

void EditorText::setText(std::string sjis)
{
    QString shown;
    {
        const std::u16string wide = cp932::toWide(sjis);
        sjis = std::string();
        shown = QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
    }
    editor_.setPlainText(shown);
    shown = QString();
    select(0, 0);
}

void EditorText::derive() const
{
    const QString plain = editor_.toPlainText();
    const std::string bytes = cp932::fromWide(
        std::u16string_view(reinterpret_cast<const char16_t*>(plain.utf16()), static_cast<std::size_t>(plain.size())));
    const auto lineFeeds = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    sjis_.clear();
    sjis_.shrink_to_fit();
    sjis_.reserve(bytes.size() + lineFeeds);
    for (const char c : bytes) {
        if (c == '\n')
            sjis_.push_back('\r');
        sjis_.push_back(c);
    }

    anchors_.clear();
    anchors_.push_back({0, 0});
    const std::size_t n = sjis_.size();
    std::size_t offset = 0;
    int position = 0;
    int next = kAnchorSpacing;
    while (offset < n) {
        std::size_t bytesOfChar = 1;
        int units = 1;
        const char c = sjis_[offset];
        if ((c == '\r' && offset + 1 < n && sjis_[offset + 1] == '\n') || sjis::charLength(sjis_, offset) == 2) {
            bytesOfChar = 2;
        } else if (c == '?' && position + 1 < plain.size() && isSurrogatePair(plain[position], plain[position + 1])) {
            units = 2;
        }
        offset += bytesOfChar;
        position += units;
        if (position >= next) {
            anchors_.push_back({position, offset});
            next = position + kAnchorSpacing;
        }
    }
    valid_ = true;
}

std::pair<std::size_t, int> EditorText::charSize(std::size_t offset, int position) const
{
    const char c = sjis_[offset];
    if (c == '\r' && offset + 1 < sjis_.size() && sjis_[offset + 1] == '\n')
        return {2, 1};
    if (sjis::charLength(sjis_, offset) == 2)
        return {2, 1};
    if (c == '?') {
        const QTextDocument& doc = *editor_.document();
        if (isSurrogatePair(doc.characterAt(position), doc.characterAt(position + 1)))
            return {1, 2};
    }
    return {1, 1};
}

int EditorText::positionOf(std::size_t offset) const
{
    text();
    offset = std::min(offset, sjis_.size());
    auto it = std::upper_bound(anchors_.begin(), anchors_.end(), offset,
                               [](std::size_t value, const Anchor& a) { return value < a.offset; });
    const Anchor& from = *std::prev(it);
    std::size_t at = from.offset;
    int position = from.position;
    while (at < offset) {
        const auto [bytes, units] = charSize(at, position);
        if (at + bytes > offset)
            break;
        at += bytes;
        position += units;
    }
    return position;
}

std::size_t EditorText::offsetOf(int position) const
{
    text();
    position = std::max(position, 0);
    auto it = std::upper_bound(anchors_.begin(), anchors_.end(), position,
                               [](int value, const Anchor& a) { return value < a.position; });
    const Anchor& from = *std::prev(it);
    std::size_t at = from.offset;
    int pos = from.position;
    while (pos < position && at < sjis_.size()) {
        const auto [bytes, units] = charSize(at, pos);
        if (pos + units > position)
            break;
        at += bytes;
        pos += units;
    }
    return at;
}

std::size_t EditorText::selStart() const
{
    const int start = editor_.textCursor().selectionStart();
    if (valid_ && start == selStartPos_)
        return selStartOffset_;
    return offsetOf(start);
}

std::size_t EditorText::selLength() const
{
    const int end = editor_.textCursor().selectionEnd();
    const std::size_t start = selStart();
    const std::size_t endOffset = (valid_ && end == selEndPos_) ? selEndOffset_ : offsetOf(end);
    return endOffset > start ? endOffset - start : 0;
}

void EditorText::setSelStart(std::size_t pos)
{
    pos = std::min(pos, text().size());
    select(pos, pos);
}

void EditorText::setSelLength(std::size_t len)
{
    const std::size_t start = selStart();
    select(start, start + std::min(len, text().size() - start));
}

void EditorText::select(std::size_t start, std::size_t end)
{
    const int startPos = positionOf(start);
    const int endPos = positionOf(end);
    QTextCursor cursor(editor_.document());
    cursor.setPosition(startPos);
    cursor.setPosition(endPos, QTextCursor::KeepAnchor);
    editor_.setTextCursor(cursor);
    editor_.ensureCursorVisible();
    selStartOffset_ = start;
    selEndOffset_ = end;
    selStartPos_ = startPos;
    selEndPos_ = endPos;
}

} // namespace kven
