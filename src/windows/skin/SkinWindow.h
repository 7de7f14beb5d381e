#pragma once
#include "core/platform/Result.h"

#include <QtGlobal>

class AppContext;
class QWidget;

// Gives one window the skin's look and colours its standard controls. When the engine is not
// ready it loads the splash window that carries it, hidden and held, and tries once more.
// Fails when the window could not be skinned; it then keeps the platform's look.
Result SkinWindow(AppContext& ctx, QWidget* window);

// Colours a window's controls by their type names, in the window's control order.
void ApplySkinColors(QWidget* window, qint32 back, qint32 fore, qint32 panel);

// At the splash window's load: the engine reference, the splash's own skin, the skin service.
void startSkinning(AppContext& ctx, QWidget* splash);
