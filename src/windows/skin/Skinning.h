#pragma once
#include "core/platform/Result.h"

#include <QtGlobal>

class QString;
class QWidget;
class SkinEngine;
class SkinService;

// Gives one window the skin's look and colours its standard controls. When the engine has no
// skin yet, it loads the skin file and tries once more; a window that still cannot be skinned
// keeps the platform's look whole.
Result skinWindow(SkinEngine& engine, const QString& skinPath, QWidget* window);

// Colours a window's controls by their type names, in the window's control order.
void applySkinColors(QWidget* window, qint32 back, qint32 fore, qint32 panel);

// Where skinning starts: loads the skin and starts the service that skins message boxes and
// menus. A missing or damaged skin leaves the platform's look; the run goes on.
void startSkinning(SkinEngine& engine, SkinService& service, const QString& skinPath);
