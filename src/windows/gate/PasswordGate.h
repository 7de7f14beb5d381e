#pragma once
#include "core/vault/VaultSession.h"

#include <QTimer>
#include <QWidget>

class AppContext;
class QLineEdit;
class QPushButton;
class SkinLabel;

// The master password gate: creates the password on first use, verifies it afterwards.
class PasswordGate : public QWidget {
    Q_OBJECT
public:
    PasswordGate(AppContext& ctx, bool createMode);

    void onLoad();
    void confirm();
    void cancel();

signals:
    // While the gate is open, the main window is to be kept hidden (at load and every 100 ms).
    void hideMainWindow();
    // The vault is unlocked with the password typed, and its entries loaded.
    void unlocked(const VaultSession::Loaded& loaded);
    // The file opened with the password typed, but its contents were changed: it cannot be read.
    void damaged(const QString& reason);
    // A new master password was typed twice; the vault is still to create it.
    void passwordChosen(const QString& password);
    // No password was accepted (cancelled, closed, or too many tries): the run ends.
    void gaveUp();
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void confirmNewPassword();
    void checkPassword();
    void showWhileNotTopmost(const QString& text);
    void giveUp();

    AppContext& m_ctx;
    const bool m_createMode;
    bool m_accepted = false; // a password was accepted: closing no longer ends the program
    SkinLabel* m_prompt;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    QLineEdit* m_passwordBox;
    SkinLabel* m_passwordLabel;
    QLineEdit* m_retypeBox;
    SkinLabel* m_retypeLabel;
    QTimer m_keepMainHidden;
    int m_failedTries = 0;
};
