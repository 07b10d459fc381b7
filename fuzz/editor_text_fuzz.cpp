// The editor's byte view on arbitrary text, shown from Shift_JIS bytes or put into the editor as
// UTF-16 (as typing or pasting does). The byte text is the CP932 form of what the editor holds,
// each block separator CR LF and each character beyond the BMP one "?", whether it was kept
// when shown or derived afresh; every editor position maps to the length of the byte text
// before it, an offset inside a character to the position before it.

#include "fuzz/FuzzSupport.h"
#include "text/Cp932.h"
#include "window/EditorText.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using kven::fuzzing::check;

// The CP932 bytes of one character, each asked of the converter once.
std::string bytesOf(std::u16string_view character)
{
    static std::vector<std::string> known(0x10000);
    if (character.size() > 1)
        return kven::cp932::fromWide(character);
    std::string& bytes = known[character[0]];
    if (bytes.empty())
        bytes = kven::cp932::fromWide(character);
    return bytes;
}

// The byte view as the editor's characters say it should be, with the offset of every editor
// position (the middle of a surrogate pair standing for its start).
struct Expected {
    std::string text;
    std::vector<std::size_t> offsets;
    std::vector<bool> boundary;
};

Expected expectedView(const QTextDocument& doc)
{
    QString shown;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin())
            shown.append(u'\n');
        shown.append(block.text());
    }
    Expected e;
    const auto size = static_cast<std::size_t>(shown.size());
    e.offsets.resize(size + 1);
    e.boundary.resize(size + 1, true);
    for (std::size_t p = 0; p < size;) {
        e.offsets[p] = e.text.size();
        const QChar c = shown[static_cast<qsizetype>(p)];
        const bool pair = c.isHighSurrogate() && p + 1 < size && shown[static_cast<qsizetype>(p + 1)].isLowSurrogate();
        if (pair) {
            e.offsets[p + 1] = e.text.size();
            e.boundary[p + 1] = false;
        }
        const std::size_t units = pair ? 2 : 1;
        if (c == u'\n')
            e.text.append("\r\n");
        else
            e.text.append(bytesOf(std::u16string_view(reinterpret_cast<const char16_t*>(shown.utf16()) + p, units)));
        p += units;
    }
    e.offsets[size] = e.text.size();
    return e;
}

void checkView(const kven::EditorText& view, const Expected& e)
{
    check(view.text() == e.text, "the byte text is the editor's text in CP932");
    for (std::size_t p = 0; p < e.offsets.size(); ++p) {
        const int position = static_cast<int>(p);
        check(view.offsetOf(position) == e.offsets[p], "a position maps to the bytes before it");
        if (!e.boundary[p])
            continue;
        const std::size_t end = p + 1 < e.offsets.size() ? e.offsets[p + 1] : e.offsets[p] + 1;
        for (std::size_t o = e.offsets[p]; o < end; ++o)
            check(view.positionOf(o) == position, "an offset maps to the position of its character");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "editor_text_fuzz";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the fuzzer ends the process with exit(), and an application torn down by
    // the exit handlers would meet the graphics context that the window's libraries share,
    // already gone.
    static auto* app = new QApplication(argc, argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    QPlainTextEdit editor;
    kven::EditorText shownView(editor);
    // The first byte chooses how the text gets into the editor.
    if (data[0] & 1) {
        const std::u16string units = kven::fuzzing::unitsOf(data + 1, size - 1);
        editor.setPlainText(QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())));
    } else {
        shownView.setText(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    }
    const Expected expected = expectedView(*editor.document());
    checkView(shownView, expected);
    const kven::EditorText derivedView(editor);
    checkView(derivedView, expected);
    return 0;
}
