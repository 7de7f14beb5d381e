#pragma once
#include <QString>

// The per-user settings store: values under an application name, a section and a key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& application, const QString& section, const QString& key,
                         const QString& fallback) = 0;
    virtual void write(const QString& application, const QString& section, const QString& key,
                       const QString& value) = 0;
};
