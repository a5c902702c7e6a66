#pragma once

#include <QColor>
#include <QPoint>

#include <array>

// The whiteboard's sixteen colours and how colours travel: a 32-bit RGB value with red in the low byte.
namespace Palette {

constexpr int kSwatchCount = 16;
constexpr int kDefaultSwatch = 1; // black

QColor swatchColor(int index);
// Column (1 or 2) and row (1..8) of a swatch in the palette grid.
QPoint swatchCell(int index);

qint32 toWire(const QColor &color);
QColor fromWire(qint64 value);

} // namespace Palette
