#pragma once
#include "core/vault/VaultSession.h"

#include <QWidget>

class AppContext;
class QLineEdit;
class QPushButton;
class SkinLabel;

// The entry editor: adds a new entry or changes the one the Edit command picked.
class EntryEditor : public QWidget {
    Q_OBJECT
public:
    explicit EntryEditor(AppContext& ctx);

    void onLoad();
    void save();
    void cancel();

signals:
    // The entry was handed to the vault: where it is, and how it was saved.
    void saved(const VaultSession::Saved& saved);
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_ctx;
    QPushButton* m_cancelButton;
    QPushButton* m_saveButton;
    QLineEdit* m_usernameBox;
    QLineEdit* m_passwordBox;
    QLineEdit* m_websiteBox;
};
