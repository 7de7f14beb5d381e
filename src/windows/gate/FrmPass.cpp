#include "windows/gate/FrmPass.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/ProgramEnd.h"
#include "core/platform/Twips.h"
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

FrmPass::FrmPass(AppContext& ctx, bool createMode)
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_ctx(ctx),
      m_createMode(createMode)
{
    setObjectName(QStringLiteral("frmPass"));
    setWindowTitle(QStringLiteral("Password Required"));
    // A fixed box: where the platform draws the title bar, it offers a close button only.
    setFixedSize(twipsSize(kClientWidth, 1800));
    setFont(verdana());

    // Created in tab order; the labels take no focus.
    m_skinLabel1 = new SkinLabel(QStringLiteral("Please enter your password"), this);
    m_skinLabel1->setObjectName(QStringLiteral("SkinLabel1"));
    m_skinLabel1->setGeometry(twipsRect(120, 60, 6615, 315));
    m_skinLabel1->setWordWrap(true);
    m_skinLabel1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_cmdOK = makeButton(this, "cmdOK", QStringLiteral("Ok"), QRect(4500, 1260, 1095, 495));
    m_cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Cancel"), QRect(5700, 1260, 1035, 495));
    m_txtPass = passwordBox(this, "txtPass", QStringLiteral("Password"));
    m_txtPass->setGeometry(twipsRect(1740, 480, 4995, 315));
    m_skinLabel2 = new SkinLabel(QStringLiteral("Password:"), this);
    m_skinLabel2->setObjectName(QStringLiteral("SkinLabel2"));
    m_skinLabel2->setGeometry(twipsRect(120, 540, 915, 255));
    m_txtPass2 = passwordBox(this, "txtPass2", QStringLiteral("Retype Password"));
    m_txtPass2->setGeometry(twipsRect(1740, 2400, 4995, 315));
    m_skinLabel3 = new SkinLabel(QStringLiteral("Retype Password:"), this);
    m_skinLabel3->setObjectName(QStringLiteral("SkinLabel3"));
    m_skinLabel3->setGeometry(twipsRect(120, 2460, 1935, 255));
    setTabOrder(m_cmdOK, m_cmdCancel);
    setTabOrder(m_cmdCancel, m_txtPass);
    setTabOrder(m_txtPass, m_txtPass2);

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(100);
    connect(&m_timer1, &QTimer::timeout, this, &FrmPass::hideMainWindow);
    connect(m_cmdOK, &QPushButton::clicked, this, &FrmPass::okAction);
    connect(m_cmdCancel, &QPushButton::clicked, this, &FrmPass::cmdCancel_Click);
    connect(m_txtPass, &QLineEdit::returnPressed, this, &FrmPass::okAction);
    connect(m_txtPass2, &QLineEdit::returnPressed, this, &FrmPass::okAction);
}

