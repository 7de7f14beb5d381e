#pragma once
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
    explicit FrmPass(AppContext& ctx);

    void formLoad();
    void okAction();
    void cmdCancel_Click();
    int failedTries() const { return m_failedTries; }
    bool timerRunning() const { return m_timer1.isActive(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createOk();
    void verifyOk();
    void showWhileNotTopmost(const QString& text);
    void endProgram();

    AppContext& m_ctx;
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
