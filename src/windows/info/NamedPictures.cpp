#include "windows/info/NamedPictures.h"

#include "core/platform/VersionInfo.h"
#include "windows/platform/Fonts.h"

#include <QPainter>

namespace {

const QColor kCream(0xF6, 0xF1, 0xE7);
const QColor kAmberLight(0xFF, 0xD9, 0x8A);
const QColor kMist(0xA9, 0xD6, 0xD3);

void drawText(QPainter& painter, const QString& text, int pixels, bool bold, const QColor& colour, QPoint baseline,
              bool alignRight = false)
{
    QFont font = verdana(8.25, bold);
    font.setPixelSize(pixels);
    painter.setFont(font);
    painter.setPen(colour);
    if (alignRight)
        baseline.rx() -= QFontMetrics(font).horizontalAdvance(text);
    painter.drawText(baseline, text);
}

template <class Draw>
QPixmap drawnOver(const QPixmap& picture, Draw draw)
{
    QPixmap out = picture;
    if (!out.isNull()) {
        QPainter painter(&out);
        painter.setRenderHint(QPainter::TextAntialiasing);
        draw(painter, out.size());
    }
    return out;
}

} // namespace

QPixmap splashPicture(const QPixmap& picture, const VersionInfo& version)
{
    return drawnOver(picture, [&](QPainter& painter, QSize size) {
        drawText(painter, version.productName, 44, true, kCream, {206, 137});
        drawText(painter, QStringLiteral("by ") + version.companyName, 13, false, kAmberLight, {208, 210});
        const int bottom = size.height() - 15;
        drawText(painter, version.comments, 11, false, kMist, {16, bottom});
        drawText(painter, QStringLiteral("Version ") + versionText(version.major, version.minor), 11, false, kMist,
                 {size.width() - 16, bottom}, true);
    });
}

QPixmap aboutBanner(const QPixmap& picture, const VersionInfo& version)
{
    return drawnOver(picture, [&](QPainter& painter, QSize) {
        drawText(painter, version.productName, 30, true, kCream, {80, 45});
    });
}
