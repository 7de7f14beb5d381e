#include "windows/run/Program.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/ProgramEnd.h"
#include "core/platform/SettingsStore.h"
#include "windows/browser/FrmWebsite.h"
#include "windows/context/AppContext.h"
#include "windows/editor/FrmAdd.h"
#include "windows/gate/FrmPass.h"
#include "windows/info/Form8.h"
#include "windows/info/FrmAbout.h"
#include "windows/info/FrmSplash.h"
#include "windows/main/Form1.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/skin/SkinWindow.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString damagedLinesText(int damaged)
{
    return damaged == 1 ? QStringLiteral("; 1 damaged line had missing fields, which were left empty")
                        : QStringLiteral("; %1 damaged lines had missing fields, which were left empty").arg(damaged);
}

} // namespace

Program::Program(AppContext& ctx) : m_ctx(ctx)
{
    connect(&ctx.vault, &VaultSession::reloaded, this, [this](int entries) {
        if (windows.form1)
            windows.form1->StatusLine(
                QStringLiteral("The data file was changed elsewhere: the list was reloaded (%1 entries)").arg(entries));
    });
    connect(&ctx.vault, &VaultSession::notReloaded, this, [this](const QString& reason) {
        if (windows.form1)
            windows.form1->StatusLine(
                QStringLiteral("The data file was changed elsewhere, and %1: it was not reloaded, and it will not "
                               "be written over")
                    .arg(reason));
    });
}

template <class W, class Make>
W* Program::load(QPointer<W>& slot, Make make)
{
    return loadWindow(
        slot,
        [&] {
            W* made = make();
            // A window closed by the user counts as unloaded at once, before its deferred deletion.
            connect(made, &W::unloaded, this, [&slot, made] { forgetWindow(slot, made); });
            return made;
        },
        [this](W* window) {
            // Every window is skinned as it loads, so its load step already shows the skin.
            if (m_ctx.skinningEnabled)
                SkinWindow(m_ctx.skinEngine, m_ctx.skinPath, window);
        });
}

void Program::start()
{
    FrmSplash* splash = load(windows.frmSplash, [&] { return new FrmSplash(m_ctx); });
    // Skinning starts in the splash window's load, so it is skinned right after it.
    if (m_ctx.skinningEnabled)
        SkinWindow(m_ctx.skinEngine, m_ctx.skinPath, splash);
    connect(splash, &FrmSplash::handOver, this, [this, splash] {
        loadMainWindow();
        showModeless(windows.form1);
        splash->hide();
    });
    showModeless(splash);
}

void Program::loadMainWindow()
{
    if (windows.form1)
        return;
    Form1* main = load(windows.form1, [&] {
        auto* made = new Form1(m_ctx);
        connect(made, &Form1::editorRequested, this, &Program::openEditor);
        connect(made, &Form1::websiteRequested, this, &Program::openBrowserWindow);
        connect(made, &Form1::helpRequested, this, &Program::openHelpWindow);
        connect(made, &Form1::aboutRequested, this, &Program::openAboutWindow);
        connect(made, &Form1::unloaded, this, &Program::mainWindowUnloaded);
        return made;
    });
    if (main)
        CheckVault();
}

void Program::reportUnreadable(const QString& reason, const QString& what)
{
    m_ctx.platform.messages.show(windows.form1,
                                 QStringLiteral("The data file cannot be %1:\n\n%2\n\n%3\n\n"
                                                "Nothing was changed. The program will now close.")
                                     .arg(what, QDir::toNativeSeparators(m_ctx.vault.path()), reason),
                                 MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Critical);
    m_ctx.platform.programEnd.endNow();
}

void Program::CheckVault()
{
    const VaultSession::Opened opened = m_ctx.vault.open();
    if (!opened.ok)
        return reportUnreadable(opened.reason, opened.creating ? QStringLiteral("created") : QStringLiteral("read"));
    ShowPasswordGate(m_ctx.vault.needsNewPassword());
}

