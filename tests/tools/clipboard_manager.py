#!/usr/bin/python3
"""A minimal X11 clipboard manager for the tests, as desktops run one: when the clipboard's owner
asks it to SAVE_TARGETS before ending, it takes the text, owns the clipboard and serves the text.
Prints "ready" once it manages the clipboard; runs until killed."""
import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event

d = display.Display()
window = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
CLIPBOARD, MANAGER, SAVE_TARGETS, TARGETS, UTF8, KEPT = (
    d.intern_atom(name) for name in ("CLIPBOARD", "CLIPBOARD_MANAGER", "SAVE_TARGETS", "TARGETS", "UTF8_STRING", "KEPT"))
window.set_selection_owner(MANAGER, X.CurrentTime)
d.flush()
if d.get_selection_owner(MANAGER) != window:
    sys.exit("another clipboard manager runs")
print("ready", flush=True)
kept = None


def answer(request, prop):
    request.requestor.send_event(event.SelectionNotify(
        time=request.time, requestor=request.requestor, selection=request.selection, target=request.target,
        property=prop))
    d.flush()


def take_text():
    """The clipboard owner's text, while it waits for us."""
    window.convert_selection(CLIPBOARD, UTF8, KEPT, X.CurrentTime)
    d.flush()
    while True:
        e = d.next_event()
        if e.type == X.SelectionNotify and e.requestor == window:
            if e.property == X.NONE:
                return None
            return window.get_full_property(KEPT, X.AnyPropertyType).value
        handle(e)


def handle(e):
    global kept
    if e.type != X.SelectionRequest:
        return
    if e.selection == MANAGER and e.target == SAVE_TARGETS:
        text = take_text()
        if text is not None:
            kept = text
            window.set_selection_owner(CLIPBOARD, X.CurrentTime)
        answer(e, e.property)
    elif e.selection == CLIPBOARD and kept is not None and e.target == TARGETS:
        e.requestor.change_property(e.property, Xatom.ATOM, 32, [TARGETS, UTF8])
        answer(e, e.property)
    elif e.selection == CLIPBOARD and kept is not None and e.target == UTF8:
        e.requestor.change_property(e.property, UTF8, 8, kept)
        answer(e, e.property)
    else:
        answer(e, X.NONE)


while True:
    handle(d.next_event())
