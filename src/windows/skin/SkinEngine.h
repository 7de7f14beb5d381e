#pragma once
#include "core/presentation/SkinFile.h"

#include <QWidget>
#include <functional>
#include <stdexcept>

// Raised by every engine operation that cannot be done.
struct SkinError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Holds one skin and gives windows its look. Until a skin is loaded every operation raises.
class SkinEngine {
public:
    // Reads the skin; a missing or damaged file leaves the engine without a skin.
    bool load(const QString& path);
    bool loaded() const { return m_loaded; }
    const SkinFile& skin() const;
    QString loadError() const { return m_error; }

    // The colours as 32-bit signed RGB values, red in the lowest byte.
    qint32 SkinBackColor() const;
    qint32 SkinForeColor() const;
    qint32 SkinPanelColor() const;

    // Gives the window with this handle the skin's look.
    void ApplyToWindow(qint32 handle) const;

    // The one window among these whose native handle, cut to the 32 bits that the calls carry,
    // is this handle; null when none or more than one is. Exact whatever the handles' width.
    static QWidget* windowWithHandle(qint32 handle, const QList<QWidget*>& windows,
                                     const std::function<WId(const QWidget*)>& nativeHandle);

    static qint32 toRgbValue(const QColor& colour);
    static QColor fromRgbValue(qint32 value);

private:
    qint32 colour(const char* key) const;

    SkinFile m_skin;
    bool m_loaded = false;
    QString m_error = QStringLiteral("no skin is loaded");
};
