#include "platform/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QRegularExpression>
#include <QUrl>

void DesktopShell::open(const QString& target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    QUrl url;
    if (target.isEmpty())
        url = QUrl::fromLocalFile(QDir::homePath());
    else if (scheme.match(target).hasMatch())
        url = QUrl(target);
    else
        url = QUrl::fromLocalFile(QDir::fromNativeSeparators(target));
    if (url.isValid())
        QDesktopServices::openUrl(url);
}
