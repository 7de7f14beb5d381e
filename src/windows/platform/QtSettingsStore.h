#pragma once
#include "core/platform/SettingsStore.h"

// The user's settings through QSettings: application and organisation are the product name.
class QtSettingsStore final : public SettingsStore {
public:
    QString read(const QString& application, const QString& section, const QString& key,
                 const QString& fallback) override;
    void write(const QString& application, const QString& section, const QString& key, const QString& value) override;
};
