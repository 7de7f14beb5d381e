#include "core/vault/EntryRules.h"

#include "core/platform/CodePage.h"
#include "core/vault/VaultFormat.h"

namespace entryrules {

QString problemStoringText(QStringView text)
{
    const qsizetype bad = codepage::firstUnencodable(text);
    if (bad >= 0) {
        const QString code = QString::number(text[bad].unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        return QStringLiteral("it holds the character \"%1\" (U+%2), which the data file cannot store")
            .arg(text.mid(bad, text[bad].isHighSurrogate() ? 2 : 1), code);
    }
    if (text.contains(QChar(0x8D)))
        return QStringLiteral("it holds the control character U+008D, which would end the line in the data file");
    return {};
}

QString problemWithField(QStringView text, bool isLocation)
{
    QString problem = problemStoringText(text);
    if (!problem.isEmpty() || isLocation)
        return problem;
    if (text.contains(QLatin1String(vaultformat::kSeparator)))
        return QStringLiteral("it holds \"|||\", which separates the fields in the data file");
    if (text.endsWith(QLatin1Char('|')))
        return QStringLiteral("it ends with \"|\", which would run into the field separator");
    return {};
}

QString problemWithEntry(const Entry& entry)
{
    if (entry.username.isEmpty())
        return QStringLiteral("You must enter a username");
    if (entry.password.isEmpty())
        return QStringLiteral("You must enter a password");
    const struct {
        const char* name;
        const QString* text;
        bool isLocation;
    } fields[] = {
        {"username", &entry.username, false}, {"password", &entry.password, false}, {"website", &entry.location, true}};
    for (const auto& f : fields) {
        const QString problem = problemWithField(*f.text, f.isLocation);
        if (!problem.isEmpty())
            return QStringLiteral("The %1 cannot be stored as typed: %2.").arg(QLatin1String(f.name), problem);
    }
    return {};
}

} // namespace entryrules
