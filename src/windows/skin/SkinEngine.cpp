#include "windows/skin/SkinEngine.h"

#include <QApplication>
#include <QFile>

Result SkinEngine::load(const QString& path)
{
    m_loaded = false;
    m_skin = {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        m_error = QStringLiteral("the skin %1 cannot be read: %2").arg(path, file.errorString());
    else if (ResultWith<SkinFile> parsed = parseSkin(QString::fromUtf8(file.readAll())); !parsed.ok)
        m_error = QStringLiteral("the skin %1 is damaged: %2").arg(path, parsed.reason);
    else {
        m_skin = std::move(parsed.value);
        m_loaded = true;
        m_error.clear();
        return {};
    }
    return Result::failure(m_error);
}

qint32 SkinEngine::toRgbValue(const QColor& c)
{
    return static_cast<qint32>(quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16);
}

QColor SkinEngine::fromRgbValue(qint32 value)
{
    const auto v = static_cast<quint32>(value);
    return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF));
}

ResultWith<qint32> SkinEngine::colour(const char* key) const
{
    if (!m_loaded)
        return {Result::failure(m_error)};
    return {{}, toRgbValue(m_skin.colours.value(QLatin1String(key)))};
}

ResultWith<qint32> SkinEngine::backColor() const
{
    return colour("back");
}

ResultWith<qint32> SkinEngine::foreColor() const
{
    return colour("fore");
}

ResultWith<qint32> SkinEngine::panelColor() const
{
    return colour("panel");
}

Result SkinEngine::applyToWindow(qint32 handle) const
{
    if (!m_loaded)
        return Result::failure(m_error);
    // Handles are pointers of 64 bits on some platforms, so the lookup compares the 32 bits that
    // the call carries with each window's handle cut the same way.
    QWidget* window =
        windowWithHandle(handle, QApplication::topLevelWidgets(), [](const QWidget* w) { return w->internalWinId(); });
    if (!window)
        return Result::failure(QStringLiteral("no window has the handle %1").arg(handle));
    window->setStyleSheet(m_skin.windowStyle);
    return {};
}

QWidget* SkinEngine::windowWithHandle(qint32 handle, const QList<QWidget*>& windows,
                                      const std::function<WId(const QWidget*)>& nativeHandle)
{
    QWidget* found = nullptr;
    for (QWidget* w : windows) {
        const WId id = nativeHandle(w);
        if (id == 0 || static_cast<qint32>(static_cast<quint32>(id & 0xFFFFFFFFu)) != handle)
            continue;
        if (found)
            return nullptr; // two windows share these 32 bits: neither is meant for sure
        found = w;
    }
    return found;
}