void FrmPass::formLoad()
{
    m_timer1.start();
    emit hideMainWindow();
    m_failedTries = 0;

    const int labelLeft = 120;
    if (m_createMode) {
        m_skinLabel1->setText(QStringLiteral("Because this is the first time you have used ") +
                              m_ctx.identity.productName +
                              QStringLiteral(", you will need to create a master password.  This password will be "
                                             "required to open the program from now on, and can not be reset.") +
                              QStringLiteral("\r\n\r\nPlease enter a password that you will not forget."));
        m_skinLabel1->setGeometry(twipsRect(labelLeft, 60, 6615, 1500));
        const int passTop = 1700;
        const int pass2Top = passTop + 315 + 60;
        const int okTop = pass2Top + 315 + 60;
        m_txtPass->move(twipsRect(1740, passTop, 0, 0).topLeft());
        m_skinLabel2->move(twipsRect(labelLeft, passTop, 0, 0).topLeft());
        m_txtPass2->move(twipsRect(1740, pass2Top, 0, 0).topLeft());
        m_skinLabel3->move(twipsRect(labelLeft, pass2Top, 0, 0).topLeft());
        m_txtPass2->show();
        m_skinLabel3->show();
        m_cmdOK->move(twipsRect(4500, okTop, 0, 0).topLeft());
        m_cmdCancel->move(twipsRect(5700, okTop, 0, 0).topLeft());
        setFixedSize(twipsSize(kClientWidth, okTop + 495 + 60 + 500 - kFrameHeight));
    } else {
        m_skinLabel1->setText(QStringLiteral("Please enter your password"));
        m_txtPass->move(twipsRect(1740, 360, 0, 0).topLeft());
        m_skinLabel2->move(twipsRect(labelLeft, 360, 0, 0).topLeft());
        m_txtPass2->hide();
        m_skinLabel3->hide();
        m_cmdOK->move(twipsRect(4500, 780, 0, 0).topLeft());
        m_cmdCancel->move(twipsRect(5700, 780, 0, 0).topLeft());
        setFixedSize(twipsSize(kClientWidth, 1845 - kFrameHeight));
    }

    raise();
    SetTopmost(this, true);
    QCoreApplication::processEvents();
    m_txtPass->clear();
    m_cmdOK->setFocus();
}

void FrmPass::okAction()
{
    if (m_createMode)
        createOk();
    else
        verifyOk();
}

void FrmPass::showWhileNotTopmost(const QString& text)
{
    SetTopmost(this, false);
    m_ctx.platform.messages.show(this, text);
    SetTopmost(this, true);
}

void FrmPass::createOk()
{
    const QString first = m_txtPass->text();
    if (first.size() < 4) {
        showWhileNotTopmost(QStringLiteral("You must enter a password that is at least 4 characters long"));
        return;
    }
    if (m_txtPass2->text() != first) {
        SetTopmost(this, false);
        m_ctx.platform.messages.show(this, QStringLiteral("Your passwords did not match.  Please try again."));
        m_txtPass2->clear();
        m_txtPass->clear();
        SetTopmost(this, true);
        return;
    }
    // The file stores one code-page byte a character; never let a password turn into "?".
    const QString problem = vaultformat::problemWithPassword(first);
    if (!problem.isEmpty()) {
        SetTopmost(this, false);
        m_ctx.platform.messages.show(this, QStringLiteral("This password cannot be used: ") + problem +
                                               QStringLiteral(".  Please choose another password."));
        m_txtPass2->clear();
        m_txtPass->clear();
        SetTopmost(this, true);
        return;
    }
    m_accepted = true;
    m_timer1.stop();
    emit passwordChosen(first);
}

void FrmPass::verifyOk()
{
    VaultSession::Loaded loaded;
    const VaultSession::Unlock result = m_ctx.vault.unlock(m_txtPass->text(), &loaded);
    if (result == VaultSession::Unlock::Unlocked) {
        m_accepted = true;
        m_timer1.stop();
        emit unlocked(loaded);
        return;
    }
    if (result == VaultSession::Unlock::Damaged) {
        m_timer1.stop();
        emit damaged(m_ctx.vault.damage());
        return;
    }
    const auto answer =
        m_ctx.platform.messages.show(this, QStringLiteral("Sorry, the password you entered was not correct."),
                                     MessageBoxes::Buttons::RetryCancel, QStringLiteral("Incorrect Password"));
    if (answer != MessageBoxes::Answer::Retry)
        return endProgram();
    ++m_failedTries;
    if (m_failedTries == 3) {
        m_ctx.platform.messages.show(this, QStringLiteral("Only 3 tries allowed.  Click Ok to close."));
        return endProgram();
    }
    m_txtPass->clear();
}

void FrmPass::cmdCancel_Click()
{
    endProgram();
}

void FrmPass::endProgram()
{
    m_timer1.stop();
    m_ctx.platform.programEnd.endNow();
}

void FrmPass::closeEvent(QCloseEvent* event)
{
    emit unloaded();
    if (!m_accepted)
        endProgram();
    m_timer1.stop();
    event->accept();
}
