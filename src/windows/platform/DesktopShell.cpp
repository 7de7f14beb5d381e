#include "windows/platform/DesktopShell.h"

#include "core/main/GoToTarget.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

Result DesktopShell::open(const QString& target)
{
    const QString path = localPathOf(target);
    QUrl url;
    if (path.isEmpty()) {
        url = QUrl(target);
    } else {
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
