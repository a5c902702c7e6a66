#include "OptionGroup.h"

#include <QListWidget>
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

bool ListBoxContains(const QString &text, const QListWidget *list) {
    if (!list)
        return false;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            return true;
    }
    return false;
}

} // namespace modCommon
