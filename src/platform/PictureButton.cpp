#include "platform/PictureButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

PictureButton::PictureButton(const QString& caption, const QString& picture, QWidget* parent)
    : QPushButton(caption, parent)
{
    setIcon(QIcon(picture));
    setIconSize(QSize(32, 32));
    setAutoDefault(true); // Enter clicks the focused button; there is no window-wide default
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    const QRect inner = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int textHeight = fontMetrics().height();
    const QSize pictureSize = icon().isNull() ? QSize() : iconSize();
    if (!pictureSize.isEmpty() && inner.height() < pictureSize.height() + textHeight) {
        // Too low for both: the picture alone; the caption stays the button's name and tooltip.
        icon().paint(&painter, inner, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        return;
    }
    const int total = pictureSize.height() + (pictureSize.isEmpty() ? 0 : 2) + textHeight;
    int top = inner.top() + std::max(0, (inner.height() - total) / 2);
    if (!pictureSize.isEmpty()) {
        const QRect pictureRect(inner.center().x() - pictureSize.width() / 2 + 1, top, pictureSize.width(),
                                pictureSize.height());
        icon().paint(&painter, pictureRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        top += pictureSize.height() + 2;
    }
    const QRect textRect(inner.left(), top, inner.width(), textHeight);
    painter.drawItemText(textRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic, option.palette,
                         isEnabled(), caption, QPalette::ButtonText);
}
