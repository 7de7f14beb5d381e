#include "cli/CommandTable.h"
#include "cli/Cli.h"
#include "cli/Commands.h"

#include <QCommandLineParser>
#include <algorithm>
#include <iterator>

namespace cli {

namespace {

using namespace commands;

const Command kCommands[] = {
    {"list", "", NoOption, NoOption, "entries, one a line: row, username, location", "keyhaven-cli list", false, list},
    {"show", "N", NoOption, NoOption, "the entry of row N, password included", "keyhaven-cli show 2", false, show},
    {"export", "", NoOption, NoOption, "all entries as CSV on standard output", "keyhaven-cli export > entries.csv",
     false, exportAll},
    {"info", "", NoOption, NoOption, "the file, its format and its number of entries", "keyhaven-cli info", false,
     info},
    {"add", "", UsernameOption | LocationOption, UsernameOption, "a new entry; its password is asked",
     "keyhaven-cli add --username ann --location mail.example.com", true, add},
    {"edit", "N", UsernameOption | LocationOption | PasswordOption, NoOption, "changes row N",
     "keyhaven-cli edit 2 --password", true, edit},
    {"rm", "N", NoOption, NoOption, "deletes row N", "keyhaven-cli rm 3", true, remove},
    {"import", "FILE", NoOption, NoOption, "adds the entries of a CSV file", "keyhaven-cli import passwords.csv", true,
     importFile},
    {"seal", "", NoOption, NoOption, "seals the file: only the master password opens it", "keyhaven-cli seal", true,
     seal},
    {"unseal", "", NoOption, NoOption, "turns a sealed file back into a classic one", "keyhaven-cli unseal", true,
     unseal},
};

struct OptionName {
    Option option;
    const char* name;
    const char* value; // the name of its value; nullptr: it takes none
};
const OptionName kOptions[] = {
    {UsernameOption, "username", "U"}, {LocationOption, "location", "L"}, {PasswordOption, "password", nullptr}};

qsizetype operandCount(const Command& command)
{
    return QString::fromLatin1(command.operands).split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
}

// "add --username U [--location L]"
QString usage(const Command& command)
{
    QString text = QLatin1String(command.name);
    if (*command.operands)
        text += QLatin1Char(' ') + QLatin1String(command.operands);
    for (const OptionName& o : kOptions) {
        if (!(command.options & o.option))
            continue;
        QString option = QStringLiteral("--") + QLatin1String(o.name);
        if (o.value)
            option += QLatin1Char(' ') + QLatin1String(o.value);
        text +=
            QLatin1Char(' ') + ((command.required & o.option) ? option : QLatin1Char('[') + option + QLatin1Char(']'));
    }
    return text;
}

} // namespace

QString helpText()
{
    qsizetype width = 0;
    for (const Command& c : kCommands)
        width = std::max(width, usage(c).size());
    const QString indent(2 + width + 3, QLatin1Char(' '));
    QString text = QStringLiteral(
        "Usage: keyhaven-cli [--file PATH] COMMAND ...\n"
        "The master password, and any password a command needs, is read from the terminal without echo, or,\n"
        "when standard input is no terminal, one a line from it: never from the command line.\n"
        "Without --file, the data.enc beside the program. A command takes only the options shown with it.\n");
    for (const bool changes : {false, true}) {
        text += changes ? QStringLiteral("\nCommands that change the vault, each saved at once:\n")
                        : QStringLiteral("\nCommands that read the vault:\n");
        for (const Command& c : kCommands) {
            if (c.changesVault == changes)
                text +=
                    QStringLiteral("  %1   %2\n%3%4\n")
                        .arg(usage(c).leftJustified(width), QLatin1String(c.help), indent, QLatin1String(c.example));
        }
    }
    text += QStringLiteral("\nExit status: 0 done; 1 bad usage or input; 2 wrong master password; 3 the file cannot be "
                           "read or\nwritten, or a running Keyhaven holds it.\n");
    return text;
}

Request parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption file(QStringLiteral("file"), QString(), QStringLiteral("PATH"));
    parser.addOption(help);
    parser.addOption(file);
    for (const OptionName& o : kOptions)
        parser.addOption(
            QCommandLineOption(QLatin1String(o.name), QString(), o.value ? QLatin1String(o.value) : QLatin1String()));
    // On an unknown option or one without its value it reads on, so that help and the command are
    // still found.
    const bool understood = parser.parse(QStringList{QStringLiteral("keyhaven-cli")} + arguments);
    QStringList words = parser.positionalArguments();
    Request request;
    if (parser.isSet(help) || (!words.isEmpty() && words.first() == QLatin1String("help"))) {
        request.kind = Request::Kind::Help;
        return request;
    }
    if (words.isEmpty()) {
        request.problem = QStringLiteral("no command given; see keyhaven-cli --help");
        return request;
    }
    const QString name = words.takeFirst();
    const auto row = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [&](const Command& c) { return name == QLatin1String(c.name); });
    if (row == std::end(kCommands)) {
        request.problem = QStringLiteral("no command \"%1\"; see keyhaven-cli --help").arg(name);
        return request;
    }
    // Each option at most once, only those of the command, and those it needs.
    const QStringList given = parser.optionNames();
    bool fits = understood && words.size() == operandCount(*row) && given.count(QStringLiteral("file")) <= 1;
    unsigned used = NoOption;
    for (const OptionName& o : kOptions) {
        const qsizetype times = given.count(QLatin1String(o.name));
        if (times > 0)
            used |= o.option;
        fits = fits && times <= 1;
    }
    if (!fits || (used & ~row->options) || (row->required & ~used)) {
        request.problem = QStringLiteral("usage of \"%1\" not understood; see keyhaven-cli --help").arg(name);
        return request;
    }
    request.kind = Request::Kind::Command;
    request.command = &*row;
    request.operands = words;
    if (parser.isSet(file))
        request.file = parser.value(file);
    if (used & UsernameOption)
        request.username = parser.value(QStringLiteral("username"));
    if (used & LocationOption)
        request.location = parser.value(QStringLiteral("location"));
    request.newPassword = used & PasswordOption;
    return request;
}

} // namespace cli
