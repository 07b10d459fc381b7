#pragma once
// The main window's controls as one placement table: object name, kind, parent, place in
// design pixels, caption and position in the tab order. The window builds its controls from
// the table in table order, so a later row lies above an earlier one.

#include <QFont>
#include <QRect>
#include <QStringList>

#include <span>
#include <vector>

class QWidget;

namespace kven {

enum class ControlKind { Label, Button, CheckBox, ComboBox, ScrollBar, ListBox, Memo, PageControl, TabSheet };

struct Placement {
    const char* name;
    ControlKind kind;
    // "ClientArea" (the window below its menu bar) or the name of an earlier row.
    const char* parent;
    // Unused for a tab sheet, which its page control places.
    QRect rect;
    // UTF-8, the source text of its translation (window/InterfaceText); a tab sheet's tab text.
    const char* caption;
    // Position in the tab order, counted from 1; 0 for a control outside it.
    int tabOrder;
};

std::span<const Placement> mainWindowLayout();

// Builds the controls of `layout` under `client`, in table order, and chains the tab order.
// A control in `given` (matched by object name) is placed instead of a new one being made.
void buildControls(QWidget& client, std::span<const Placement> layout, const std::vector<QWidget*>& given);

// The window's Japanese sans-serif families, best first, and the font at a height in pixels.
QStringList japaneseFamilies();
QFont japaneseFont(int pixels, bool bold = false);

} // namespace kven
