#pragma once
#include <QPointer>
#include <QWidget>

// Windows are loaded once (their load step runs only then), shown modeless, and unloaded by
// closing them; a window deletes itself on close and so counts as not loaded afterwards.

template <class W>
bool isLoaded(const QPointer<W>& slot)
{
    return !slot.isNull();
}

template <class W, class Make>
W* loadWindow(QPointer<W>& slot, Make make)
{
    if (!slot) {
        W* window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
        slot = window; // loaded from here on, also while its load step runs
        window->formLoad();
    }
    return slot.data();
}

inline void showModeless(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

template <class W>
void unloadWindow(QPointer<W>& slot)
{
    if (W* window = slot.data()) {
        slot.clear();
        window->close();
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
