#include "window/EditorText.h"

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
// Units converted at a time when the byte text is derived.
constexpr std::size_t kBatchUnits = 1 << 16;
// Bytes converted at a time when a text is shown.
constexpr std::size_t kSliceBytes = 1 << 16;

bool isSurrogatePair(QChar high, QChar low)
{
    return high.isHighSurrogate() && low.isLowSurrogate();
}

// The end of the slice of `sjis` that starts at `pos`: about kSliceBytes long and ending at a
// character boundary, found after a line feed (never part of a double-byte character) or, in
// a line longer than a slice, by walking the characters from `pos`.
std::size_t sliceEnd(const std::string& sjis, std::size_t pos)
{
    if (sjis.size() - pos <= kSliceBytes)
        return sjis.size();
    const std::size_t limit = pos + kSliceBytes;
    const std::size_t lineFeed = sjis.rfind('\n', limit - 1);
    if (lineFeed != std::string::npos && lineFeed >= pos)
        return lineFeed + 1;
    std::size_t end = pos;
    while (end < limit)
        end += sjis::charLength(sjis, end);
    return end;
}

// The characters that come back from the editor byte for byte, with the UTF-16 unit each
// one shows as: built once from iconv's own answers (every one- and two-byte code converted
// there and back in two calls), so it says nothing iconv would not. A code whose way back
// differs (a duplicate of the vendor rows, an unassigned code) or that is CR or LF has none.
class RoundTrip {
public:
    static constexpr char16_t kNone = 0xFFFF; // a noncharacter: no CP932 code decodes to it

    static const RoundTrip& instance()
    {
        static const RoundTrip table;
        return table;
    }
    char16_t unit(unsigned code) const { return units_[code]; }

private:
    RoundTrip()
    {
        std::vector<unsigned> codes;
        std::string all;
        for (unsigned b = 0; b < 0x100; ++b) {
            if (b == '\r' || b == '\n' || sjis::isLeadByte(static_cast<unsigned char>(b)))
                continue;
            codes.push_back(b);
            all.push_back(static_cast<char>(b));
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!sjis::isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                codes.push_back(lead << 8 | trail);
                all.push_back(static_cast<char>(lead));
                all.push_back(static_cast<char>(trail));
            }
        }
        // toWide gives one unit per code here, the unconvertible ones included ("?").
        const std::u16string wide = cp932::toWide(all);
        if (wide.size() != codes.size())
            return;
        const std::string back = cp932::fromWide(wide);
        std::size_t at = 0;
        for (std::size_t i = 0; i < codes.size() && at < back.size(); ++i) {
            const std::size_t len = sjis::charLength(back, at);
            const auto first = static_cast<unsigned char>(back[at]);
            const unsigned code = len == 2 ? (unsigned{first} << 8 | static_cast<unsigned char>(back[at + 1])) : first;
            if (code == codes[i])
                units_[codes[i]] = wide[i];
            at += len;
        }
    }

    std::vector<char16_t> units_ = std::vector<char16_t>(0x10000, kNone);
};

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

bool EditorText::setText(std::string sjis)
{
    const bool exact = setExactText(sjis);
    if (!exact) {
        // Converted a slice at a time straight into the editor's string, so that no second
        // copy of the whole text in UTF-16 is ever held.
        QString shown;
        shown.reserve(static_cast<qsizetype>(sjis.size()));
        for (std::size_t pos = 0; pos < sjis.size();) {
            const std::size_t end = sliceEnd(sjis, pos);
            const std::u16string wide = cp932::toWide(std::string_view(sjis).substr(pos, end - pos));
            shown.append(QStringView(wide.data(), static_cast<qsizetype>(wide.size())));
            pos = end;
        }
        sjis = std::string();
        editor_.setPlainText(shown);
    }
    select(0, 0);
    return exact;
}

