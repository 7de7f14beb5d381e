#include "presentation/SkinLabel.h"

SkinLabel::SkinLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setAutoFillBackground(true); // covers a plain label lying under it
}
