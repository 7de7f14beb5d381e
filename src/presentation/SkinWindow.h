#pragma once

class AppContext;
class QWidget;

// Gives one window the skin's look and colours its standard controls.
void SkinWindow(AppContext& ctx, QWidget* window);
