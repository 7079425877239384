#pragma once
// Text printed rotated on a drawing surface, in a font made for the one call.

#include <QString>

class QPaintDevice;

namespace orra {

// The rotation in tenths of a degree: angle * 10 rounded to the nearest whole number, halves
// to the even neighbour (22.25 -> 222, 22.75 -> 228).
int RotatedTextEscapement(float angle);

// The font's pixel height for a point size on a surface of dpiY dots per inch:
// size * dpiY / 72 with the integer multiply-divide's rounding.
int RotatedTextPixelHeight(int size, int dpiY);

// Prints text on target with the top-left corner of its first character at (x, y) (the
// surface's pixels), rotated counter-clockwise by angle degrees, in the face fontName at size
// points and the given weight (400 normal, 700 bold), never italic, underlined or struck out.
// The last three values are accepted and not used. The surface's own font is not touched.
void PrintRotatedText(QPaintDevice& target, const QString& text, float x, float y, const QString& fontName, int size,
    float angle, int weight, int italic = 0, int underline = 0, int strikeout = 0);

}   // namespace orra
