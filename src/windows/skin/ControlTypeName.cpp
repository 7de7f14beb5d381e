#include "windows/skin/ControlTypeName.h"

#include "windows/skin/SkinLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

QString controlTypeName(const QWidget* w)
{
    // An explicit name wins: picture boxes, images and other special cases set it.
    const QVariant explicitName = w->property("controlTypeName");
    if (explicitName.isValid())
        return explicitName.toString();
    if (qobject_cast<const SkinLabel*>(w))
        return QStringLiteral("SkinLabel");
    if (qobject_cast<const QLabel*>(w))
        return QStringLiteral("Label");
    // Tool buttons are Qt's own parts (the menu bar's overflow arrow), not the window's controls.
    if (qobject_cast<const QPushButton*>(w))
        return QStringLiteral("CommandButton");
    if (qobject_cast<const QLineEdit*>(w))
        return QStringLiteral("TextBox");
    if (qobject_cast<const QComboBox*>(w))
        return QStringLiteral("ComboBox");
    if (qobject_cast<const QCheckBox*>(w))
        return QStringLiteral("CheckBox");
    if (qobject_cast<const QGroupBox*>(w))
        return QStringLiteral("Frame");
    if (qobject_cast<const QListWidget*>(w))
        return QStringLiteral("ListBox");
    if (qobject_cast<const QStatusBar*>(w))
        return QStringLiteral("StatusBar");
    if (qobject_cast<const QTextEdit*>(w))
        return QStringLiteral("RichTextBox");
    return {};
}
