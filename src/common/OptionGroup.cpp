#include "OptionGroup.h"

#include <QRadioButton>

namespace modCommon {

int SelectedOption(const QList<QRadioButton *> &group) {
    for (int i = 0; i < group.size(); ++i) {
        if (group[i] && group[i]->isChecked())
            return i;
    }
    return 0;
}

void SelectOption(const QList<QRadioButton *> &group, int index) {
    if (index >= 0 && index < group.size() && group[index])
        group[index]->setChecked(true);
}

} // namespace modCommon
