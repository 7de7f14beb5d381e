// The main window's commands on the selected entry.
#include "core/main/GoToTarget.h"
#include "core/platform/MessageBoxes.h"
#include "core/platform/Shell.h"
#include "windows/context/AppContext.h"
#include "windows/main/EntryListModel.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

void MainWindow::deleteSelected()
{
    const int row = firstSelectedRow();
    if (row == 0)
        return showStatus(QStringLiteral("You must first select an entry to delete."));
    const EntryListModel& model = m_entryList->entries();
    const quint64 id = model.idAt(row - 1);
    const Entry entry = model.at(row - 1);
    // A field of megabytes (a damaged file) is cut, as the box could not show it anyway.
    const auto shown = &EntryStore::shownText;
    const QString text = QStringLiteral("Are you sure you want to delete the following information?\r\n\r\n") +
                         QStringLiteral("Username: ") + shown(entry.username) + QStringLiteral("\r\n") +
                         QStringLiteral("Password: ") + shown(entry.password) + QStringLiteral("\r\n") +
                         QStringLiteral("Used At: ") + shown(entry.location);
    const auto answer =
        m_ctx.platform.messages.show(this, text, MessageBoxes::Buttons::OkCancel, QStringLiteral("Confirm Delete"));
    if (answer != MessageBoxes::Answer::Ok)
        return showStatus(QStringLiteral("Entry not deleted, cancelled by user"));
    // The box let other windows run; remove the entry that was confirmed, wherever it stands now.
    const int current = model.rowOfId(id);
    const VaultSession::Saved saved = current >= 0 ? m_ctx.vault.remove(current) : m_ctx.vault.save();
    reportSave(saved, QStringLiteral("Entry deleted successfully, data saved."));
}

void MainWindow::copyField(int index)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const int row = firstSelectedRow();
    if (row == 0)
        return showStatus(QStringLiteral("You must first select a row to copy from."));
    static const std::array<QString, 3> prefixes = {
        QStringLiteral("Copied Username "), QStringLiteral("Copied Password "), QStringLiteral("Copied Location ")};
    const QString value = EntryStore::field(m_entryList->entries().at(row - 1), index);
    auto* copy = new QMimeData;
    copy->setText(value);
    if (index == 1) {
        // Marked as secret, so that clipboard managers keep it out of their history.
        copy->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
#ifdef Q_OS_WIN
        copy->setData(
            QStringLiteral("application/x-qt-windows-mime;value=\"ExcludeClipboardContentFromMonitorProcessing\""),
            QByteArray(4, '\0'));
#endif
    }
    clipboard->setMimeData(copy);
    showStatus(prefixes[index] + value);
}

void MainWindow::goToLocation()
{
    const int row = firstSelectedRow();
    if (row == 0)
        return showStatus(QStringLiteral("You must first select an entry to go to."));
    const QString target = goToTarget(m_entryList->entries().at(row - 1).location);
    // A shared data file may hold any location: what would run is never handed over.
    if (startsAProgram(target))
        return showStatus(QStringLiteral("Go To did not open \"%1\": it is a program, and Go To never starts one.")
                              .arg(EntryStore::shownText(target)));
    showStatus(QStringLiteral("Opening Location..."));
    const Result opened = m_ctx.platform.shell.open(target);
    if (!opened.ok)
        showStatus(
            QStringLiteral("Could not open the location \"%1\": %2").arg(EntryStore::shownText(target), opened.reason));
}

void MainWindow::visitWebsite()
{
    emit websiteRequested();
}

void MainWindow::viewHelp()
{
    emit helpRequested();
}

void MainWindow::about()
{
    emit aboutRequested();
}
