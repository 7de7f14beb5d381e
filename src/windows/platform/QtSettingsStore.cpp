#include "windows/platform/QtSettingsStore.h"

#include <QSettings>

QString QtSettingsStore::read(const QString& application, const QString& section, const QString& key,
                              const QString& fallback)
{
    QSettings settings(application, application);
    return settings.value(section + QLatin1Char('/') + key, fallback).toString();
}

void QtSettingsStore::write(const QString& application, const QString& section, const QString& key,
                            const QString& value)
{
    QSettings settings(application, application);
    settings.setValue(section + QLatin1Char('/') + key, value);
}
