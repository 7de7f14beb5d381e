#pragma once

class QWidget;

// Makes a window stay on top of all others (or not), keeping its position and size.
void setTopmost(QWidget* window, bool on);
bool isTopmost(const QWidget* window);
