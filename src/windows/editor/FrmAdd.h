#pragma once
#include "core/vault/VaultSession.h"

#include <QWidget>

class AppContext;
class QLineEdit;
class QPushButton;
class SkinLabel;

// The entry editor: adds a new entry or changes the one the Edit command picked.
class FrmAdd : public QWidget {
    Q_OBJECT
public:
    explicit FrmAdd(AppContext& ctx);

    void formLoad();
    void cmdAdd_Click();
    void cmdDelete_Click();

signals:
    // The entry was handed to the vault: where it is, and how it was saved.
    void saved(const VaultSession::Saved& saved);
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_ctx;
    QPushButton* m_cmdDelete;
    QPushButton* m_cmdAdd;
    QLineEdit* m_txtUsername;
    QLineEdit* m_txtPassword;
    QLineEdit* m_txtWebsite;
};
