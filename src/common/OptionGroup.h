#pragma once

#include <QList>

class QRadioButton;

// Option-button groups of the windows: an indexed array of radio buttons, one of them selected.
namespace modCommon {

// Index of the selected button; 0 when none is.
int SelectedOption(const QList<QRadioButton *> &group);
// Selects the button with that index; nothing happens when there is no such index.
void SelectOption(const QList<QRadioButton *> &group, int index);

} // namespace modCommon
