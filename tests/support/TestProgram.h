#pragma once
#include "support/FakePlatform.h"
#include "windows/context/AppContext.h"
#include "windows/run/Program.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <memory>
#include <vector>

class MainWindow;
class PasswordGate;
class EntryEditor;

// One run of the program in a temporary program folder, with the platform's seams faked.
class TestProgram {
public:
    // In a temporary program folder of its own, or in this one.
    explicit TestProgram(const QString& programFolder = {});
    ~TestProgram();

    QString folder() const { return m_folder; }
    QString vaultPath() const;
    void writeVault(const QByteArray& bytes) const;
    QByteArray vaultBytes() const;

    // Starts as the program does, up to the open password gate.
    void start();
    // Starts and passes the gate: creates the password when the file is new, else types it.
    void startAndUnlock(const QString& password = QStringLiteral("master"));
    // Starts unlocked on a file with the master password "master" and these plain entry lines.
    void startWithEntries(const QStringList& entryLines);

    // Opens one window as a user reaches it, on a fresh run: "gate verify", "gate create",
    // "main" (two entries), "editor", "browser" (on a blank page), "help", "about".
    QWidget* openWindow(const QString& name);
    static QStringList windowNames();
    // A data column "window" with a row for each of those names.
    static void addWindowRows();

    MainWindow* mainWindow() const;
    PasswordGate* gate() const;
    EntryEditor* editor() const;
    QString status() const; // the status panel's text, as shown
    std::vector<Entry> listEntries() const;
    void selectRow(int row0) const;

    FakePlatform fake;
    std::unique_ptr<AppContext> ctx;
    std::unique_ptr<Program> program;

private:
    QTemporaryDir m_dir;
    QString m_folder;
};

// Builds data.enc bytes from plain lines: each line enciphered, CR LF after each.
QByteArray vaultFile(const QStringList& plainLines);
// The file a save writes for these plain entry lines under the master password "master".
QByteArray savedVault(const QStringList& entryLines);

class SkinLabel;
// A window's skin labels: the hidden template, then a skinned copy over each plain label.
QList<SkinLabel*> skinLabelsOf(const QWidget* window);
