#include "windows/editor/FrmAdd.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/Twips.h"
#include "core/vault/VaultFormat.h"
#include "windows/context/AppContext.h"
#include "windows/platform/Fonts.h"
#include "windows/platform/OneLineBox.h"
#include "windows/platform/PictureButton.h"
#include "windows/skin/SkinLabel.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>

namespace {

void label(QWidget* parent, const char* name, const QString& text, const QRect& rect)
{
    auto* l = new SkinLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(verdana(8.25, true));
    l->setGeometry(rect);
}

QLineEdit* textBox(QWidget* parent, const char* name, const QString& label, const QRect& rect)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(label);
    keepOneLine(box);
    box->setFont(verdana());
    box->setGeometry(rect);
    return box;
}

} // namespace

FrmAdd::FrmAdd(AppContext& ctx) : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmAdd"));
    setWindowIcon(QIcon(QStringLiteral(":/images/edit.png")));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    setFont(verdana());
    setFixedSize(twipsSize(4680, 2610));

    // Created in tab order, so the window opens with the focus on Cancel.
    m_cmdDelete = makeButton(this, "cmdDelete", QStringLiteral("Cancel"), QRect(3420, 1500, 1155, 1035), "cancel.png");
    m_cmdAdd = makeButton(this, "cmdAdd", QStringLiteral("Save"), QRect(120, 1500, 1155, 1035), "save.png");
    label(this, "SkinLabel1", QStringLiteral("Username:"), twipsRect(120, 120, 1155, 255));
    m_txtUsername = textBox(this, "txtUsername", QStringLiteral("Username"), twipsRect(1320, 60, 3255, 315));
    label(this, "SkinLabel2", QStringLiteral("Password:"), twipsRect(120, 540, 1155, 255));
    m_txtPassword = textBox(this, "txtPassword", QStringLiteral("Password"), twipsRect(1320, 480, 3255, 315));
    label(this, "SkinLabel3", QStringLiteral("Website:"), twipsRect(120, 960, 1155, 255));
    m_txtWebsite = textBox(this, "txtWebsite", QStringLiteral("Website"), twipsRect(1320, 900, 3255, 315));
    setTabOrder(m_cmdDelete, m_cmdAdd);
    setTabOrder(m_cmdAdd, m_txtUsername);
    setTabOrder(m_txtUsername, m_txtPassword);
    setTabOrder(m_txtPassword, m_txtWebsite);

    connect(m_cmdAdd, &QPushButton::clicked, this, &FrmAdd::cmdAdd_Click);
    connect(m_cmdDelete, &QPushButton::clicked, this, &FrmAdd::cmdDelete_Click);
    connect(m_txtWebsite, &QLineEdit::returnPressed, this, &FrmAdd::cmdAdd_Click); // txtWebsite_KeyPress
}

void FrmAdd::formLoad()
{
    const EntryEditRequest& request = m_ctx.editRequest;
    if (request.mode == EntryEditRequest::Mode::Add) {
        setWindowTitle(QStringLiteral("Add an entry"));
    } else {
        setWindowTitle(QStringLiteral("Edit an entry"));
        m_txtUsername->setText(request.entry.username);
        m_txtPassword->setText(request.entry.password);
        m_txtWebsite->setText(request.entry.location);
    }
    m_cmdDelete->setFocus();
}

void FrmAdd::cmdAdd_Click()
{
    const Entry entry{m_txtUsername->text(), m_txtPassword->text(), m_txtWebsite->text()};
    const QString problem = vaultformat::problemWithEntry(entry);
    if (!problem.isEmpty()) {
        m_ctx.platform.messages.show(this, problem, MessageBoxes::Buttons::Ok, QStringLiteral("Error"));
        return;
    }
    // The newest request counts. Edit changes the very entry it was opened on; if that entry is
    // gone, the values are added.
    const EntryEditRequest& request = m_ctx.editRequest;
    const VaultSession::Saved done = request.mode == EntryEditRequest::Mode::Add
                                         ? m_ctx.vault.add(entry)
                                         : m_ctx.vault.replace(request.rowId, request.entry, entry);
    emit saved(done);
    close();
}

void FrmAdd::cmdDelete_Click()
{
    close();
}

void FrmAdd::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit unloaded();
}
