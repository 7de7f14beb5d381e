#include "windows/platform/WindowControls.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>

namespace {

class PasswordCharacterStyle final : public QProxyStyle {
public:
    explicit PasswordCharacterStyle(QChar character) : m_character(character) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return m_character.unicode();
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    QChar m_character;
};

constexpr const char* kTableFont = "tableFont";

// The font a widget was given, or else its parent's, remembered the first time it is settled:
// a theme's font for a kind of widget (buttons, labels, lists) would otherwise win, and a style
// sheet applied later may let it back in.
QFont tableFont(QWidget* w)
{
    const QVariant kept = w->property(kTableFont);
    if (kept.isValid())
        return kept.value<QFont>();
    QWidget* parent = w->parentWidget();
    const QFont font = w->testAttribute(Qt::WA_SetFont) || !parent ? w->font() : tableFont(parent);
    w->setProperty(kTableFont, font);
    return font;
}

// Puts a widget's table font back whenever something else changes it: a style sheet polishing the
// widget again, or the desktop changing its fonts while the program runs.
class FontKeeper final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FontChange && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            const QVariant kept = w->property(kTableFont);
            if (kept.isValid() && w->font() != kept.value<QFont>())
                w->setFont(kept.value<QFont>());
        }
        return false;
    }
};

void keepFonts(QWidget* window)
{
    const QString keeperName = QStringLiteral("fontKeeper");
    QObject* keeper = window->findChild<QObject*>(keeperName, Qt::FindDirectChildrenOnly);
    if (!keeper) {
        keeper = new FontKeeper(window);
        keeper->setObjectName(keeperName);
        window->setProperty(kTableFont, window->font());
        window->installEventFilter(keeper);
    }
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QFont font = tableFont(w);
        if (w->font() != font || !w->testAttribute(Qt::WA_SetFont))
            w->setFont(font);
        w->installEventFilter(keeper); // once: a filter installed again only moves to the front
    }
}

} // namespace

void keepControlsAboveLabels(QWidget* container)
{
    QList<QWidget*> labels;
    for (QObject* child : container->children()) {
        if (auto* label = qobject_cast<QLabel*>(child))
            labels.append(label);
    }
    // Lowered from the top one down, they keep their order among themselves.
    for (auto it = labels.rbegin(); it != labels.rend(); ++it)
        (*it)->lower();
}

void stackDirectlyAbove(QWidget* upper, QWidget* lower)
{
    upper->stackUnder(lower);
    lower->stackUnder(upper);
}

void settleControls(QWidget* window)
{
    keepFonts(window);
    keepControlsAboveLabels(window);
    for (QWidget* w : window->findChildren<QWidget*>())
        keepControlsAboveLabels(w);
}

void showPasswordAs(QLineEdit* box, QChar character)
{
    auto* style = new PasswordCharacterStyle(character);
    style->setParent(box);
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}
