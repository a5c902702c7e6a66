#pragma once

#include <QList>
#include <QString>

class QListWidget;
class QRadioButton;

// Option-button groups and list boxes of the windows: an indexed array of radio buttons, one of them
// selected; a list box searched for an item.
namespace modCommon {

// Index of the selected button; 0 when none is.
int SelectedOption(const QList<QRadioButton *> &group);
// Selects the button with that index; nothing happens when there is no such index.
void SelectOption(const QList<QRadioButton *> &group, int index);
// True when an item of the list box has exactly this text.
bool ListBoxContains(const QString &text, const QListWidget *list);

} // namespace modCommon
