#pragma once
#include "windows/platform/WindowControls.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QVariant>
#include <QWidget>

// Windows are loaded once (their load step runs only then), shown modeless, and unloaded by
// closing them; a window deletes itself on close and so counts as not loaded afterwards.

// beforeLoad runs once the window is made and its controls settled, before its load step.
template <class W, class Make, class BeforeLoad>
W* loadWindow(QPointer<W>& slot, Make make, BeforeLoad beforeLoad)
{
    if (!slot) {
        W* window = make();
        if (!window)
            return nullptr; // it could not be made: said where it was to be made
        window->setAttribute(Qt::WA_DeleteOnClose);
        settleControls(window); // fonts are best fixed before a style sheet sees the controls
        slot = window;          // loaded from here on, also while its load step runs
        beforeLoad(window);
        window->onLoad();
        if (slot == window)
            settleControls(window);
    }
    return slot.data();
}

template <class W, class Make>
W* loadWindow(QPointer<W>& slot, Make make)
{
    return loadWindow(slot, make, [](W*) {});
}

// Windows open in the centre of the screen the first time they are shown, where the platform lets
// a program place its windows; on Wayland the compositor places them, and nothing moves them.
inline void centreOnFirstShow(QWidget* window)
{
    if (window->property("placed").toBool() || QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return; // it fills the screen: moving it would only take that back
    window->setProperty("placed", true);
    if (const QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

inline void showModeless(QWidget* window)
{
    if (!window)
        return;
    centreOnFirstShow(window);
    window->show();
    window->raise();
    window->activateWindow();
}

// The window is deleted once control is back in the event loop, never inside the close itself:
// the caller may be one of the window's own handlers, still running below us.
template <class W>
void unloadWindow(QPointer<W>& slot)
{
    if (W* window = slot.data()) {
        slot.clear();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->close();
        window->deleteLater();
    }
}

// A window closed by the user clears its slot at once, so it counts as unloaded before its
// deferred deletion.
template <class W>
void forgetWindow(QPointer<W>& slot, const QWidget* window)
{
    if (slot.data() == window)
        slot.clear();
}
