#include "cli/Commands.h"

#include "cli/Cli.h"
#include "cli/ImportFile.h"
#include "cli/ShownText.h"
#include "core/exchange/Csv.h"
#include "core/exchange/ImportCsv.h"
#include "core/platform/SecretInput.h"
#include "core/vault/EntryRules.h"

#include <QDir>
#include <QIODevice>

namespace cli {

int Output::fail(int status, const QString& text)
{
    report(QStringLiteral("keyhaven-cli: ") + text);
    return status;
}

void Output::say(const QString& text)
{
    m_out.write(text.toUtf8());
}

void Output::sayExactly(const QByteArray& bytes)
{
    m_out.write(bytes);
}

void Output::report(const QString& text)
{
    m_err.write((text + QLatin1Char('\n')).toUtf8());
}

int Output::saved(const VaultSession::Saved& saved, const QString& done)
{
    if (!saved.conflictFile.isEmpty())
        return fail(FileProblem, QStringLiteral("the data file was changed elsewhere, and %1: it was left as it "
                                                "is, and the entries with this change were saved to %2")
                                     .arg(saved.reason, saved.conflictFile));
    if (!saved.ok)
        return fail(FileProblem, QStringLiteral("not saved: %1").arg(saved.reason));
    QString said = done;
    if (saved.merged)
        said += QStringLiteral("; changes made elsewhere were merged");
    if (saved.sealedElsewhere)
        said += QStringLiteral("; the data file was sealed elsewhere, and was saved sealed");
    said += copiesText(saved.copies);
    if (!saved.sealedConflictFiles.isEmpty())
        said += QStringLiteral("; the conflict files beside it were sealed too: %1")
                    .arg(saved.sealedConflictFiles.join(QStringLiteral(", ")));
    if (!saved.unsealedConflictFiles.isEmpty())
        said += QStringLiteral("; these conflict files beside it do not open with this master password and were left "
                               "as they are: %1")
                    .arg(saved.unsealedConflictFiles.join(QStringLiteral(", ")));
    report(said);
    return Done;
}

QString Output::copiesText(const VaultSession::CopiesMerged& copies)
{
    QString text;
    if (copies.copies > 0)
        text += QStringLiteral("; changes from another machine were merged (%1 conflict %2)")
                    .arg(QString::number(copies.copies),
                         copies.copies == 1 ? QStringLiteral("copy") : QStringLiteral("copies"));
    if (copies.needLook > 0)
        text += QStringLiteral("; %1 %2 a look: changed on both machines")
                    .arg(QString::number(copies.needLook),
                         copies.needLook == 1 ? QStringLiteral("entry needs") : QStringLiteral("entries need"));
    if (copies.copies > 0 && copies.noRecord)
        text += QStringLiteral("; entries deleted on one machine may have come back");
    for (int i = 0; i < copies.refused.size(); ++i)
        text += QStringLiteral("; the conflict copy %1 cannot be merged, because %2: it was left where it is")
                    .arg(QDir::toNativeSeparators(copies.refused[i]), copies.reasons[i]);
    return text;
}

namespace commands {

namespace {

// The row its operand names, 1-based as the list shows them; -1 when there is none (said so).
int row(Context& c)
{
    const QString& word = c.request.operands.first();
    const int count = c.vault.entries().count();
    bool ok = false;
    const int n = word.toInt(&ok);
    if (!ok || n < 1 || n > count) {
        c.output.fail(BadInput, QStringLiteral("there is no row %1 (rows 1 to %2)").arg(word, QString::number(count)));
        return -1;
    }
    return n - 1;
}

// The editor's rules: username and password not empty, nothing the file cannot hold.
int refuse(Context& c, const Entry& entry)
{
    const QString problem = entryrules::problemWithEntry(entry);
    return problem.isEmpty() ? Done : c.output.fail(BadInput, problem);
}

VaultSession& changing(Context& c)
{
    Q_ASSERT(c.changing); // the table gives it to the commands that change the vault
    return *c.changing;
}

int setSealed(Context& c, bool seal)
{
    if (c.vault.sealed() == seal) {
        c.output.say(seal ? QStringLiteral("already sealed\n") : QStringLiteral("already classic\n"));
        return Done;
    }
    return c.output.saved(changing(c).setSealed(seal), seal ? QStringLiteral("sealed") : QStringLiteral("unsealed"));
}

} // namespace

int list(Context& c)
{
    const EntryStore& rows = c.vault.entries();
    for (int i = 0; i < rows.count(); ++i)
        c.output.say(QStringLiteral("%1\t%2\t%3\n")
                         .arg(QString::number(i + 1), shown(rows.field(i, 0)), shown(rows.field(i, 2))));
    return Done;
}

int show(Context& c)
{
    const int at = row(c);
    if (at < 0)
        return BadInput;
    const Entry entry = c.vault.entries().at(at);
    c.output.say(QStringLiteral("Username: %1\nPassword: %2\nUsed At: %3\n")
                     .arg(shown(entry.username), shown(entry.password), shown(entry.location)));
    return Done;
}

// The exact text, for a file or a pipe; to a terminal, what list and show give.
int exportAll(Context& c)
{
    const EntryStore& rows = c.vault.entries();
    std::vector<QStringList> records{importcsv::header()};
    for (int i = 0; i < rows.count(); ++i) {
        QStringList fields = importcsv::record(rows.at(i));
        if (c.output.toTerminal()) {
            for (QString& field : fields)
                field = shown(field);
        }
        records.push_back(fields);
    }
    c.output.sayExactly(csv::write(records));
    return Done;
}

int info(Context& c)
{
    const sealedformat::Params p = c.vault.sealParams();
    const QString format = c.vault.sealed() ? QStringLiteral("sealed (key derivation Argon2id, %1 passes, %2 MiB)")
                                                  .arg(QString::number(p.passes), QString::number(p.memoryBytes >> 20))
                                            : QStringLiteral("classic");
    c.output.say(
        QStringLiteral("File: %1\nFormat: %2\nEntries: %3\n")
            .arg(QDir::toNativeSeparators(c.vault.path()), format, QString::number(c.vault.entries().count())));
    const QStringList copies = c.vault.conflictCopies();
    c.output.say(QStringLiteral("Conflict copies waiting: %1\n").arg(copies.size()));
    for (const QString& copy : copies)
        c.output.say(QStringLiteral("  %1\n").arg(QDir::toNativeSeparators(copy)));
    return Done;
}

int add(Context& c)
{
    const ResultWith<QString> password = c.secrets.read(QStringLiteral("Password of the new entry: "));
    if (!password.ok)
        return c.output.fail(BadInput, password.reason);
    const Entry entry{*c.request.username, password.value, c.request.location.value_or(QString())};
    if (const int refused = refuse(c, entry))
        return refused;
    return c.output.saved(changing(c).add(entry), QStringLiteral("added"));
}

int edit(Context& c)
{
    const int at = row(c);
    if (at < 0)
        return BadInput;
    const Entry before = c.vault.entries().at(at);
    Entry after = before;
    if (c.request.username)
        after.username = *c.request.username;
    if (c.request.location)
        after.location = *c.request.location;
    if (c.request.newPassword) {
        const ResultWith<QString> password = c.secrets.read(QStringLiteral("New password: "));
        if (!password.ok)
            return c.output.fail(BadInput, password.reason);
        after.password = password.value;
    }
    if (const int refused = refuse(c, after))
        return refused;
    return c.output.saved(changing(c).replace(c.vault.entries().idAt(at), before, after), QStringLiteral("changed"));
}

int remove(Context& c)
{
    const int at = row(c);
    if (at < 0)
        return BadInput;
    return c.output.saved(changing(c).remove(at), QStringLiteral("deleted"));
}

int importFile(Context& c)
{
    const QString& path = c.request.operands.first();
    const ResultWith<QByteArray> file = readImportFile(path);
    if (!file.ok)
        return c.output.fail(BadInput, QStringLiteral("%1 cannot be read: %2").arg(path, file.reason));
    const ResultWith<std::vector<Entry>> found = importcsv::entries(file.value);
    if (!found.ok)
        return c.output.fail(BadInput, QStringLiteral("nothing was imported from %1:\n%2").arg(path, found.reason));
    return c.output.saved(changing(c).addAll(found.value),
                          QStringLiteral("imported %1 entries").arg(found.value.size()));
}

int seal(Context& c)
{
    return setSealed(c, true);
}

int unseal(Context& c)
{
    return setSealed(c, false);
}

} // namespace commands

} // namespace cli
