#include "core/vault/ConflictCopies.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace conflictcopies {

namespace {

// The part between the data file's base name and its extension, for each engine.
const QStringList& middles()
{
    static const QStringList table = {
        QStringLiteral(R"(\.sync-conflict-\d{8}-\d{6}-[A-Z2-7]{7})"),                       // Syncthing
        QStringLiteral(R"( \(conflicted copy \d{4}-\d{2}-\d{2} \d{6}\)(?: \(\d+\))?)"),     // Nextcloud
        QStringLiteral(R"(_conflict-\d{8}-\d{6})"),                                         // ownCloud
        QStringLiteral(R"( \([^()/]+'s conflicted copy \d{4}-\d{2}-\d{2}\)(?: \(\d+\))?)"), // Dropbox
    };
    return table;
}

// One pattern for every engine's name of a copy of this data file.
QRegularExpression copiesOf(const QString& dataFileName)
{
    const QFileInfo data(dataFileName);
    const QString base = QRegularExpression::escape(data.completeBaseName());
    const QString extension =
        data.suffix().isEmpty() ? QString() : QRegularExpression::escape(QLatin1Char('.') + data.suffix());
    return QRegularExpression(QStringLiteral("^") + base + QStringLiteral("(?:") + middles().join(QLatin1Char('|')) +
                              QStringLiteral(")") + extension + QStringLiteral("$"));
}

} // namespace

bool isCopyOf(const QString& name, const QString& dataFileName)
{
    return copiesOf(dataFileName).match(name).hasMatch();
}

QStringList besides(const QString& dataFilePath)
{
    const QFileInfo data(dataFilePath);
    const QDir folder = data.absoluteDir();
    const QRegularExpression copy = copiesOf(data.fileName());
    QStringList out;
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : names)
        if (copy.match(name).hasMatch())
            out.append(folder.filePath(name));
    return out;
}

} // namespace conflictcopies
