#include "windows/gate/PasswordGate.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/Twips.h"
#include "core/vault/EntryRules.h"
#include "core/vault/VaultFormat.h"
#include "windows/context/AppContext.h"
#include "windows/platform/Fonts.h"
#include "windows/platform/OneLineBox.h"
#include "windows/platform/PictureButton.h"
#include "windows/platform/Topmost.h"
#include "windows/platform/WindowControls.h"
#include "windows/skin/SkinLabel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kClientWidth = 6825;
constexpr int kFrameHeight = 405; // title bar and borders of a fixed single frame, in twips

QLineEdit* passwordBox(QWidget* parent, const char* name, const QString& label)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(label);
    keepOneLine(box);
    showPasswordAs(box, QLatin1Char('*'));
    box->setFont(verdana());
    return box;
}

} // namespace

PasswordGate::PasswordGate(AppContext& ctx, bool createMode)
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_ctx(ctx),
      m_createMode(createMode)
{
    setObjectName(QStringLiteral("PasswordGate"));
    setWindowTitle(QStringLiteral("Password Required"));
    // A fixed box: where the platform draws the title bar, it offers a close button only.
    setFixedSize(twipsSize(kClientWidth, 1800));
    setFont(verdana());

    // Created in tab order; the labels take no focus.
    m_prompt = new SkinLabel(QStringLiteral("Please enter your password"), this);
    m_prompt->setObjectName(QStringLiteral("lblPrompt"));
    m_prompt->setGeometry(twipsRect(120, 60, 6615, 315));
    m_prompt->setWordWrap(true);
    m_prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_okButton = makeButton(this, "cmdOK", QStringLiteral("Ok"), QRect(4500, 1260, 1095, 495));
    m_cancelButton = makeButton(this, "cmdCancel", QStringLiteral("Cancel"), QRect(5700, 1260, 1035, 495));
    m_passwordBox = passwordBox(this, "txtPassword", QStringLiteral("Password"));
    m_passwordBox->setGeometry(twipsRect(1740, 480, 4995, 315));
    m_passwordLabel = new SkinLabel(QStringLiteral("Password:"), this);
    m_passwordLabel->setObjectName(QStringLiteral("lblPassword"));
    m_passwordLabel->setGeometry(twipsRect(120, 540, 915, 255));
    m_retypeBox = passwordBox(this, "txtRetype", QStringLiteral("Retype Password"));
    m_retypeBox->setGeometry(twipsRect(1740, 2400, 4995, 315));
    m_retypeLabel = new SkinLabel(QStringLiteral("Retype Password:"), this);
    m_retypeLabel->setObjectName(QStringLiteral("lblRetype"));
    m_retypeLabel->setGeometry(twipsRect(120, 2460, 1935, 255));
    setTabOrder(m_okButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_passwordBox);
    setTabOrder(m_passwordBox, m_retypeBox);

    m_keepMainHidden.setInterval(100);
    connect(&m_keepMainHidden, &QTimer::timeout, this, &PasswordGate::hideMainWindow);
    connect(m_okButton, &QPushButton::clicked, this, &PasswordGate::confirm);
    connect(m_cancelButton, &QPushButton::clicked, this, &PasswordGate::cancel);
    connect(m_passwordBox, &QLineEdit::returnPressed, this, &PasswordGate::confirm);
    connect(m_retypeBox, &QLineEdit::returnPressed, this, &PasswordGate::confirm);
}

