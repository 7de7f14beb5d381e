#pragma once
#include "core/vault/VaultSession.h"

#include <QMainWindow>
#include <array>

class AppContext;
class EntryListView;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;

// The main window: the entry list, its commands, the menus and the status line.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(AppContext& ctx);

    void formLoad();
    void StatusLine(const QString& text);
    // After a save: the status line says done (when it was saved, unless the command has its
    // own words) and whether changes made elsewhere were merged; or a box and the status line
    // say why it was not saved, and where the change went instead.
    void reportSave(const VaultSession::Saved& saved, const QString& done = {});
    void reportSaveFailure(const QString& reason, const QString& what);
    // After the editor saved an entry: it is in view, and the status line says so.
    void entrySaved(const VaultSession::Saved& saved);
    QString statusText() const;
    int FirstSelectedRow() const;
    EntryListView& list() { return *m_lstPass; }

    // Entry commands; each button and its menu item run the same one.
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdCopy_Click(int index);
    void cmdGoto_Click();
    void cmdWebsite_Click();
    void viewHelp();
    void about();

    // Column widths in twips, derived from the copy buttons above the columns.
    static std::array<int, 3> columnWidthsTwips();

signals:
    void editorRequested(); // Add or Edit, as the context's edit request says
    void websiteRequested();
    void helpRequested();
    void aboutRequested();
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void lstPass_ColumnClick(int index1);

    AppContext& m_ctx;
    QPushButton* m_cmdAdd;
    QPushButton* m_cmdDelete;
    QPushButton* m_cmdEdit;
    QPushButton* m_cmdGoto;
    QPushButton* m_cmdWebsite;
    std::array<QPushButton*, 3> m_cmdCopy{};
    EntryListView* m_lstPass;
    QStatusBar* m_statusBar1;
    QLabel* m_statusPanel;
    QString m_statusText; // in full; the panel shows what fits
    QMenu* m_mnuFile = nullptr;
    QMenu* m_mnuData = nullptr;
    QMenu* m_mnuCopy = nullptr;
    QMenu* m_mnuHelp = nullptr;
    QMenu* m_mnuAbout = nullptr;
    std::array<QAction*, 1> m_mnuFileItem{};
    std::array<QAction*, 4> m_mnuDataItem{};
    std::array<QAction*, 3> m_mnuCopyItem{};
    std::array<QAction*, 1> m_mnuHelpItem{};
    std::array<QAction*, 1> m_mnuAboutItem{};
};
