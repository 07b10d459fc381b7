#include "window/VoiceBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace kven {

void completeTypedVoice(QComboBox& box, const QString& typed)
{
    int match = -1;
    for (int i = 0; i < box.count() && match < 0 && !typed.isEmpty(); ++i) {
        if (box.itemText(i).startsWith(typed, Qt::CaseInsensitive))
            match = i;
    }
    const QSignalBlocker block(&box);
    box.setCurrentIndex(match);
    if (match >= 0)
        box.lineEdit()->setSelection(static_cast<int>(typed.size()),
                                     static_cast<int>(box.itemText(match).size() - typed.size()));
    else
        box.setEditText(typed);
}

} // namespace kven
