#pragma once
#include "core/presentation/SkinFile.h"

#include <QWidget>
#include <functional>

// Holds one skin and gives windows its look. Each operation succeeds or fails with its reason;
// until a skin is loaded every one fails.
class SkinEngine {
public:
    // Reads the skin; a missing or damaged file leaves the engine without a skin.
    Result load(const QString& path);
    bool loaded() const { return m_loaded; }
    const SkinFile& skin() const { return m_skin; } // the loaded skin, or an empty one

    // The colours as 32-bit signed RGB values, red in the lowest byte.
    ResultWith<qint32> backColor() const;
    ResultWith<qint32> foreColor() const;
    ResultWith<qint32> panelColor() const;

    // Gives the window with this handle the skin's look.
    Result applyToWindow(qint32 handle) const;

    // The one window among these whose native handle, cut to the 32 bits that the calls carry,
    // is this handle; null when none or more than one is. Exact whatever the handles' width.
    static QWidget* windowWithHandle(qint32 handle, const QList<QWidget*>& windows,
                                     const std::function<WId(const QWidget*)>& nativeHandle);

    static qint32 toRgbValue(const QColor& colour);
    static QColor fromRgbValue(qint32 value);

private:
    ResultWith<qint32> colour(const char* key) const;

    SkinFile m_skin;
    bool m_loaded = false;
    QString m_error = QStringLiteral("no skin is loaded");
};
