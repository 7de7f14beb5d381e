#include "core/main/GoToTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

#include <array>

bool isWebAddress(QStringView location)
{
    static constexpr std::array<QLatin1StringView, 6> kMarkers = {QLatin1StringView(".edu"), QLatin1StringView("biz"),
                                                                  QLatin1StringView("org"),  QLatin1StringView(".net"),
                                                                  QLatin1StringView(".com"), QLatin1StringView("www")};
    for (const auto marker : kMarkers) {
        if (location.contains(marker, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString goToTarget(const QString& location)
{
    // Pasting often brings a blank or a line end along; no address or path means one.
    QString target = location.trimmed();
    if (isWebAddress(target) && !target.contains(QLatin1StringView("https://"), Qt::CaseInsensitive) &&
        !target.contains(QLatin1StringView("http://"), Qt::CaseInsensitive))
        return QStringLiteral("http://") + target;
    return target;
}

QString localPathOf(const QString& target)
{
    static const QRegularExpression address(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (target.isEmpty())
        return QDir::homePath();
    if (target.startsWith(QLatin1StringView("file:"), Qt::CaseInsensitive))
        return QUrl(target).toLocalFile();
    if (address.match(target).hasMatch())
        return {};
    // The program's working folder means nothing to the user; a relative path is from home.
    return QDir::home().absoluteFilePath(QDir::fromNativeSeparators(target));
}

bool startsAProgram(const QString& target)
{
    const QString path = localPathOf(target);
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    if (info.suffix().compare(QLatin1StringView("desktop"), Qt::CaseInsensitive) == 0)
        return true;
    constexpr auto anyExecute = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    if (info.permissions() & anyExecute)
        return true;
    static const char* const kPrograms[] = {
        "application/x-executable",  "application/x-sharedlib",         "application/x-desktop",
        "application/x-shellscript", "application/x-ms-dos-executable", "application/x-msdownload",
        "application/x-msi",         "application/vnd.appimage",        "application/x-java-archive",
        "application/x-ms-shortcut", "application/x-executable-script"};
    const QMimeType kind = QMimeDatabase().mimeTypeForFile(info);
    for (const char* program : kPrograms) {
        if (kind.inherits(QLatin1StringView(program)))
            return true;
    }
    return false;
}
