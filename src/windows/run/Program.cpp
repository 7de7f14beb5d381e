#include "windows/run/Program.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/ProgramEnd.h"
#include "core/platform/SettingsStore.h"
#include "core/vault/VaultLock.h"
#include "core/vault/VaultStorage.h"
#include "windows/context/AppContext.h"
#include "windows/editor/EntryEditor.h"
#include "windows/gate/PasswordGate.h"
#include "windows/info/AboutWindow.h"
#include "windows/info/HelpWindow.h"
#include "windows/info/SplashWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/skin/Skinning.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

namespace {

QString damagedLinesText(int damaged)
{
    return damaged == 1 ? QStringLiteral("; 1 damaged line had missing fields, which were left empty")
                        : QStringLiteral("; %1 damaged lines had missing fields, which were left empty").arg(damaged);
}

} // namespace

Program::Program(AppContext& ctx) : m_ctx(ctx)
{
    // Every save puts a new file in place: the lock holds it too.
    connect(&ctx.vault, &VaultSession::fileReplaced, this, [this] { m_lock.followReplacement(); });
    // A key being derived for a sealed file: the windows paint on, and say that they are busy.
    connect(&ctx.vault, &VaultSession::working, this, [](bool busy) {
        if (busy)
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    });
    connect(&ctx.vault, &VaultSession::reloaded, this, [this](int entries) {
        if (windows.mainWindow)
            windows.mainWindow->showStatus(
                QStringLiteral("The data file was changed elsewhere: the list was reloaded (%1 entries)").arg(entries));
    });
    connect(&ctx.vault, &VaultSession::copiesMerged, this, [this](const VaultSession::CopiesMerged& copies) {
        if (windows.mainWindow)
            windows.mainWindow->showStatus(windows.mainWindow->copiesText(copies).trimmed());
    });
    connect(&ctx.vault, &VaultSession::notReloaded, this, [this](const QString& reason) {
        if (windows.mainWindow)
            windows.mainWindow->showStatus(
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
            if (made)
                connect(made, &W::unloaded, this, [&slot, made] { forgetWindow(slot, made); });
            return made;
        },
        [this](W* window) {
            // Every window is skinned as it loads, so its load step already shows the skin.
            if (m_ctx.skinningEnabled)
                skinWindow(m_ctx.skinEngine, m_ctx.skinPath, window);
        });
}

bool Program::claimVault()
{
    VaultLock& lock = m_lock;
    const QString path = vaultstorage::vaultPath(m_ctx.programFolder);
    if (lock.tryAcquire(path))
        return true;
    if (lock.readOnlyIsSafe()) {
        m_ctx.vault.setReadOnly(
            lock.refusal() == VaultLock::Refusal::ReadOnlyFolder
                ? QStringLiteral("The data file's folder cannot be written, so the file was opened read-only.")
                : QStringLiteral("The data file's lock file belongs to another user, so the file was opened "
                                 "read-only: %1")
                      .arg(QDir::toNativeSeparators(lock.path())));
        return true;
    }
    const QString shownPath = QDir::toNativeSeparators(QDir::cleanPath(path));
    const QString& product = m_ctx.version.productName;
    const QString text =
        lock.heldByOther()
            ? QStringLiteral("%1 is already running with this data file:\n\n%2\n\n"
                             "Only one copy at a time may use it, so that neither overwrites "
                             "the other's changes. This copy will now close.")
                  .arg(product, shownPath)
            : QStringLiteral("%1 cannot make sure that it is the only copy using this data file:\n\n%2\n\n"
                             "Its lock file cannot be created:\n\n%3\n\n"
                             "This copy will now close, so that no two copies can overwrite each other's changes.")
                  .arg(product, shownPath, QDir::toNativeSeparators(lock.path()));
    m_ctx.platform.messages.show(nullptr, text, MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Warning);
    endRun(false);
    return false;
}

void Program::start()
{
    SplashWindow* splash = load(windows.splash, [&] { return new SplashWindow(m_ctx); });
    // Skinning starts in the splash window's load, so it is skinned right after it.
    if (m_ctx.skinningEnabled)
        skinWindow(m_ctx.skinEngine, m_ctx.skinPath, splash);
    connect(splash, &SplashWindow::handOver, this, [this, splash] {
        loadMainWindow();
        showModeless(windows.mainWindow);
        splash->hide();
    });
    showModeless(splash);
}

void Program::loadMainWindow()
{
    if (windows.mainWindow)
        return;
    MainWindow* main = load(windows.mainWindow, [&] {
        auto* made = new MainWindow(m_ctx);
        connect(made, &MainWindow::editorRequested, this, &Program::openEditor);
        connect(made, &MainWindow::websiteRequested, this, &Program::openBrowserWindow);
        connect(made, &MainWindow::helpRequested, this, &Program::openHelpWindow);
        connect(made, &MainWindow::aboutRequested, this, &Program::openAboutWindow);
        connect(made, &MainWindow::unloaded, this, &Program::mainWindowUnloaded);
        return made;
    });
    if (main)
        openVault();
}

void Program::reportUnreadable(const QString& reason, const QString& what)
{
    m_ctx.platform.messages.show(windows.mainWindow,
                                 QStringLiteral("The data file cannot be %1:\n\n%2\n\n%3\n\n"
                                                "Nothing was changed. The program will now close.")
                                     .arg(what, QDir::toNativeSeparators(m_ctx.vault.path()), reason),
                                 MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Critical);
    endRun(false);
}

void Program::openVault()
{
    const VaultSession::Opened opened = m_ctx.vault.open();
    if (!opened.ok)
        return reportUnreadable(opened.reason, opened.creating ? QStringLiteral("created") : QStringLiteral("read"));
    showPasswordGate(m_ctx.vault.needsNewPassword());
}

void Program::showPasswordGate(bool createMode)
{
    showModeless(load(windows.gate, [&] {
        auto* gate = new PasswordGate(m_ctx, createMode);
        connect(gate, &PasswordGate::hideMainWindow, this, [this] {
            if (windows.mainWindow)
                windows.mainWindow->hide();
        });
        connect(gate, &PasswordGate::unlocked, this, &Program::showUnlockedVault);
        connect(gate, &PasswordGate::damaged, this,
                [this](const QString& reason) { reportUnreadable(reason, QStringLiteral("read")); });
        connect(gate, &PasswordGate::passwordChosen, this, &Program::createMasterPassword);
        connect(gate, &PasswordGate::gaveUp, this, [this] { endRun(false); });
        return gate;
    }));
}

void Program::showUnlockedVault(const VaultSession::Loaded& loaded)
{
    QString status = QStringLiteral("Loaded ") + QString::number(loaded.entries) + QStringLiteral(" entries");
    if (loaded.damagedLines > 0)
        status += damagedLinesText(loaded.damagedLines);
    if (!m_ctx.vault.readOnlyReason().isEmpty())
        status += QStringLiteral("  ") + m_ctx.vault.readOnlyReason();
    // What another machine's sync left beside the file is merged now.
    const VaultSession::CopiesMerged copies = m_ctx.vault.mergeConflictCopies(m_ctx.vault.readOnlyReason().isEmpty());
    windows.mainWindow->showStatus(status + windows.mainWindow->copiesText(copies));
    m_ctx.vault.watch();
    finishStartup();
}

bool Program::createMasterPassword(const QString& password)
{
    unloadWindow(windows.gate);
    QCoreApplication::processEvents();
    MainWindow* mainWindow = windows.mainWindow;
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
        mainWindow->showStatus(status);
    } else {
        mainWindow->reportSaveFailure(created.reason, QStringLiteral("The new master password"));
        mainWindow->showStatus(QStringLiteral("Save failed: the master password was not saved (") + created.reason +
                               QLatin1Char(')'));
    }
    m_ctx.vault.watch();
    finishStartup();
    return created.ok;
}

