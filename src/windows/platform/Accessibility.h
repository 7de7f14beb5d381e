#pragma once

class QWidget;

// How screen readers see the windows: each window as a window, named by its caption; helpers that
// show nothing of their own (a plain label under its skinned copy, a hidden template) left out,
// so that each visible text is read once. Installed once per process, before the first window.
void installAccessibility();

// Leaves the widget out of what screen readers are shown.
void hideFromScreenReaders(QWidget* widget);
