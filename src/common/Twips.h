#pragma once

#include <QRect>

// The window's layout is given in twips; the screen shows 15 twips per pixel.
constexpr int twips(int value) {
    return value / 15;
}
constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
