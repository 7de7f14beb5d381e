#include "core/presentation/SkinFile.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

QString substitute(QString style, const QMap<QString, QColor>& colours)
{
    for (auto it = colours.begin(); it != colours.end(); ++it)
        style.replace(QStringLiteral("${") + it.key() + QLatin1Char('}'), it.value().name());
    return style;
}

} // namespace

ResultWith<SkinFile> parseSkin(const QString& text)
{
    ResultWith<SkinFile> parsed;
    SkinFile& skin = parsed.value;
    const auto failure = [](const QString& why) { return ResultWith<SkinFile>{Result::failure(why)}; };
    enum class Part { Head, Style, Service } part = Part::Head;
    QString style, service;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line == QLatin1String("[style]")) {
            part = Part::Style;
            continue;
        }
        if (line == QLatin1String("[service]")) {
            part = Part::Service;
            continue;
        }
        if (part != Part::Head) {
            (part == Part::Style ? style : service) += lines[n] + QLatin1Char('\n');
            continue;
        }
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            return failure(QStringLiteral("line %1 is not \"key = value\"").arg(n + 1));
        }
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("name")) {
            skin.name = value;
        } else if (key == QLatin1String("description")) {
            skin.description = value;
        } else if (key == QLatin1String("hue")) {
            bool ok = false;
            skin.hue = value.toInt(&ok);
            if (!ok || skin.hue < 0 || skin.hue > 359) {
                return failure(QStringLiteral("line %1: the hue is not a whole number from 0 to 359").arg(n + 1));
            }
        } else {
            static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
            if (!hex.match(value).hasMatch()) {
                return failure(QStringLiteral("line %1: \"%2\" is not a colour #RRGGBB").arg(n + 1).arg(value));
            }
            skin.colours.insert(key, QColor(value));
        }
    }
    for (const char* required : {"back", "fore", "panel", "paneltext"}) {
        if (!skin.colours.contains(QLatin1String(required))) {
            return failure(QStringLiteral("the colour \"%1\" is missing").arg(QLatin1String(required)));
        }
    }
    if (skin.name.isEmpty() || style.trimmed().isEmpty()) {
        return failure(QStringLiteral("the skin has no name or no style"));
    }
    skin.colours.insert(QStringLiteral("window"),
                        skin.colours.value(QStringLiteral("window"), skin.colours[QStringLiteral("back")]));
    skin.colours.insert(QStringLiteral("text"),
                        skin.colours.value(QStringLiteral("text"), skin.colours[QStringLiteral("fore")]));
    skin.colours.insert(QStringLiteral("accent"),
                        skin.colours.value(QStringLiteral("accent"), skin.colours[QStringLiteral("panel")]));
    skin.windowStyle = substitute(style, skin.colours);
    skin.serviceStyle = substitute(service, skin.colours);
    static const QRegularExpression leftover(QStringLiteral("\\$\\{[^}]*\\}"));
    const auto unknown = leftover.match(skin.windowStyle + skin.serviceStyle);
    if (unknown.hasMatch()) {
        return failure(QStringLiteral("the style names an unknown colour %1").arg(unknown.captured()));
    }
    return parsed;
}
