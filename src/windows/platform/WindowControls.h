#pragma once

#include <QChar>

class QLineEdit;
class QWidget;

// Every control of the window keeps the font it was given, or its window's font, whatever fonts
// the desktop gives its kinds of widget; and no label lies over a box, button or list.
void settleControls(QWidget* window);

// Labels go under the other controls of their container, keeping their order among themselves.
void keepControlsAboveLabels(QWidget* container);

// Puts a label directly above another one, as a skinned copy lies over the plain label it copies.
void stackDirectlyAbove(QWidget* upper, QWidget* lower);

// The box shows this character for each character typed, whatever the style or skin.
void showPasswordAs(QLineEdit* box, QChar character);
