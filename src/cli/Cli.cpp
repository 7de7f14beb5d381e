#include "cli/Cli.h"

#include "core/exchange/Csv.h"
#include "core/exchange/ImportCsv.h"
#include "core/platform/SecretInput.h"
#include "core/vault/EntryRules.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultLock.h"
#include "core/vault/VaultSession.h"
#include "core/vault/VaultStorage.h"

#include <QDir>
#include <QIODevice>

namespace cli {

QString helpText()
{
    return QStringLiteral(
        "Usage: keyhaven-cli [--file PATH] COMMAND ...\n"
        "The master password, and any password a command needs, is read from the terminal without echo, or,\n"
        "when standard input is no terminal, one a line from it: never from the command line.\n"
        "Without --file, the data.enc beside the program.\n"
        "\n"
        "  list                     entries, one a line: row, username, location    keyhaven-cli list\n"
        "  show N                   the entry of row N, password included           keyhaven-cli show 2\n"
        "  add --username U [--location L]   a new entry; its password is asked     keyhaven-cli add --username ann "
        "--location mail.example.com\n"
        "  edit N [--username U] [--location L] [--password]   changes row N        keyhaven-cli edit 2 --password\n"
        "  rm N                     deletes row N                                   keyhaven-cli rm 3\n"
        "  export                   all entries as CSV on standard output           keyhaven-cli export > entries.csv\n"
        "  import FILE              adds the entries of a CSV file                  keyhaven-cli import passwords.csv\n"
        "  info                     the file, its format and its number of entries  keyhaven-cli info\n"
        "  seal                     seals the file: only the master password opens it   keyhaven-cli seal\n"
        "  unseal                   turns a sealed file back into a classic one     keyhaven-cli unseal\n"
        "\n"
        "Exit status: 0 done; 1 bad usage or input; 2 wrong master password; 3 the file cannot be read or\n"
        "written, or a running Keyhaven holds it.\n");
}

namespace {

// An entry's text for a terminal: a data file from elsewhere may hold control characters that
// would move the cursor, retitle the window or answer back. They show as their pictures; export
// gives the exact text.
QString shown(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            out += QChar(char16_t(0x2400 + u)); // the control pictures block
        else if (u == 0x7F)
            out += QChar(char16_t(0x2421));
        else if (u >= 0x80 && u < 0xA0)
            out += QChar(char16_t(0xFFFD));
        else
            out += c;
    }
    return out;
}

class Run {
public:
    Run(QIODevice& out, QIODevice& err) : m_out(out), m_err(err) {}

    int fail(int status, const QString& text)
    {
        m_err.write((QStringLiteral("keyhaven-cli: ") + text + QLatin1Char('\n')).toUtf8());
        return status;
    }
    void say(const QString& text) { m_out.write(text.toUtf8()); }

    // The rows of the open vault, 1-based as the list shows them.
    int row(const QString& word, const VaultSession& vault, int* status)
    {
        bool ok = false;
        const int n = word.toInt(&ok);
        if (!ok || n < 1 || n > vault.entries().count()) {
            *status = fail(BadInput, QStringLiteral("there is no row %1 (rows 1 to %2)")
                                         .arg(word, QString::number(vault.entries().count())));
            return -1;
        }
        return n - 1;
    }

    // The editor's rules: username and password not empty, nothing the file cannot hold.
    int refuse(const Entry& entry)
    {
        const QString problem = entryrules::problemWithEntry(entry);
        return problem.isEmpty() ? Done : fail(BadInput, problem);
    }

    int saved(const VaultSession::Saved& saved, const QString& done)
    {
        if (!saved.conflictFile.isEmpty())
            return fail(FileProblem, QStringLiteral("the data file was changed elsewhere, and %1: it was left as it "
                                                    "is, and the entries with this change were saved to %2")
                                         .arg(saved.reason, saved.conflictFile));
        if (!saved.ok)
            return fail(FileProblem, QStringLiteral("not saved: %1").arg(saved.reason));
        m_err.write((done + (saved.merged ? QStringLiteral("; changes made elsewhere were merged") : QString()) +
                     QLatin1Char('\n'))
                        .toUtf8());
        return Done;
    }

