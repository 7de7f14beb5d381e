#include "windows/platform/PictureButton.h"

#include "core/platform/Twips.h"
#include "windows/platform/Fonts.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int kGap = 2;           // between picture and caption
constexpr int kSmallestSide = 12; // a picture smaller than this says nothing

QSize fitted(QSize picture, int maxWidth, int maxHeight)
{
    if (picture.width() <= maxWidth && picture.height() <= maxHeight)
        return picture;
    return picture.scaled(std::max(0, maxWidth), std::max(0, maxHeight), Qt::KeepAspectRatio);
}

bool usable(QSize s)
{
    return std::min(s.width(), s.height()) >= kSmallestSide;
}

} // namespace

PictureButton::PictureButton(const QString& caption, const QString& picture, QWidget* parent)
    : QPushButton(caption, parent)
{
    setIcon(QIcon(picture));
    setIconSize(QSize(32, 32));
    setAutoDefault(true); // Enter clicks the focused button; there is no window-wide default
}

QRect PictureButton::contentsRectangle() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

PictureButton::Placement PictureButton::placement() const
{
    return placeIn(contentsRectangle());
}

PictureButton::Placement PictureButton::placeIn(const QRect& inner) const
{
    const QFontMetrics metrics = fontMetrics();
    const QSize textSize(metrics.horizontalAdvance(text()) + 1, metrics.height());
    const QSize wanted = icon().isNull() ? QSize() : iconSize();
    Placement p;
    auto captionAt = [&](int left, int top) { return QRect(QPoint(left, top), textSize); };

    // Above the caption, as large as fits up to its own size.
    const QSize above = fitted(wanted, inner.width(), inner.height() - textSize.height() - kGap);
    if (!wanted.isEmpty() && usable(above)) {
        const int top = inner.top() + (inner.height() - above.height() - kGap - textSize.height()) / 2;
        p.picture = QRect(QPoint(inner.center().x() - above.width() / 2 + 1, top), above);
        p.caption = captionAt(inner.left() + (inner.width() - textSize.width()) / 2, top + above.height() + kGap);
        return p;
    }
    // The caption alone.
    p.caption = captionAt(inner.left() + (inner.width() - textSize.width()) / 2,
                          inner.top() + (inner.height() - textSize.height()) / 2);
    return p;
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

    const Placement p = placeIn(style()->subElementRect(QStyle::SE_PushButtonContents, &option, this));
    if (!p.picture.isEmpty())
        icon().paint(&painter, p.picture, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    painter.drawItemText(p.caption, Qt::AlignCenter | Qt::TextShowMnemonic, option.palette, isEnabled(), caption,
                         QPalette::ButtonText);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& twips,
                        const char* picture, QSize pictureSize, const QString& tooltip)
{
    QPushButton* b = nullptr;
    if (picture) {
        auto* pb = new PictureButton(caption, QStringLiteral(":/images/") + QLatin1String(picture), parent);
        pb->setIconSize(pictureSize);
        b = pb;
    } else {
        b = new QPushButton(caption, parent);
        b->setAutoDefault(true); // Enter clicks the focused button, as Space does
    }
    b->setObjectName(QLatin1String(name));
    b->setFont(verdana());
    b->setToolTip(tooltip);
    b->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return b;
}