void Program::finishStartup()
{
    windows.mainWindow->show();
    const QString showHelp = m_ctx.platform.settings.read(m_ctx.version.productName, QStringLiteral("Settings"),
                                                          QStringLiteral("showHelp"), QStringLiteral("1"));
    if (showHelp == QLatin1String("1"))
        openHelpWindow();
    unloadWindow(windows.gate);
}

void Program::openEditor()
{
    showModeless(load(windows.editor, [&] {
        auto* editor = new EntryEditor(m_ctx);
        connect(editor, &EntryEditor::saved, this, [this](const VaultSession::Saved& saved) {
            if (windows.mainWindow)
                windows.mainWindow->entrySaved(saved);
        });
        return editor;
    }));
}

void Program::openHelpWindow()
{
    showModeless(load(windows.help, [&] { return new HelpWindow(m_ctx); }));
}

void Program::openAboutWindow()
{
    showModeless(load(windows.about, [&] { return new AboutWindow(m_ctx); }));
}

void Program::openBrowserWindow()
{
    showModeless(load(windows.browser, [&]() -> LoadableWindow* {
        QString why = QStringLiteral("it is not part of this program");
        LoadableWindow* browser = m_ctx.makeBrowser ? m_ctx.makeBrowser(m_ctx, &why) : nullptr;
        if (!browser) {
            m_ctx.platform.messages.show(windows.mainWindow,
                                         QStringLiteral("The built-in browser cannot be started:\n\n%1").arg(why),
                                         MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Warning);
            return nullptr;
        }
        // Closed after the main window: the run ends with it.
        connect(browser, &LoadableWindow::unloaded, this, [this] {
            if (m_ctx.mainWindowClosed)
                endRun(true);
        });
        return browser;
    }));
}

void Program::mainWindowUnloaded()
{
    forgetWindow(windows.mainWindow, windows.mainWindow.data());
    unloadWindow(windows.help);
    unloadWindow(windows.about);
    unloadWindow(windows.editor);
    if (windows.splash)
        windows.splash->allowClose();
    unloadWindow(windows.splash);
    if (windows.browser && windows.browser->isVisible()) {
        m_ctx.mainWindowClosed = true;
        return;
    }
    unloadWindow(windows.browser);
    endRun(true);
}

void Program::endRun(bool stopSkinning)
{
    if (stopSkinning && m_ctx.skinningEnabled)
        m_ctx.skinService.stopService();
    m_ctx.platform.programEnd.endNow();
}
