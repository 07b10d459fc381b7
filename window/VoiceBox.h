#pragma once
// The voice list's typing: the box completes what is typed to the first entry that begins with
// it, whatever the letter case, and selects the completed rest so that typing goes on over it;
// text that begins no entry, or none, leaves nothing selected.

class QComboBox;
class QString;

namespace kven {

// Applies `typed` (the box's text after an edit) to the box without running its handlers.
void completeTypedVoice(QComboBox& box, const QString& typed);

} // namespace kven
