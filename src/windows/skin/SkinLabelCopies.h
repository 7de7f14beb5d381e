#pragma once
#include <vector>

class QWidget;
class SkinLabel;

// A skinned copy of each plain label of the window whose parent is the template's (element 0 of
// the array), in the window's control order, added to the array; copies are never copied again.
void copyPlainLabelsToSkinLabels(QWidget* window, std::vector<SkinLabel*>& array);
