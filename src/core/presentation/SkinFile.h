#pragma once
#include "core/platform/Result.h"

#include <QColor>
#include <QMap>
#include <QString>

// A skin as read from its text file: the head's keys and colours, the window style and the
// program-wide service style.
struct SkinFile {
    QString name;
    QString description;
    int hue = 0;
    QMap<QString, QColor> colours; // back, fore, panel, paneltext, and optional others
    QString windowStyle;
    QString serviceStyle;
};

// Parses a skin; on failure says why.
ResultWith<SkinFile> parseSkin(const QString& text);
