#pragma once
// What a screen reader says for each control of the main window: a name (a button's or check
// box's own caption serves as its name) and a description of what it does, and the labels
// bound as buddies to the controls they name. In the interface language installed.

class QWidget;

namespace kven {

struct MainControls;

void nameControls(MainControls& controls);

// The parts the controls of a dialog are made of, named after their controls: a drop-down's
// list, an editor's or a list's scroll bars. A control's name is its own, else its label's.
void nameControlParts(QWidget& dialog);

} // namespace kven
