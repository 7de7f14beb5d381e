#pragma once
#include <QFont>

// Verdana where installed, else the system's sans-serif face at the same size.
inline QFont verdana(double points = 8.25, bool bold = false)
{
    QFont font(QStringLiteral("Verdana"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
