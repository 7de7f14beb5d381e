#pragma once
#include "core/vault/VaultLock.h"
#include "core/vault/VaultSession.h"
#include "windows/context/LoadableWindow.h"

#include <QObject>
#include <QPointer>

class AppContext;
class MainWindow;
class HelpWindow;
class AboutWindow;
class EntryEditor;
class PasswordGate;
class SplashWindow;

// The program's windows, each loaded at most once.
struct Windows {
    QPointer<MainWindow> mainWindow;
    QPointer<PasswordGate> gate;
    QPointer<EntryEditor> editor;
    QPointer<SplashWindow> splash;
    QPointer<HelpWindow> help;
    QPointer<AboutWindow> about;
    QPointer<LoadableWindow> browser;
};

// The one place that creates the windows and wires them: each window reports through its
// signals, and the routines that step from one window to another are here. Loading a window
// gives it the skin.
class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(AppContext& ctx);

    // Claims the run's data file for as long as the program runs. When another copy holds it, or no
    // lock can be made, says so and ends the program without touching the file; returns false then.
    // When no lock can be had only because the folder cannot be written or another user's lock
    // file is in the way, and no other copy holds the file, it is opened read-only.
    bool claimVault();

    // Start-up: the splash window, which gives way to the main window.
    void start();
    // The main window's load: its captions and columns, then the vault's check.
    void loadMainWindow();

    // Makes sure data.enc exists, reads it and opens the password gate in the matching mode.
    // A file that cannot be read is reported and ends the program; nothing is written.
    void openVault();
    void showPasswordGate(bool createMode);
    // After the gate accepted the password: reports what was loaded, completes start-up.
    void showUnlockedVault(const VaultSession::Loaded& loaded);
    // After the gate chose a new password: closes the gate, creates the password (keeping the
    // entries of a file whose first line was lost), completes start-up. Whether it was saved.
    bool createMasterPassword(const QString& password);
    // The end of start-up: the main window shown, Readme/Help when the setting asks for it,
    // the gate unloaded.
    void finishStartup();

    void openEditor();
    void openHelpWindow();
    void openAboutWindow();
    void openBrowserWindow();

    Windows windows;

private:
    template <class W, class Make>
    W* load(QPointer<W>& slot, Make make);
    void reportUnreadable(const QString& reason, const QString& what);
    // The main window's unload: closes the other windows without saving, then ends the run
    // unless the browser is open and visible, which then ends it.
    void mainWindowUnloaded();
    // Ends the program at once: every way out of a run comes here.
    void endRun(bool stopSkinning);

    AppContext& m_ctx;
    VaultLock m_lock;
};
