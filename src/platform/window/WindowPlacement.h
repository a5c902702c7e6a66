#pragma once

#include <QRect>

class QWidget;

namespace tavlo::window {

// Where a window of `size` opens next to `anchor` (the frame of the window it belongs to) inside the
// screen's available area `screen`: to the right of the anchor when there is room, else to its left,
// else narrowed to the roomier side (when that leaves it usable), else over the anchor's right part;
// vertically level with the anchor; always kept on the screen.
QRect besideAnchor(const QRect &anchor, const QSize &size, const QRect &screen);

// Moves a top-level `window` beside the program's main window, on that window's screen: the active
// window when there is one, else the first visible top-level window other than `window`. Without such a
// window it is centred on the primary screen. Its size shrinks to fit the screen if need be.
void placeBesideMainWindow(QWidget *window);

} // namespace tavlo::window
