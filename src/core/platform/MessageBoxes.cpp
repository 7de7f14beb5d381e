#include "core/platform/MessageBoxes.h"

MessageBoxes::Answer MessageBoxes::show(QWidget* owner, const QString& text, Buttons buttons, const QString& title,
                                        Icon icon)
{
    return present({text, title.isEmpty() ? m_applicationTitle : title, buttons, icon, owner});
}
