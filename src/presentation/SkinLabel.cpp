#include "presentation/SkinLabel.h"

SkinLabel::SkinLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
}
