#include "windows/platform/DesktopShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

Result DesktopShell::open(const QString& target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    QUrl url;
    if (target.isEmpty()) {
        url = QUrl::fromLocalFile(QDir::homePath());
    } else if (scheme.match(target).hasMatch()) {
        url = QUrl(target);
    } else {
        // The program's working folder means nothing to the user; a relative path is from home.
        const QString path = QDir::home().absoluteFilePath(QDir::fromNativeSeparators(target));
        if (!QFileInfo::exists(path))
            return Result::failure(QStringLiteral("%1 does not exist").arg(QDir::toNativeSeparators(path)));
        url = QUrl::fromLocalFile(path);
    }
    if (!url.isValid())
        return Result::failure(QStringLiteral("it is not a valid address"));
    if (!QDesktopServices::openUrl(url))
        return Result::failure(QStringLiteral("no program on this computer opens it"));
    return {};
}
