#pragma once
// The main window's controls as one placement table: object name, kind, parent, place in
// design pixels, caption and position in the tab order. The window builds its controls from
// the table in table order, so a later row lies above an earlier one.

#include <QFont>
#include <QRect>
#include <QSize>
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

// The client area of the design, below the menu bar.
inline constexpr QSize kDesignClient{632, 519};

// The share of the design that fits the primary screen's available area with the window's frame
// and menu bar: 1 when the design fits, less on a small screen or at a large scale factor, so
// that the whole window, every control in it, stays on the screen.
double fittingScale();
// A design length at `scale`, rounded, at least 1.
int scaled(int designPixels, double scale);

// Builds the controls of `layout` under `client`, in table order, and chains the tab order.
// A control in `given` (matched by object name) is placed instead of a new one being made.
// Places and sizes are the design's times `scale`.
void buildControls(QWidget& client, std::span<const Placement> layout, const std::vector<QWidget*>& given,
                   double scale = 1.0);

// The window's Japanese sans-serif families, best first, and the font at a height in pixels.
QStringList japaneseFamilies();
QFont japaneseFont(int pixels, bool bold = false);

} // namespace kven
