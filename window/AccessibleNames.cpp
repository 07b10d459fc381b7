#include "window/AccessibleNames.h"

#include "window/InterfaceText.h"
#include "window/MainControls.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include <utility>

namespace kven {

namespace {

struct Description {
    QWidget* control;
    // Empty: the control's caption names it.
    QString name;
    const char* description;
};

void describeControls(const MainControls& c)
{
    const Description rows[] = {
        {c.editor, interfaceText(QT_TRANSLATE_NOOP("KVEN", "Text")),
         QT_TRANSLATE_NOOP("KVEN", "The document being read; the chunk being read is selected. Click into it to "
                                   "read on from there.")},
        {c.startButton, {}, QT_TRANSLATE_NOOP("KVEN", "Read from the cursor (F11)")},
        {c.openButton, {}, QT_TRANSLATE_NOOP("KVEN", "Open a text file, web page, EPUB book or ZIP file (F2)")},
        {c.stopButton, {}, QT_TRANSLATE_NOOP("KVEN", "Stop reading (F12)")},
        {c.pasteButton, {}, QT_TRANSLATE_NOOP("KVEN", "Read the text on the clipboard (F4)")},
        {c.quitButton, {}, QT_TRANSLATE_NOOP("KVEN", "Close, remembering where reading stood")},
        {c.voiceBox, c.voiceLabel->text(), QT_TRANSLATE_NOOP("KVEN", "The voice that reads, from the next chunk")},
        {c.speedBar, c.speedLabel->text(),
         QT_TRANSLATE_NOOP("KVEN", "Reading speed from -10 to 10, from the next chunk")},
        {c.reloadButton, {}, QT_TRANSLATE_NOOP("KVEN", "Read the settings file again")},
        {c.saveButton, {}, QT_TRANSLATE_NOOP("KVEN", "Write the settings to the settings file")},
        {c.listTabs, interfaceText(QT_TRANSLATE_NOOP("KVEN", "Lists and options")),
         QT_TRANSLATE_NOOP("KVEN", "The skip list, the symbols read out and the filter options")},
        {c.skipTab, interfaceText("Skip"), QT_TRANSLATE_NOOP("KVEN", "The skip list")},
        {c.talkTab, interfaceText("Talk"), QT_TRANSLATE_NOOP("KVEN", "The symbols read out")},
        {c.optionsTab, interfaceText("etc"), QT_TRANSLATE_NOOP("KVEN", "The filter options")},
        {c.skipListBox, interfaceText(QT_TRANSLATE_NOOP("KVEN", "Skip list")),
         QT_TRANSLATE_NOOP("KVEN", "A chunk containing one of these strings is not read")},
        {c.addSkipButton, {}, QT_TRANSLATE_NOOP("KVEN", "Add a string to the skip list")},
        {c.deleteSkipButton, {}, QT_TRANSLATE_NOOP("KVEN", "Delete the selected string from the skip list")},
        {c.talkSymbolsEditor, c.talkSymbolsLabel->text(),
         QT_TRANSLATE_NOOP("KVEN", "Full-width symbols that are read out; the others are pauses")},
        {c.aaSkipBox,
         {},
         QT_TRANSLATE_NOOP("KVEN", "Skip chunks that look like character art or are mostly blank, by the two "
                                   "limits below")},
        {c.unreadLimitBar, c.unreadLimitLabel->text(),
         QT_TRANSLATE_NOOP("KVEN", "Tenths of a chunk that may be unreadable characters before it is skipped")},
        {c.blankLimitBar, c.blankLimitLabel->text(),
         QT_TRANSLATE_NOOP("KVEN", "Tenths of a chunk that may be blanks before it is skipped")},
        {c.repeatBox, {}, QT_TRANSLATE_NOOP("KVEN", "Do not say the same chunk twice in a row")},
        {c.aozoraRubyBox, {}, QT_TRANSLATE_NOOP("KVEN", "Read Aozora Bunko ruby as its reading only")},
        {c.headingSearchBox, {}, QT_TRANSLATE_NOOP("KVEN", "Start a document at its first heading")},
    };
    for (const Description& row : rows) {
        if (!row.name.isEmpty())
            row.control->setAccessibleName(row.name);
        row.control->setAccessibleDescription(interfaceText(row.description));
    }
}

// The parts that controls are made of: the scroll bars of the editors and the list, the voice
// box's field and its list.
void nameParts(const MainControls& c)
{
    const std::pair<QWidget*, const char*> parts[] = {
        {c.editor->verticalScrollBar(), QT_TRANSLATE_NOOP("KVEN", "Text scroll bar")},
        {c.editor->horizontalScrollBar(), QT_TRANSLATE_NOOP("KVEN", "Text scroll bar")},
        {c.skipListBox->verticalScrollBar(), QT_TRANSLATE_NOOP("KVEN", "Skip list scroll bar")},
        {c.skipListBox->horizontalScrollBar(), QT_TRANSLATE_NOOP("KVEN", "Skip list scroll bar")},
        {c.talkSymbolsEditor->verticalScrollBar(), QT_TRANSLATE_NOOP("KVEN", "Symbols scroll bar")},
        {c.talkSymbolsEditor->horizontalScrollBar(), QT_TRANSLATE_NOOP("KVEN", "Symbols scroll bar")},
        {c.voiceBox->view(), QT_TRANSLATE_NOOP("KVEN", "Voices")},
    };
    for (const auto& [part, name] : parts)
        part->setAccessibleName(interfaceText(name));
    c.voiceBox->lineEdit()->setAccessibleName(c.voiceLabel->text());
}

} // namespace

void nameControlParts(QWidget& dialog)
{
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    const auto nameOf = [&labels](const QWidget* control) {
        if (!control->accessibleName().isEmpty())
            return control->accessibleName();
        for (const QLabel* label : labels)
            if (label->buddy() == control)
                return label->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')).remove(QChar(0xFF1A));
        return QString();
    };
    for (QComboBox* box : dialog.findChildren<QComboBox*>())
        if (const QString name = nameOf(box); !name.isEmpty())
            box->view()->setAccessibleName(name);
    for (QAbstractScrollArea* area : dialog.findChildren<QAbstractScrollArea*>()) {
        if (const QString name = nameOf(area); !name.isEmpty()) {
            const QString bar = interfaceText(QT_TRANSLATE_NOOP("KVEN", "%1 scroll bar")).arg(name);
            area->verticalScrollBar()->setAccessibleName(bar);
            area->horizontalScrollBar()->setAccessibleName(bar);
        }
    }
}

void nameControls(MainControls& controls)
{
    const std::pair<QLabel*, QWidget*> buddies[] = {{controls.voiceLabel, controls.voiceBox},
                                                    {controls.speedLabel, controls.speedBar},
                                                    {controls.speedValueLabel, controls.speedBar},
                                                    {controls.talkSymbolsLabel, controls.talkSymbolsEditor},
                                                    {controls.unreadLimitLabel, controls.unreadLimitBar},
                                                    {controls.blankLimitLabel, controls.blankLimitBar}};
    for (const auto& [label, control] : buddies)
        label->setBuddy(control);
    describeControls(controls);
    nameParts(controls);
}

} // namespace kven
