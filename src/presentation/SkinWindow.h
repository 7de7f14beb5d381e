#pragma once

class AppContext;
class QWidget;

// Gives one window the skin's look and colours its standard controls.
void SkinWindow(AppContext& ctx, QWidget* window);

// At the splash window's load: the engine, the splash's own skin, the skin service.
void startSkinning(AppContext& ctx, QWidget* splash);
