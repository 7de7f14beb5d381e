#include "windows/platform/Topmost.h"

#include <QWidget>

void SetTopmost(QWidget* window, bool on)
{
    if (!window || IsTopmost(window) == on)
        return;
    const bool visible = window->isVisible();
    const QRect geometry = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on); // hides a visible window
    window->setGeometry(geometry);
    if (visible)
        window->show();
}

bool IsTopmost(const QWidget* window)
{
    return window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}
