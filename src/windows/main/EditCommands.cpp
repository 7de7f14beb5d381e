// The main window's Add and Edit commands, which ask for the entry editor.
#include "windows/context/AppContext.h"
#include "windows/main/EntryListView.h"
#include "windows/main/MainWindow.h"

void MainWindow::addEntry()
{
    m_ctx.editRequest.mode = EntryEditRequest::Mode::Add;
    emit editorRequested();
}

void MainWindow::editSelected()
{
    const int row = firstSelectedRow();
    if (row == 0)
        return showStatus(QStringLiteral("You must first select an entry to edit."));
    const EntryListModel& model = m_entryList->entries();
    EntryEditRequest& request = m_ctx.editRequest;
    request.entry = model.at(row - 1);
    request.rowId = model.idAt(row - 1);
    request.mode = EntryEditRequest::Mode::Edit;
    emit editorRequested();
}