void Program::ShowPasswordGate(bool createMode)
{
    showModeless(load(windows.frmPass, [&] {
        auto* gate = new FrmPass(m_ctx, createMode);
        connect(gate, &FrmPass::hideMainWindow, this, [this] {
            if (windows.form1)
                windows.form1->hide();
        });
        connect(gate, &FrmPass::unlocked, this, &Program::LoadVaultEntries);
        connect(gate, &FrmPass::damaged, this,
                [this](const QString& reason) { reportUnreadable(reason, QStringLiteral("read")); });
        connect(gate, &FrmPass::passwordChosen, this, &Program::SaveNewPassword);
        return gate;
    }));
}

void Program::LoadVaultEntries(const VaultSession::Loaded& loaded)
{
    QString status = QStringLiteral("Loaded ") + QString::number(loaded.entries) + QStringLiteral(" entries");
    if (loaded.damagedLines > 0)
        status += damagedLinesText(loaded.damagedLines);
    windows.form1->StatusLine(status);
    m_ctx.vault.watch();
    afterFormLoad();
}

bool Program::SaveNewPassword(const QString& password)
{
    unloadWindow(windows.frmPass);
    QCoreApplication::processEvents();
    Form1* form1 = windows.form1;
    const VaultSession::Created created = m_ctx.vault.createPassword(password);
    if (created.ok) {
        const int kept = created.loaded.entries;
        QString status = QStringLiteral("Password created successfully");
        if (kept == 1)
            status += QStringLiteral("; the entry already in the data file was kept");
        else if (kept > 1)
            status += QStringLiteral("; the %1 entries already in the data file were kept").arg(kept);
        if (created.loaded.damagedLines > 0)
            status += damagedLinesText(created.loaded.damagedLines);
        form1->StatusLine(status);
    } else {
        form1->reportSaveFailure(created.reason, QStringLiteral("The new master password"));
        form1->StatusLine(QStringLiteral("Save failed: the master password was not saved (") + created.reason +
                          QLatin1Char(')'));
    }
    m_ctx.vault.watch();
    afterFormLoad();
    return created.ok;
}

void Program::afterFormLoad()
{
    windows.form1->show();
    const QString showHelp = m_ctx.platform.settings.read(m_ctx.version.productName, QStringLiteral("Settings"),
                                                          QStringLiteral("showHelp"), QStringLiteral("1"));
    if (showHelp == QLatin1String("1"))
        openHelpWindow();
    unloadWindow(windows.frmPass);
}

void Program::openEditor()
{
    showModeless(load(windows.frmAdd, [&] {
        auto* editor = new FrmAdd(m_ctx);
        connect(editor, &FrmAdd::saved, this, [this](const VaultSession::Saved& saved) {
            if (windows.form1)
                windows.form1->entrySaved(saved);
        });
        return editor;
    }));
}

void Program::openHelpWindow()
{
    showModeless(load(windows.form8, [&] { return new Form8(m_ctx); }));
}

void Program::openAboutWindow()
{
    showModeless(load(windows.frmAbout, [&] { return new FrmAbout(m_ctx); }));
}

void Program::openBrowserWindow()
{
    showModeless(load(windows.frmWebsite, [&] { return new FrmWebsite(m_ctx); }));
}

void Program::mainWindowUnloaded()
{
    forgetWindow(windows.form1, windows.form1.data());
    unloadWindow(windows.form8);
    unloadWindow(windows.frmAbout);
    unloadWindow(windows.frmAdd);
    if (windows.frmSplash)
        windows.frmSplash->allowClose();
    unloadWindow(windows.frmSplash);
    if (windows.frmWebsite && windows.frmWebsite->isVisible()) {
        m_ctx.mainWindowClosed = true;
        return;
    }
    if (m_ctx.skinningEnabled)
        m_ctx.skinService.stopService();
    unloadWindow(windows.frmWebsite);
    m_ctx.platform.programEnd.endNow();
}
