#pragma once
#include <QRect>
#include <QString>
#include <vector>

class QWidget;
class SkinLabel;

// Element 0 of a window's array of skin labels: a hidden template in the container whose plain
// labels get skinned copies, at its place in twips; screen readers are not shown it.
SkinLabel* makeSkinLabelTemplate(QWidget* container, const QString& text, const QRect& twips);

// A skinned copy of each plain label of the window whose parent is the template's (element 0 of
// the array), in the window's control order, added to the array; copies are never copied again.
void copyPlainLabelsToSkinLabels(QWidget* window, std::vector<SkinLabel*>& array);
