#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace tavlo::drawing {

struct CadPoint {
    double x = 0;
    double y = 0;
    double z = 0;
};

// A vertex of a polyline; bulge is the tangent of a quarter of the arc's included angle towards the next
// vertex (0 for a straight segment).
struct CadVertex {
    double x = 0;
    double y = 0;
    double bulge = 0;
};

// Colour numbers as entities carry them (group 62).
namespace CadColor {
constexpr int ByBlock = 0;
constexpr int ByLayer = 256;
} // namespace CadColor

// The two arrays a selection takes as its filter: DXF group codes and their values.
struct CadFilterArrays {
    QList<qint16> types;
    QList<QVariant> data;
};

} // namespace tavlo::drawing
