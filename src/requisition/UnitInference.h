#pragma once

#include <QString>

// The unit of measure a material is bought in, guessed from the ending of its name: the last character
// first ("泵" -> "台", "管" -> "m", anything unlisted -> "个"), then whole endings that override it
// ("挠性管" -> "个", "胶带" -> "盘", "PMS" -> "套"), compared case-sensitively. The name is trimmed first;
// its code prefix does not matter.
QString InferUnit(const QString &name);
