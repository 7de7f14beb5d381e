#pragma once
#include "core/vault/VaultSession.h"

#include <QTimer>
#include <QWidget>

class AppContext;
class QLineEdit;
class QPushButton;
class SkinLabel;

// The master password gate: creates the password on first use, verifies it afterwards.
class FrmPass : public QWidget {
    Q_OBJECT
public:
    FrmPass(AppContext& ctx, bool createMode);

    void formLoad();
    void okAction();
    void cmdCancel_Click();
    int failedTries() const { return m_failedTries; }
    bool timerRunning() const { return m_timer1.isActive(); }

signals:
    // While the gate is open, the main window is to be kept hidden (at load and every 100 ms).
    void hideMainWindow();
    // The vault is unlocked with the password typed, and its entries loaded.
    void unlocked(const VaultSession::Loaded& loaded);
    // The file opened with the password typed, but its contents were changed: it cannot be read.
    void damaged(const QString& reason);
    // A new master password was typed twice; the vault is still to create it.
    void passwordChosen(const QString& password);
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createOk();
    void verifyOk();
    void showWhileNotTopmost(const QString& text);
    void endProgram();

    AppContext& m_ctx;
    const bool m_createMode;
    bool m_accepted = false; // a password was accepted: closing no longer ends the program
    SkinLabel* m_skinLabel1;
    QPushButton* m_cmdOK;
    QPushButton* m_cmdCancel;
    QLineEdit* m_txtPass;
    SkinLabel* m_skinLabel2;
    QLineEdit* m_txtPass2;
    SkinLabel* m_skinLabel3;
    QTimer m_timer1;
    int m_failedTries = 0;
};