void PasswordGate::onLoad()
{
    m_keepMainHidden.start();
    emit hideMainWindow();
    m_failedTries = 0;

    const int labelLeft = 120;
    if (m_createMode) {
        m_prompt->setText(QStringLiteral("Because this is the first time you have used ") + m_ctx.identity.productName +
                          QStringLiteral(", you will need to create a master password.  This password will be "
                                         "required to open the program from now on, and can not be reset.") +
                          QStringLiteral("\r\n\r\nPlease enter a password that you will not forget."));
        m_prompt->setGeometry(twipsRect(labelLeft, 60, 6615, 1500));
        const int passTop = 1700;
        const int pass2Top = passTop + 315 + 60;
        const int okTop = pass2Top + 315 + 60;
        m_passwordBox->move(twipsRect(1740, passTop, 0, 0).topLeft());
        m_passwordLabel->move(twipsRect(labelLeft, passTop, 0, 0).topLeft());
        m_retypeBox->move(twipsRect(1740, pass2Top, 0, 0).topLeft());
        m_retypeLabel->move(twipsRect(labelLeft, pass2Top, 0, 0).topLeft());
        m_retypeBox->show();
        m_retypeLabel->show();
        m_okButton->move(twipsRect(4500, okTop, 0, 0).topLeft());
        m_cancelButton->move(twipsRect(5700, okTop, 0, 0).topLeft());
        setFixedSize(twipsSize(kClientWidth, okTop + 495 + 60 + 500 - kFrameHeight));
    } else {
        m_prompt->setText(QStringLiteral("Please enter your password"));
        m_passwordBox->move(twipsRect(1740, 360, 0, 0).topLeft());
        m_passwordLabel->move(twipsRect(labelLeft, 360, 0, 0).topLeft());
        m_retypeBox->hide();
        m_retypeLabel->hide();
        m_okButton->move(twipsRect(4500, 780, 0, 0).topLeft());
        m_cancelButton->move(twipsRect(5700, 780, 0, 0).topLeft());
        setFixedSize(twipsSize(kClientWidth, 1845 - kFrameHeight));
    }

    raise();
    setTopmost(this, true);
    QCoreApplication::processEvents();
    m_passwordBox->clear();
    m_okButton->setFocus();
}

void PasswordGate::confirm()
{
    if (m_createMode)
        confirmNewPassword();
    else
        checkPassword();
}

void PasswordGate::showWhileNotTopmost(const QString& text)
{
    setTopmost(this, false);
    m_ctx.platform.messages.show(this, text);
    setTopmost(this, true);
}

void PasswordGate::confirmNewPassword()
{
    const QString first = m_passwordBox->text();
    if (first.size() < 4) {
        showWhileNotTopmost(QStringLiteral("You must enter a password that is at least 4 characters long"));
        return;
    }
    if (m_retypeBox->text() != first) {
        setTopmost(this, false);
        m_ctx.platform.messages.show(this, QStringLiteral("Your passwords did not match.  Please try again."));
        m_retypeBox->clear();
        m_passwordBox->clear();
        setTopmost(this, true);
        return;
    }
    // The file stores one code-page byte a character; never let a password turn into "?".
    const QString problem = entryrules::problemStoringText(first);
    if (!problem.isEmpty()) {
        setTopmost(this, false);
        m_ctx.platform.messages.show(this, QStringLiteral("This password cannot be used: ") + problem +
                                               QStringLiteral(".  Please choose another password."));
        m_retypeBox->clear();
        m_passwordBox->clear();
        setTopmost(this, true);
        return;
    }
    m_accepted = true;
    m_keepMainHidden.stop();
    emit passwordChosen(first);
}

void PasswordGate::checkPassword()
{
    VaultSession::Loaded loaded;
    const VaultSession::Unlock result = m_ctx.vault.unlock(m_passwordBox->text(), &loaded);
    if (result == VaultSession::Unlock::Unlocked) {
        m_accepted = true;
        m_keepMainHidden.stop();
        emit unlocked(loaded);
        return;
    }
    if (result == VaultSession::Unlock::Damaged) {
        m_keepMainHidden.stop();
        emit damaged(m_ctx.vault.damage());
        return;
    }
    const auto answer =
        m_ctx.platform.messages.show(this, QStringLiteral("Sorry, the password you entered was not correct."),
                                     MessageBoxes::Buttons::RetryCancel, QStringLiteral("Incorrect Password"));
    if (answer != MessageBoxes::Answer::Retry)
        return giveUp();
    ++m_failedTries;
    if (m_failedTries == 3) {
        m_ctx.platform.messages.show(this, QStringLiteral("Only 3 tries allowed.  Click Ok to close."));
        return giveUp();
    }
    m_passwordBox->clear();
}

void PasswordGate::cancel()
{
    giveUp();
}

void PasswordGate::giveUp()
{
    m_keepMainHidden.stop();
    emit gaveUp();
}

void PasswordGate::closeEvent(QCloseEvent* event)
{
    emit unloaded();
    if (!m_accepted)
        giveUp();
    m_keepMainHidden.stop();
    event->accept();
}
