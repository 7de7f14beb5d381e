#include "windows/skin/SkinLabelCopies.h"

#include "core/platform/Twips.h"
#include "windows/platform/Accessibility.h"
#include "windows/platform/WindowControls.h"
#include "windows/skin/ControlTypeName.h"
#include "windows/skin/SkinLabel.h"

SkinLabel* makeSkinLabelTemplate(QWidget* container, const QString& text, const QRect& twips)
{
    auto* templ = new SkinLabel(text, container);
    templ->setObjectName(QStringLiteral("skinLabelTemplate"));
    templ->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    templ->hide();
    hideFromScreenReaders(templ);
    return templ;
}

void copyPlainLabelsToSkinLabels(QWidget* window, std::vector<SkinLabel*>& array)
{
    QWidget* container = array.front()->parentWidget();
    const QList<QWidget*> controls = window->findChildren<QWidget*>(); // snapshot: copies come after
    for (QWidget* control : controls) {
        if (controlTypeName(control) != QLatin1String("Label") || control->parentWidget() != container)
            continue;
        const auto* plain = static_cast<QLabel*>(control);
        auto* copy = new SkinLabel(QString(), container);
        copy->setObjectName(QStringLiteral("skinLabelCopy_%1").arg(array.size()));
        copy->setGeometry(plain->geometry());
        copy->setFont(plain->font());
        copy->setText(plain->text());
        copy->setVisible(!plain->isHidden());
        stackDirectlyAbove(copy, control); // lies over the plain label, under the other controls
        hideFromScreenReaders(control);    // the copy reads its text
        array.push_back(copy);
    }
}
