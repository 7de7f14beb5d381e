#include "windows/platform/Topmost.h"

#include <QWidget>
#include <QWindow>

void setTopmost(QWidget* window, bool on)
{
    if (!window || isTopmost(window) == on)
        return;
    QWindow* native = window->windowHandle();
    if (!native) {
        window->setWindowFlag(Qt::WindowStaysOnTopHint, on); // nothing made yet, nothing re-made
        return;
    }
    // Changed in place on the native window, which tells the window manager where there is one
    // (X11); setting the widget's flags would destroy and re-create a shown window, which then
    // jumps (Wayland) or is a new window to screen readers. Where the platform has no such state
    // (Wayland), nothing visible changes.
    const Qt::WindowFlags flags = native->flags().setFlag(Qt::WindowStaysOnTopHint, on);
    native->setFlags(flags);
    window->overrideWindowFlags(flags); // the widget's record, without telling the platform again
}

bool isTopmost(const QWidget* window)
{
    return window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}
