#include "windows/platform/QtFileDialogs.h"

#include <QFileDialog>
#include <QPointer>

QString QtFileDialogs::askSavePath(QWidget* owner, const QString& title, const QString& proposed)
{
    QPointer<QFileDialog> dialog = new QFileDialog(owner, title, proposed);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->selectFile(proposed);
    const bool chosen = dialog->exec() == QDialog::Accepted && dialog && !dialog->selectedFiles().isEmpty();
    QString path = chosen ? dialog->selectedFiles().constFirst() : QString();
    delete dialog; // gone already when its owner went while it was open
    return path;
}
