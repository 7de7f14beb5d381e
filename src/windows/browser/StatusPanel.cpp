#include "windows/browser/StatusPanel.h"

#include <QPainter>
#include <QStyle>

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setMinimumWidth(0);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // a long text never widens the panel
}

QString StatusPanel::shownText() const
{
    QString oneLine = text();
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(oneLine, Qt::ElideRight, contentsRect().width());
}

void StatusPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextSingleLine, palette(), isEnabled(),
                          shownText(), foregroundRole());
}
