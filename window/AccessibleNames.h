#pragma once
// What a screen reader says for each control of the main window: a name (a button's or check
// box's own caption serves as its name) and a description of what it does, and the labels
// bound as buddies to the controls they name. In the interface language installed.

namespace kven {

struct MainControls;

void nameControls(MainControls& controls);

} // namespace kven