bool EditorText::setExactText(std::string& sjis)
{
    // The common case: every character comes back from the editor as it went in, so the text
    // is shown through the round-trip table and kept as the byte text, with no conversion
    // back and no walk over the editor. The string is sized for the worst case of one unit
    // per byte; only the units written take up memory.
    const RoundTrip& table = RoundTrip::instance();
    QString shown(static_cast<qsizetype>(sjis.size()), Qt::Uninitialized);
    auto* const first = reinterpret_cast<char16_t*>(shown.data());
    char16_t* out = first;
    const auto* const begin = reinterpret_cast<const unsigned char*>(sjis.data());
    const auto* const end = begin + sjis.size();
    std::vector<Anchor> anchors{{0, 0}};
    qsizetype next = kAnchorSpacing;
    for (const unsigned char* p = begin; p < end;) {
        const unsigned b = *p;
        char16_t unit;
        if (b == '\r' && p + 1 < end && p[1] == '\n') {
            unit = u'\n';
            p += 2;
        } else if (sjis::isLeadByte(static_cast<unsigned char>(b)) && p + 1 < end) {
            unit = table.unit(b << 8 | p[1]);
            p += 2;
        } else {
            unit = table.unit(b); // none for a lone CR or LF
            p += 1;
        }
        if (unit == RoundTrip::kNone)
            return false;
        *out++ = unit;
        if (out - first >= next) {
            anchors.push_back({static_cast<int>(out - first), static_cast<std::size_t>(p - begin)});
            next = (out - first) + kAnchorSpacing;
        }
    }
    const qsizetype units = out - first;
    shown.resize(units);
    editor_.setPlainText(shown);
    shown = QString();
    // The editor keeps every unit it was given; should it not, the text is derived instead.
    if (editor_.document()->characterCount() - 1 == units) {
        sjis_ = std::move(sjis);
        anchors_ = std::move(anchors);
        valid_ = true;
    }
    return true;
}

void EditorText::derive() const
{
    const QTextDocument& doc = *editor_.document();
    sjis_.clear();
    sjis_.reserve(static_cast<std::size_t>(doc.characterCount()) * 2);
    anchors_.clear();
    anchors_.push_back({0, 0});

    // Blocks are gathered into batches of whole blocks, so a surrogate pair never straddles
    // two batches; each batch is converted and walked unit by unit for the anchors.
    std::u16string batch;
    int batchStart = 0;
    int nextAnchor = kAnchorSpacing;
    auto convert = [&] {
        const std::string bytes = cp932::fromWide(batch);
        std::size_t at = 0;
        int unit = 0;
        while (at < bytes.size()) {
            const char c = bytes[at];
            if (c == '\n') {
                sjis_.append("\r\n");
                at += 1;
                unit += 1;
            } else if (sjis::charLength(bytes, at) == 2) {
                sjis_.append(bytes, at, 2);
                at += 2;
                unit += 1;
            } else {
                const auto next = static_cast<std::size_t>(unit) + 1;
                const bool pair = c == '?' && next < batch.size() &&
                                  isSurrogatePair(QChar(batch[static_cast<std::size_t>(unit)]), QChar(batch[next]));
                sjis_.push_back(c);
                at += 1;
                unit += pair ? 2 : 1;
            }
            if (batchStart + unit >= nextAnchor) {
                anchors_.push_back({batchStart + unit, sjis_.size()});
                nextAnchor = batchStart + unit + kAnchorSpacing;
            }
        }
        batchStart += static_cast<int>(batch.size());
        batch.clear();
    };
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin())
            batch.push_back(u'\n');
        const QString line = block.text();
        batch.append(reinterpret_cast<const char16_t*>(line.utf16()), static_cast<std::size_t>(line.size()));
        if (batch.size() >= kBatchUnits)
            convert();
    }
    convert();
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

void EditorText::setSelection(std::size_t start, std::size_t end)
{
    end = std::min(end, text().size());
    select(std::min(start, end), end);
}

void EditorText::select(std::size_t start, std::size_t end)
{
    const int startPos = positionOf(start);
    const int endPos = positionOf(end);
    // The reading step sets the cursor where it already stands before it selects the chunk;
    // the editor is left alone then.
    const QTextCursor current = editor_.textCursor();
    if (current.anchor() != startPos || current.position() != endPos) {
        QTextCursor cursor(editor_.document());
        cursor.setPosition(startPos);
        cursor.setPosition(endPos, QTextCursor::KeepAnchor);
        editor_.setTextCursor(cursor);
        editor_.ensureCursorVisible();
    }
    selStartOffset_ = start;
    selEndOffset_ = end;
    selStartPos_ = startPos;
    selEndPos_ = endPos;
}

} // namespace kven
