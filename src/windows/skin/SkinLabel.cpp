#include "windows/skin/SkinLabel.h"

#include <QPainter>

SkinLabel::SkinLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void SkinLabel::paintEvent(QPaintEvent* event)
{
    if (QWidget* container = parentWidget()) {
        QRegion background(rect());
        for (QObject* child : container->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (sibling && sibling != this && !sibling->isHidden() && !qobject_cast<QLabel*>(sibling))
                background -= sibling->geometry().translated(-pos());
        }
        QPainter painter(this);
        painter.setClipRegion(background);
        painter.fillRect(rect(), container->palette().brush(container->backgroundRole()));
    }
    QLabel::paintEvent(event);
}