    QIODevice& m_out;
    QIODevice& m_err;
};

// Takes "--name VALUE" out of the words; absent: a null string.
QString option(QStringList& words, const QString& name, bool* bad)
{
    const qsizetype at = words.indexOf(name);
    if (at < 0)
        return {};
    if (at + 1 >= words.size()) {
        *bad = true;
        return {};
    }
    QString value = words[at + 1];
    words.remove(at, 2);
    return value;
}

} // namespace

int run(const QStringList& arguments, const QString& programFolder, SecretInput& secrets, QIODevice& out,
        QIODevice& err)
{
    Run r(out, err);
    QStringList words = arguments;
    if (words.isEmpty() || words.contains(QStringLiteral("--help")) || words.contains(QStringLiteral("-h")) ||
        words.first() == QLatin1String("help")) {
        (words.isEmpty() ? err : out).write(helpText().toUtf8());
        return words.isEmpty() ? BadInput : Done;
    }
    bool bad = false;
    QString path = option(words, QStringLiteral("--file"), &bad);
    if (bad || words.isEmpty())
        return r.fail(BadInput, QStringLiteral("no command given; see keyhaven-cli --help"));
    if (path.isNull())
        path = vaultstorage::vaultPath(programFolder);
    const QString command = words.takeFirst();
    static const QStringList kCommands = {QStringLiteral("list"),   QStringLiteral("show"), QStringLiteral("add"),
                                          QStringLiteral("edit"),   QStringLiteral("rm"),   QStringLiteral("export"),
                                          QStringLiteral("import"), QStringLiteral("info"), QStringLiteral("seal"),
                                          QStringLiteral("unseal")};
    if (!kCommands.contains(command))
        return r.fail(BadInput, QStringLiteral("no command \"%1\"; see keyhaven-cli --help").arg(command));
    const QString username = option(words, QStringLiteral("--username"), &bad);
    const QString location = option(words, QStringLiteral("--location"), &bad);
    const bool newPassword = words.removeAll(QStringLiteral("--password")) > 0;
    const qsizetype operands =
        (command == QLatin1String("list") || command == QLatin1String("export") || command == QLatin1String("info") ||
         command == QLatin1String("add") || command == QLatin1String("seal") || command == QLatin1String("unseal"))
            ? 0
            : 1;
    if (bad || words.size() != operands || (newPassword && command != QLatin1String("edit")) ||
        (!username.isNull() && command != QLatin1String("add") && command != QLatin1String("edit")) ||
        (command == QLatin1String("add") && username.isNull()))
        return r.fail(BadInput, QStringLiteral("usage of \"%1\" not understood; see keyhaven-cli --help").arg(command));

    // The same lock as the program: never a write while it has the file open.
    if (!vaultstorage::fileExists(path))
        return r.fail(FileProblem, QStringLiteral("there is no data file at %1").arg(QDir::toNativeSeparators(path)));
    VaultLock lock;
    if (!lock.tryAcquire(path))
        return r.fail(
            FileProblem,
            lock.heldByOther()
                ? QStringLiteral("a running Keyhaven holds %1").arg(QDir::toNativeSeparators(path))
                : QStringLiteral("its lock file cannot be created: %1").arg(QDir::toNativeSeparators(lock.path())));
    VaultSession vault(path);
    const VaultSession::Opened opened = vault.open();
    if (!opened.ok)
        return r.fail(FileProblem,
                      QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(path), opened.reason));
    if (vault.needsNewPassword())
        return r.fail(BadInput, QStringLiteral("%1 has no master password yet: start Keyhaven once to create it")
                                    .arg(QDir::toNativeSeparators(path)));
    const ResultWith<QString> master = secrets.read(QStringLiteral("Master password: "));
    if (!master.ok)
        return r.fail(BadInput, master.reason);
    const VaultSession::Unlock unlocked = vault.unlock(master.value);
    if (unlocked == VaultSession::Unlock::Damaged)
        return r.fail(FileProblem,
                      QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(path), vault.damage()));
    if (unlocked != VaultSession::Unlock::Unlocked)
        return r.fail(WrongPassword, QStringLiteral("wrong master password"));
    const EntryStore& rows = vault.entries();

    int status = Done;
    if (command == QLatin1String("list")) {
        for (int i = 0; i < rows.count(); ++i)
            r.say(QStringLiteral("%1\t%2\t%3\n")
                      .arg(QString::number(i + 1), shown(rows.field(i, 0)), shown(rows.field(i, 2))));
        return Done;
    }
    if (command == QLatin1String("info")) {
        const sealedformat::Params p = vault.sealParams();
        const QString format = vault.sealed()
                                   ? QStringLiteral("sealed (key derivation Argon2id, %1 passes, %2 MiB)")
                                         .arg(QString::number(p.passes), QString::number(p.memoryBytes >> 20))
                                   : QStringLiteral("classic");
        r.say(QStringLiteral("File: %1\nFormat: %2\nEntries: %3\n")
                  .arg(QDir::toNativeSeparators(path), format, QString::number(rows.count())));
        return Done;
    }
    if (command == QLatin1String("seal") || command == QLatin1String("unseal")) {
        const bool seal = command == QLatin1String("seal");
        if (vault.sealed() == seal) {
            r.say(seal ? QStringLiteral("already sealed\n") : QStringLiteral("already classic\n"));
            return Done;
        }
        return r.saved(vault.setSealed(seal), seal ? QStringLiteral("sealed") : QStringLiteral("unsealed"));
    }
    if (command == QLatin1String("export")) {
        std::vector<QStringList> records{importcsv::header()};
        for (int i = 0; i < rows.count(); ++i)
            records.push_back(importcsv::record(rows.at(i)));
        out.write(csv::write(records));
        return Done;
    }
    if (command == QLatin1String("import")) {
        const ResultWith<QByteArray> file = vaultstorage::readAll(words[0]);
        if (!file.ok)
            return r.fail(BadInput, QStringLiteral("%1 cannot be read: %2").arg(words[0], file.reason));
        const ResultWith<std::vector<Entry>> found = importcsv::entries(file.value);
        if (!found.ok)
            return r.fail(BadInput, QStringLiteral("nothing was imported from %1:\n%2").arg(words[0], found.reason));
        return r.saved(vault.addAll(found.value), QStringLiteral("imported %1 entries").arg(found.value.size()));
    }
    if (command == QLatin1String("add")) {
        const ResultWith<QString> password = secrets.read(QStringLiteral("Password of the new entry: "));
        if (!password.ok)
            return r.fail(BadInput, password.reason);
        const Entry entry{username, password.value, location};
        if (const int refused = r.refuse(entry))
            return refused;
        return r.saved(vault.add(entry), QStringLiteral("added"));
    }
    const int at = r.row(words[0], vault, &status);
    if (at < 0)
        return status;
    const Entry before = rows.at(at);
    if (command == QLatin1String("show")) {
        r.say(QStringLiteral("Username: %1\nPassword: %2\nUsed At: %3\n")
                  .arg(shown(before.username), shown(before.password), shown(before.location)));
        return Done;
    }
    if (command == QLatin1String("rm"))
        return r.saved(vault.remove(at), QStringLiteral("deleted"));
    Entry after = before;
    if (!username.isNull())
        after.username = username;
    if (!location.isNull())
        after.location = location;
    if (newPassword) {
        const ResultWith<QString> password = secrets.read(QStringLiteral("New password: "));
        if (!password.ok)
            return r.fail(BadInput, password.reason);
        after.password = password.value;
    }
    if (const int refused = r.refuse(after))
        return refused;
    return r.saved(vault.replace(rows.idAt(at), before, after), QStringLiteral("changed"));
}

} // namespace cli
