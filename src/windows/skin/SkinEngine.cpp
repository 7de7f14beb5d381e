#include "windows/skin/SkinEngine.h"

#include <QApplication>
#include <QFile>

bool SkinEngine::load(const QString& path)
{
    m_loaded = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("the skin %1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    QString error;
    if (!parseSkin(QString::fromUtf8(file.readAll()), m_skin, error)) {
        m_error = QStringLiteral("the skin %1 is damaged: %2").arg(path, error);
        return false;
    }
    m_loaded = true;
    m_error.clear();
    return true;
}

const SkinFile& SkinEngine::skin() const
{
    if (!m_loaded)
        throw SkinError(m_error.toStdString());
    return m_skin;
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

qint32 SkinEngine::colour(const char* key) const
{
    return toRgbValue(skin().colours.value(QLatin1String(key)));
}

qint32 SkinEngine::SkinBackColor() const
{
    return colour("back");
}

qint32 SkinEngine::SkinForeColor() const
{
    return colour("fore");
}

qint32 SkinEngine::SkinPanelColor() const
{
    return colour("panel");
}

void SkinEngine::ApplyToWindow(qint32 handle) const
{
    const SkinFile& s = skin();
    // Handles are pointers of 64 bits on some platforms, so the lookup compares the 32 bits that
    // the call carries with each window's handle cut the same way.
    QWidget* window =
        windowWithHandle(handle, QApplication::topLevelWidgets(), [](const QWidget* w) { return w->internalWinId(); });
    if (!window)
        throw SkinError("no window has the handle " + std::to_string(handle));
    window->setStyleSheet(s.windowStyle);
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
