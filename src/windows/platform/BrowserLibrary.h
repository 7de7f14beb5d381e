#pragma once
#include "windows/context/LoadableWindow.h"

// The built-in browser lives in a library of its own beside the program, over the browser engine:
// it is loaded the first time the browser opens, so that nothing of the engine costs anything
// before. The engine wants one graphics context shared by every window; it is named before the
// application is made (so the engine finds it there) and made when the browser first opens.
void nameSharedGraphicsContext();
LoadableWindow* loadBrowserWindow(AppContext& ctx, QString* why);
