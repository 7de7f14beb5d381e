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
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppContext& ctx);

    void onLoad();
    void showStatus(const QString& text);
    // After a save: the status line says done (when it was saved, unless the command has its
    // own words) and whether changes made elsewhere were merged; or a box and the status line
    // say why it was not saved, and where the change went instead.
    void reportSave(const VaultSession::Saved& saved, const QString& done = {});
    void reportSaveFailure(const QString& reason, const QString& what);
    // Conflict copies another machine's sync left were merged, or some could not be: the words for
    // the status line (after what is there), and a box for each copy that could not.
    QString copiesText(const VaultSession::CopiesMerged& copies);
    // After the editor saved an entry: it is in view, and the status line says so.
    void entrySaved(const VaultSession::Saved& saved);
    int firstSelectedRow() const;
    EntryListView& list() { return *m_entryList; }

    // Entry commands; each button and its menu item run the same one.
    void addEntry();
    void editSelected();
    void deleteSelected();
    void copyField(int column);
    void goToLocation();
    void visitWebsite();
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
    void sortByColumn(int header1);

    AppContext& m_ctx;
    QPushButton* m_addButton;
    QPushButton* m_deleteButton;
    QPushButton* m_editButton;
    QPushButton* m_goToButton;
    QPushButton* m_websiteButton;
    std::array<QPushButton*, 3> m_copyButtons{};
    EntryListView* m_entryList;
    QStatusBar* m_statusBar;
    QLabel* m_statusPanel;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_dataMenu = nullptr;
    QMenu* m_copyMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QMenu* m_aboutMenu = nullptr;
    std::array<QAction*, 1> m_fileItems{};
    std::array<QAction*, 4> m_dataItems{};
    std::array<QAction*, 3> m_copyItems{};
    std::array<QAction*, 1> m_helpItems{};
    std::array<QAction*, 1> m_aboutItems{};
};
