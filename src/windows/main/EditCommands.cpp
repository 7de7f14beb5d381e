// The main window's Add and Edit commands, which ask for the entry editor.
#include "windows/context/AppContext.h"
#include "windows/main/EntryListView.h"
#include "windows/main/Form1.h"

void Form1::cmdAdd_Click()
{
    m_ctx.editRequest.mode = EntryEditRequest::Mode::Add;
    emit editorRequested();
}

void Form1::cmdEdit_Click()
{
    const int row = FirstSelectedRow();
    if (row == 0)
        return StatusLine(QStringLiteral("You must first select an entry to edit."));
    const EntryListModel& model = m_lstPass->entries();
    EntryEditRequest& request = m_ctx.editRequest;
    request.entry = model.at(row - 1);
    request.row = row;
    request.rowId = model.idAt(row - 1);
    request.mode = EntryEditRequest::Mode::Edit;
    emit editorRequested();
}
