#pragma once
#include "core/vault/Entry.h"

#include <QHash>
#include <QStringList>
#include <vector>

// Entries by letter, for tables of lists: "A B* C" is ann, bob with a password changed once, cid;
// "B**" is bob with his password changed another way.
inline Entry lettered(QChar letter, int edits = 0)
{
    static const QHash<QChar, QString> names = {{u'A', QStringLiteral("ann")}, {u'B', QStringLiteral("bob")},
                                                {u'C', QStringLiteral("cid")}, {u'D', QStringLiteral("dan")},
                                                {u'E', QStringLiteral("eve")}, {u'F', QStringLiteral("fay")},
                                                {u'X', QStringLiteral("xan")}, {u'Y', QStringLiteral("yul")}};
    const QString name = names.value(letter);
    return {name, QStringLiteral("pw-") + name + QString(edits, QLatin1Char('!')),
            name + QStringLiteral(".example.com")};
}

inline std::vector<Entry> lettered(const QString& letters)
{
    std::vector<Entry> out;
    for (const QString& word : letters.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.push_back(lettered(word[0], int(word.count(QLatin1Char('*')))));
    return out;
}
