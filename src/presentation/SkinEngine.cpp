#include "presentation/SkinEngine.h"

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
    QWidget* window = QWidget::find(static_cast<WId>(static_cast<quint32>(handle)));
    if (!window || !window->isWindow())
        throw SkinError("no window has the handle " + std::to_string(handle));
    window->setStyleSheet(s.windowStyle);
}
