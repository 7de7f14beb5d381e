#pragma once
#include <QRect>
#include <cmath>

// Layout tables are in twips; the screen has 15 twips to a pixel.
inline constexpr int kTwipsPerPixel = 15;

// Pixels of a length in twips, not rounded.
inline constexpr double pixelsOf(double twips)
{
    return twips / kTwipsPerPixel;
}

inline int twipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

inline QSize twipsSize(int width, int height)
{
    return {twipsToPixels(width), twipsToPixels(height)};
}
