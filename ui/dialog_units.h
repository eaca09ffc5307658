#pragma once

#include <QRect>

// The windows are laid out in dialog units of an 8-point sans-serif dialog font: 4 units
// across are 6 pixels and 8 units down are 13 pixels at 96 dpi. Both corners of a rectangle
// are converted and rounded, so that neighbouring controls keep their common edges.

namespace sonocap {

inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

// v * numerator / denominator rounded to the nearest integer, halves away from zero.
constexpr int ScaleRounded(int v, int numerator, int denominator) {
    const int product = v * numerator;
    const int half = denominator / 2;
    return product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
}

constexpr int DialogX(int units) {
    return ScaleRounded(units, kBaseUnitX, 4);
}
constexpr int DialogY(int units) {
    return ScaleRounded(units, kBaseUnitY, 8);
}

// The pixel rectangle of a control placed at x, y with width w and height h in dialog units.
inline QRect DialogRect(int x, int y, int w, int h) {
    const int left = DialogX(x);
    const int top = DialogY(y);
    return QRect(left, top, DialogX(x + w) - left, DialogY(y + h) - top);
}

}  // namespace sonocap
