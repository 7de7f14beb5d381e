#pragma once
#include "core/vault/Entry.h"

#include <QHash>
#include <QStringList>
#include <vector>

// Entries by letter, for tables of lists: "A B* C" is ann, bea (bob as edited elsewhere), cid.
inline Entry lettered(QChar letter, bool edited = false)
{
    static const QHash<QChar, QString> names = {{u'A', QStringLiteral("ann")}, {u'B', QStringLiteral("bob")},
                                                {u'C', QStringLiteral("cid")}, {u'D', QStringLiteral("dan")},
                                                {u'E', QStringLiteral("eve")}, {u'F', QStringLiteral("fay")},
                                                {u'X', QStringLiteral("xan")}, {u'Y', QStringLiteral("yul")}};
    const QString name = edited ? (letter == u'B' ? QStringLiteral("bea") : names.value(letter) + QLatin1Char('2'))
                                : names.value(letter);
    return {name, QStringLiteral("pw-") + name, name + QStringLiteral(".example.com")};
}

inline std::vector<Entry> lettered(const QString& letters)
{
    std::vector<Entry> out;
    for (const QString& word : letters.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.push_back(lettered(word[0], word.endsWith(QLatin1Char('*'))));
    return out;
}
