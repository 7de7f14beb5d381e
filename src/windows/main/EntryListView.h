#pragma once
#include "windows/main/EntryListModel.h"

#include <QTreeView>
#include <optional>

class VaultSession;

// A flat list in report view over an EntryListModel: whole rows selected, one at a time,
// uniform row heights so a long list costs nothing per row off screen.
class EntryListView : public QTreeView {
    Q_OBJECT
public:
    EntryListView(VaultSession& vault, QWidget* parent = nullptr);

    EntryListModel& entries() { return m_model; }
    const EntryListModel& entries() const { return m_model; }
    VaultSession& vault() { return m_vault; }

    // 1-based position of the first selected row in list order, or 0 when none is selected.
    int firstSelectedRow() const;
    void selectRow(int row0);

signals:
    void columnClicked(int index1); // 1-based index of the clicked column header

private:
    void updateSortIndicator();

    VaultSession& m_vault;
    EntryListModel m_model;
    std::optional<Entry> m_selectedBeforeReset;
};
