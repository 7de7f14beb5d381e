#include "core/exchange/ImportCsv.h"

#include "core/exchange/Csv.h"
#include "core/vault/EntryRules.h"
#include "core/vault/VaultFormat.h"

namespace importcsv {

namespace {

// The first of these names found in the header, or -1.
int columnOf(const QStringList& header, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        for (qsizetype i = 0; i < header.size(); ++i) {
            if (header[i].trimmed().compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0)
                return int(i);
        }
    }
    return -1;
}

} // namespace

QStringList header()
{
    return {QStringLiteral("username"), QStringLiteral("password"), QStringLiteral("location")};
}

QStringList record(const Entry& entry)
{
    return {entry.username, entry.password, entry.location};
}

ResultWith<std::vector<Entry>> entries(QByteArrayView csv)
{
    ResultWith<std::vector<Entry>> out;
    const ResultWith<std::vector<csv::Record>> read = csv::read(csv);
    if (!read.ok)
        return {Result::failure(read.reason)};
    const std::vector<csv::Record>& records = read.value;
    if (records.empty())
        return {Result::failure(QStringLiteral("the file holds no header"))};
    const QStringList& names = records.front().fields;
    const int columns[3] = {columnOf(names, {"username", "login_username"}),
                            columnOf(names, {"password", "login_password"}),
                            columnOf(names, {"location", "url", "login_uri"})};
    if (columns[0] < 0 || columns[1] < 0 || columns[2] < 0)
        return {Result::failure(
            QStringLiteral("the header is of no kind this program reads; it reads \"username,password,location\", "
                           "and exports whose columns include Username, Password and URL, login_username, "
                           "login_password and login_uri, or url, username and password"))};
    QStringList refused;
    for (size_t r = 1; r < records.size(); ++r) {
        const csv::Record& rec = records[r];
        QString fields[3];
        for (int f = 0; f < 3; ++f)
            fields[f] = columns[f] < rec.fields.size() ? rec.fields[columns[f]] : QString();
        // Nothing in any of the three: a record of another kind (a secure note, a card).
        if (fields[0].isEmpty() && fields[1].isEmpty() && fields[2].isEmpty())
            continue;
        const Entry entry{fields[0], fields[1], fields[2]};
        if (entry.username.isEmpty() || entry.password.isEmpty())
            refused.append(
                QStringLiteral("line %1: %2").arg(QString::number(rec.line), entryrules::problemWithEntry(entry)));
        static const char* const kNames[3] = {"username", "password", "location"};
        for (int f = 0; f < 3; ++f) {
            const QString problem = entryrules::problemWithField(fields[f], f == 2);
            if (!problem.isEmpty())
                refused.append(QStringLiteral("line %1: the %2 cannot be stored: %3")
                                   .arg(QString::number(rec.line), QLatin1String(kNames[f]), problem));
        }
        out.value.push_back(entry);
    }
    if (!refused.isEmpty())
        return {Result::failure(refused.join(QLatin1Char('\n')))};
    return out;
}

} // namespace importcsv
