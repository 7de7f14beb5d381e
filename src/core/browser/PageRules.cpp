#include "core/browser/PageRules.h"

namespace pagerules {

namespace {

bool isWeb(const QUrl& url)
{
    const QString scheme = url.scheme();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

} // namespace

bool isLocal(const QUrl& url)
{
    return url.scheme() == QLatin1String("file");
}

bool mayLeadTo(const QUrl& from, const QUrl& to)
{
    if (!to.isValid())
        return false;
    if (isLocal(from))
        return isLocal(to);
    return isWeb(to);
}

bool mayFetch(const QUrl& page, const QUrl& resource)
{
    const QString scheme = resource.scheme();
    if (isLocal(page))
        return scheme == QLatin1String("file") || scheme == QLatin1String("data") || scheme == QLatin1String("blob");
    return !isLocal(resource);
}

QString originCaption(const QUrl& origin)
{
    if (origin.host().isEmpty())
        return origin.scheme().isEmpty() ? QStringLiteral("unknown page") : origin.scheme() + QStringLiteral("://");
    return origin.toString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

QString shortAddress(const QUrl& url, qsizetype maxChars)
{
    const QString text = url.toString();
    return text.size() <= maxChars ? text : text.left(maxChars - 1) + QChar(0x2026);
}

} // namespace pagerules
