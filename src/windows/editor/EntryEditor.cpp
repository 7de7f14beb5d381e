#include "windows/editor/EntryEditor.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/Twips.h"
#include "core/vault/EntryRules.h"
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

EntryEditor::EntryEditor(AppContext& ctx) : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint), m_ctx(ctx)
{
    setObjectName(QStringLiteral("EntryEditor"));
    setWindowIcon(QIcon(QStringLiteral(":/images/edit.png")));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    setFont(verdana());
    setFixedSize(twipsSize(4680, 2610));

    // Created in tab order, so the window opens with the focus on Cancel.
    m_cancelButton =
        makeButton(this, "cmdCancel", QStringLiteral("Cancel"), QRect(3420, 1500, 1155, 1035), "cancel.png");
    m_saveButton = makeButton(this, "cmdSave", QStringLiteral("Save"), QRect(120, 1500, 1155, 1035), "save.png");
    label(this, "lblUsername", QStringLiteral("Username:"), twipsRect(120, 120, 1155, 255));
    m_usernameBox = textBox(this, "txtUsername", QStringLiteral("Username"), twipsRect(1320, 60, 3255, 315));
    label(this, "lblPassword", QStringLiteral("Password:"), twipsRect(120, 540, 1155, 255));
    m_passwordBox = textBox(this, "txtPassword", QStringLiteral("Password"), twipsRect(1320, 480, 3255, 315));
    label(this, "lblWebsite", QStringLiteral("Website:"), twipsRect(120, 960, 1155, 255));
    m_websiteBox = textBox(this, "txtWebsite", QStringLiteral("Website"), twipsRect(1320, 900, 3255, 315));
    setTabOrder(m_cancelButton, m_saveButton);
    setTabOrder(m_saveButton, m_usernameBox);
    setTabOrder(m_usernameBox, m_passwordBox);
    setTabOrder(m_passwordBox, m_websiteBox);

    connect(m_saveButton, &QPushButton::clicked, this, &EntryEditor::save);
    connect(m_cancelButton, &QPushButton::clicked, this, &EntryEditor::cancel);
    connect(m_websiteBox, &QLineEdit::returnPressed, this, &EntryEditor::save); // Enter in the last box saves
}

void EntryEditor::onLoad()
{
    const EntryEditRequest& request = m_ctx.editRequest;
    if (request.mode == EntryEditRequest::Mode::Add) {
        setWindowTitle(QStringLiteral("Add an entry"));
    } else {
        setWindowTitle(QStringLiteral("Edit an entry"));
        m_usernameBox->setText(request.entry.username);
        m_passwordBox->setText(request.entry.password);
        m_websiteBox->setText(request.entry.location);
    }
    m_cancelButton->setFocus();
}

void EntryEditor::save()
{
    const Entry entry{m_usernameBox->text(), m_passwordBox->text(), m_websiteBox->text()};
    const QString problem = entryrules::problemWithEntry(entry);
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

void EntryEditor::cancel()
{
    close();
}

void EntryEditor::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit unloaded();
}
