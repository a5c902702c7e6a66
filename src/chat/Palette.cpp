#include "Palette.h"

namespace Palette {

namespace {
struct Swatch {
    int r, g, b, column, row;
};
constexpr std::array<Swatch, kSwatchCount> kSwatches{{
    {255, 255, 255, 2, 1},
    {0, 0, 0, 1, 1},
    {192, 192, 192, 2, 2},
    {128, 128, 128, 1, 2},
    {128, 0, 0, 1, 3},
    {255, 0, 0, 2, 3},
    {128, 64, 0, 1, 4},
    {255, 128, 0, 2, 4},
    {0, 128, 0, 1, 6},
    {0, 255, 0, 2, 6},
    {128, 128, 0, 1, 5},
    {255, 255, 0, 2, 5},
    {128, 0, 128, 1, 8},
    {255, 0, 255, 2, 8},
    {0, 0, 128, 1, 7},
    {0, 0, 255, 2, 7},
}};
} // namespace

QColor swatchColor(int index) {
    const Swatch &s = kSwatches.at(static_cast<size_t>(index));
    return QColor(s.r, s.g, s.b);
}

QPoint swatchCell(int index) {
    const Swatch &s = kSwatches.at(static_cast<size_t>(index));
    return QPoint(s.column, s.row);
}

qint32 toWire(const QColor &color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QColor fromWire(qint64 value) {
    const auto v = static_cast<quint32>(value);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

} // namespace Palette
