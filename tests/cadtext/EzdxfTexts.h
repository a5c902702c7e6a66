#pragma once

// The independent reader of drawings the cadtext tests check against: python3-ezdxf via dxf_texts.py.

#include "Python.h"

#include <QJsonDocument>
#include <QJsonObject>

// The texts of two drawings as the independent reader sees them, and their differences.
inline QJsonObject compareWithEzdxf(const QString &before, const QString &after) {
    return QJsonDocument::fromJson(
               Python::exec({QStringLiteral(TAVLO_SOURCE_DIR "/tests/cadtext/dxf_texts.py"), before, after},
                            nullptr, 180000))
        .object();
}

// The text of the entity `handle` in the second drawing of a comparison.
inline QString textAfter(const QJsonObject &comparison, const QString &handle) {
    return comparison[QLatin1String("after")].toObject()[handle].toObject()[QLatin1String("text")].toString();
}
