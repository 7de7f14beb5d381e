#pragma once
#include <QString>

class QWidget;

// The classic type name of a control ("CommandButton", "TextBox", "Label", ...), by which
// skinning decides what to colour. Empty for widgets that are no control of ours.
QString controlTypeName(const QWidget* widget);
