#include "support/FakePlatform.h"

QStringList RecordingMessageBoxes::texts() const
{
    QStringList out;
    for (const Box& b : boxes)
        out.append(b.text);
    return out;
}

MessageBoxes::Answer RecordingMessageBoxes::present(const Box& box)
{
    boxes.push_back(box);
    if (onShow)
        onShow(box);
    if (!answers.empty()) {
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return box.buttons == Buttons::RetryCancel ? Answer::Retry : Answer::Ok;
}

QString MemorySettings::path(const QString& application, const QString& section, const QString& key)
{
    return application + QLatin1Char('/') + section + QLatin1Char('/') + key;
}

QString MemorySettings::read(const QString& application, const QString& section, const QString& key,
                             const QString& fallback)
{
    return values.value(path(application, section, key), fallback);
}

void MemorySettings::write(const QString& application, const QString& section, const QString& key, const QString& value)
{
    values.insert(path(application, section, key), value);
}
