#include "windows/platform/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QWidget>

namespace {

constexpr const char* kHidden = "hiddenFromScreenReaders";

bool hidden(const QWidget* w)
{
    return w->property(kHidden).toBool();
}

// One of the program's own windows: a plain widget of a class of the program's (Qt's classes,
// menus and popups among them, all have names that begin with Q).
bool isProgramWindow(const QWidget* w)
{
    if (!w || !w->isWindow())
        return false;
    const QMetaObject* m = w->metaObject();
    if (QByteArray(m->className()).startsWith('Q'))
        return false;
    while (m && !QByteArray(m->className()).startsWith('Q'))
        m = m->superClass(); // the program's own classes, to the first of Qt's
    return m == &QWidget::staticMetaObject;
}

// A window or frame whose helpers are left out of its children.
class ContainerAccessible final : public QAccessibleWidget {
public:
    ContainerAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    int childCount() const override { return int(exposed().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = exposed();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index]) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? int(exposed().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            if (role() == QAccessible::Window)
                return widget()->windowTitle();
            if (const auto* frame = qobject_cast<const QGroupBox*>(widget()))
                return frame->title();
        }
        return QAccessibleWidget::text(t);
    }

private:
    QList<QWidget*> exposed() const
    {
        QList<QWidget*> children;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && !w->isWindow() && !hidden(w))
                children.append(w);
        }
        return children;
    }
};

QAccessibleInterface* keyhavenAccessible(const QString& className, QObject* object)
{
    auto* w = qobject_cast<QWidget*>(object);
    // Only for the class itself, so that Qt's own interfaces serve everything else.
    if (!w || className != QLatin1String(w->metaObject()->className()))
        return nullptr;
    // Only the program's own windows and their frames: Qt's own classes (menus, dialogs, combo
    // popups, which are plain windows too) keep Qt's interfaces, and with them their items.
    // The program's windows are plain widgets, which Qt would present as fillers.
    if (isProgramWindow(w))
        return new ContainerAccessible(w, QAccessible::Window);
    if (qobject_cast<QGroupBox*>(w) && isProgramWindow(w->window()))
        return new ContainerAccessible(w, QAccessible::Grouping);
    return nullptr;
}

} // namespace

void installAccessibility()
{
    QAccessible::removeFactory(keyhavenAccessible); // a second install changes nothing
    QAccessible::installFactory(keyhavenAccessible);
}

void hideFromScreenReaders(QWidget* widget)
{
    widget->setProperty(kHidden, true);
}
