#include "windows/run/VaultRoutines.h"

#include "core/platform/MessageBoxes.h"
#include "core/platform/ProgramEnd.h"
#include "core/vault/VaultFile.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"
#include "windows/gate/FrmPass.h"
#include "windows/main/EntryListView.h"
#include "windows/main/Form1.h"
#include "windows/platform/WindowRegistry.h"
#include "windows/run/AppContext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QRegularExpression>

namespace {

QString dataPath(const AppContext& ctx)
{
    return vaultstorage::vaultPath(ctx.programFolder);
}

void reportUnreadable(AppContext& ctx, const QString& reason, const QString& what = QStringLiteral("read"))
{
    ctx.platform.messages.show(QStringLiteral("The data file cannot be %1:\n\n%2\n\n%3\n\n"
                                              "Nothing was changed. The program will now close.")
                                   .arg(what, QDir::toNativeSeparators(dataPath(ctx)), reason),
                               MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Critical);
    ctx.platform.programEnd.endNow();
}

void reportSaveFailure(AppContext& ctx, const QString& reason, const QString& what)
{
    ctx.platform.messages.show(QStringLiteral("%1 could not be saved to the data file:\n\n%2\n\n%3\n\n"
                                              "The file still holds what was last saved.")
                                   .arg(what, QDir::toNativeSeparators(dataPath(ctx)), reason),
                               MessageBoxes::Buttons::Ok, {}, MessageBoxes::Icon::Critical);
}

// Makes sure the file exists and reads it whole; a file that cannot be read ends the program.
vaultfile::Read readVaultFile(AppContext& ctx)
{
    vaultfile::Read read = vaultfile::read(dataPath(ctx));
    if (!read.ok)
        reportUnreadable(ctx, read.reason, read.creating ? QStringLiteral("created") : QStringLiteral("read"));
    return read;
}

QString generalDateText(const QDateTime& now)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*"))); // no time zone
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), timeFormat.trimmed());
}

QString damagedLinesText(int damaged)
{
    return damaged == 1 ? QStringLiteral("; 1 damaged line had missing fields, which were left empty")
                        : QStringLiteral("; %1 damaged lines had missing fields, which were left empty").arg(damaged);
}

const EntryStore& listStore(AppContext& ctx)
{
    return ctx.windows.form1->list().entries().store();
}

} // namespace

void CheckVault(AppContext& ctx)
{
    vaultfile::Read file = readVaultFile(ctx);
    if (!file.ok)
        return;
    QByteArray& bytes = file.value;
    const QString line1 = vaultformat::firstLine(bytes);
    if (!line1.isEmpty()) {
        ctx.password.storedPassword = line1;
        ShowPasswordGate(ctx, false);
    } else {
        ShowPasswordGate(ctx, true);
    }
}

void ShowPasswordGate(AppContext& ctx, bool createMode)
{
    ctx.password.createMode = createMode;
    showModeless(loadWindow(ctx.windows.frmPass, [&] { return new FrmPass(ctx); }));
}

void LoadVaultEntries(AppContext& ctx)
{
    vaultfile::Read file = readVaultFile(ctx);
    if (!file.ok)
        return;
    QByteArray& bytes = file.value;
    // The file's bytes become the list's storage.
    vaultformat::FileLines contents = vaultformat::readLines(std::move(bytes));
    const int count = static_cast<int>(contents.spans.size());
    const int damaged = contents.damagedLines;
    Form1* form1 = ctx.windows.form1;
    form1->list().entries().replaceAll(std::move(contents));
    QString status = QStringLiteral("Loaded ") + QString::number(count) + QStringLiteral(" entries");
    if (damaged > 0)
        status += damagedLinesText(damaged);
    form1->StatusLine(status);
    form1->afterFormLoad();
}

bool SaveNewPassword(AppContext& ctx)
{
    unloadWindow(ctx.windows.frmPass);
    QCoreApplication::processEvents();
    Form1* form1 = ctx.windows.form1;
    // A file whose first line was lost may still hold entries: they stay, under the new password,
    // rather than being thrown away with the old file.
    vaultfile::Read file = readVaultFile(ctx);
    if (!file.ok)
        return false;
    QByteArray& bytes = file.value;
    vaultformat::FileLines found = vaultformat::readLines(std::move(bytes));
    const int kept = static_cast<int>(found.spans.size());
    const int damaged = found.damagedLines;
    if (kept > 0)
        form1->list().entries().replaceAll(std::move(found));
    const QByteArray newFile = kept > 0 ? vaultfile::fileFor(ctx.password.sessionPassword, listStore(ctx))
                                        : vaultformat::passwordOnly(ctx.password.sessionPassword);
    const Result saved = vaultstorage::saveAtomically(dataPath(ctx), newFile);
    if (saved.ok) {
        QString status = QStringLiteral("Password created successfully");
        if (kept == 1)
            status += QStringLiteral("; the entry already in the data file was kept");
        else if (kept > 1)
            status += QStringLiteral("; the %1 entries already in the data file were kept").arg(kept);
        if (damaged > 0)
            status += damagedLinesText(damaged);
        form1->StatusLine(status);
    } else {
        reportSaveFailure(ctx, saved.reason, QStringLiteral("The new master password"));
        form1->StatusLine(QStringLiteral("Save failed: the master password was not saved (") + saved.reason +
                          QLatin1Char(')'));
    }
    form1->afterFormLoad();
    return saved.ok;
}

bool SaveVault(AppContext& ctx)
{
    Form1* form1 = ctx.windows.form1;
    const Result saved = vaultfile::save(dataPath(ctx), ctx.password.sessionPassword, listStore(ctx));
    if (!saved.ok) {
        reportSaveFailure(ctx, saved.reason, QStringLiteral("The entries"));
        form1->StatusLine(QStringLiteral("Save failed: data NOT saved (") + saved.reason +
                          QStringLiteral("); the change is kept in the list"));
        return false;
    }
    form1->StatusLine(QStringLiteral("Saved ") + generalDateText(QDateTime::currentDateTime()));
    return true;
}
