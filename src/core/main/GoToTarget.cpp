#include "core/main/GoToTarget.h"

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
