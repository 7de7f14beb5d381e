#include "windows/platform/QtMessageBoxes.h"

#include <QMessageBox>
#include <QWidget>

MessageBoxes::Answer QtMessageBoxes::present(const Box& box)
{
    // A dialog of its window, so the desktop keeps it above and beside that window (on Wayland the
    // only way to place it there); a window not shown yet has no place to lend it.
    QMessageBox mb(box.owner && box.owner->isVisible() ? box.owner->window() : nullptr);
    mb.setText(box.text);
    mb.setWindowTitle(box.title);
    switch (box.icon) {
    case Icon::None: mb.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: mb.setIcon(QMessageBox::Information); break;
    case Icon::Warning: mb.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: mb.setIcon(QMessageBox::Critical); break;
    }
    switch (box.buttons) {
    case Buttons::Ok:
        mb.setStandardButtons(QMessageBox::Ok);
        mb.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        mb.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        mb.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::RetryCancel:
        mb.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        mb.setDefaultButton(QMessageBox::Retry);
        break;
    }
    mb.setWindowFlag(Qt::WindowStaysOnTopHint, true); // never hidden behind a topmost window
    switch (mb.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return Answer::Closed;
    }
}
