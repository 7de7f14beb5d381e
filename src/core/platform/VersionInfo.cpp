#include "core/platform/VersionInfo.h"

#include "VersionInfoData.h"

QString versionText(int major, int minor)
{
    return QString::number(major) + QLatin1Char('.') + QString::number(minor);
}

VersionInfo builtInVersionInfo()
{
    return {QStringLiteral(KEYHAVEN_PRODUCT_NAME), QStringLiteral(KEYHAVEN_COMPANY_NAME),
            QStringLiteral(KEYHAVEN_COMMENTS), KEYHAVEN_VERSION_MAJOR, KEYHAVEN_VERSION_MINOR};
}

QString builtInHomePage()
{
    return QStringLiteral(KEYHAVEN_HOME_PAGE);
}
