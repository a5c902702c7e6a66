#pragma once

#include "common/Twips.h"

// The rows of a panel's controls on one grid, in twips: the first row's top, the distance from one row
// to the next and a row's height.
struct TwipsRows {
    int top;
    int pitch;
    int height;
    constexpr int rowTop(int row) const { return top + row * pitch; }
    // Row `row`, `width` wide from `left`, in pixels.
    constexpr QRect rect(int row, int left, int width) const {
        return twipsRect(left, rowTop(row), width, height);
    }
};
