#include "windows/skin/Skinning.h"

#include "windows/platform/WindowControls.h"
#include "windows/skin/ControlTypeName.h"
#include "windows/skin/SkinEngine.h"
#include "windows/skin/SkinService.h"

#include <QWidget>

namespace {

// A style of the control's own that paints it in its colour properties. A window's style sheet
// overrides palettes, so the palette alone would never reach the screen.
QString colourStyle(const QWidget* control, bool isButton)
{
    const QString selector = QLatin1String(control->metaObject()->className());
    const QVariant back = control->property("BackColor");
    const QVariant fore = control->property("ForeColor");
    QString declarations;
    if (back.isValid())
        declarations += QStringLiteral("background-color: %1;").arg(SkinEngine::fromRgbValue(back.toInt()).name());
    if (fore.isValid())
        declarations += QStringLiteral(" color: %1;").arg(SkinEngine::fromRgbValue(fore.toInt()).name());
    QString style = QStringLiteral("%1 { %2 }").arg(selector, declarations);
    if (isButton && back.isValid()) // a pressed button still looks pressed
        style += QStringLiteral(" %1:pressed { background-color: %2; }")
                     .arg(selector, SkinEngine::fromRgbValue(back.toInt()).darker(112).name());
    return style;
}

// Sets a colour property by name and shows it, through the control's palette and its own style.
void setColourProperty(QWidget* control, const char* property, qint32 value)
{
    control->setProperty(property, value);
    const QColor colour = SkinEngine::fromRgbValue(value);
    const QString type = controlTypeName(control);
    QPalette palette = control->palette();
    const bool back = qstrcmp(property, "BackColor") == 0;
    const bool isButton = type == QLatin1String("CommandButton");
    if (isButton)
        palette.setColor(back ? QPalette::Button : QPalette::ButtonText, colour);
    else if (type == QLatin1String("PictureBox"))
        palette.setColor(back ? QPalette::Window : QPalette::WindowText, colour);
    else
        palette.setColor(back ? QPalette::Base : QPalette::Text, colour);
    control->setPalette(palette);
    control->setStyleSheet(colourStyle(control, isButton));
}

Result skinSteps(const SkinEngine& engine, QWidget* window)
{
    const ResultWith<qint32> back = engine.backColor();
    const ResultWith<qint32> fore = engine.foreColor();
    const ResultWith<qint32> panel = engine.panelColor();
    for (const Result* colour : {&back, &fore, &panel}) {
        if (!colour->ok)
            return *colour;
    }
    applySkinColors(window, back.value, fore.value, panel.value);
    Result applied = engine.applyToWindow(static_cast<qint32>(window->winId()));
    settleControls(window); // a style sheet may change fonts and stacking
    return applied;
}

// Puts a window back to the platform's look, so that no window is left half-styled.
void unskin(QWidget* window)
{
    window->setStyleSheet(QString());
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->property("BackColor").isValid() || control->property("ForeColor").isValid()) {
            control->setProperty("BackColor", QVariant());
            control->setProperty("ForeColor", QVariant());
            control->setStyleSheet(QString());
            control->setPalette(QPalette());
        }
    }
}

} // namespace

void applySkinColors(QWidget* window, qint32 back, qint32 fore, qint32 panel)
{
    static const QStringList kTextAndLists = {QStringLiteral("TextBox"),      QStringLiteral("ComboBox"),
                                              QStringLiteral("FileListBox"),  QStringLiteral("DirListBox"),
                                              QStringLiteral("DriveListBox"), QStringLiteral("ListBox"),
                                              QStringLiteral("ListView")};
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const QString type = controlTypeName(control);
        if (type == QLatin1String("CommandButton")) {
            setColourProperty(control, "BackColor", back);
        } else if (kTextAndLists.contains(type)) {
            setColourProperty(control, "BackColor", back);
            setColourProperty(control, "ForeColor", fore);
        } else if (type == QLatin1String("PictureBox")) {
            setColourProperty(control, "BackColor", panel);
        }
    }
}

Result skinWindow(SkinEngine& engine, const QString& skinPath, QWidget* window)
{
    if (skinSteps(engine, window).ok)
        return {};
    // Recovery, once: the skin may not have been loaded yet.
    if (!engine.loaded())
        engine.load(skinPath);
    Result second = skinSteps(engine, window);
    if (!second.ok)
        unskin(window);
    return second;
}

void startSkinning(SkinEngine& engine, SkinService& service, const QString& skinPath)
{
    if (!engine.loaded())
        engine.load(skinPath);
    // From here on failures are skipped: the run goes on with the platform's look.
    service.attachSkin(&engine);
    service.startService();
}
