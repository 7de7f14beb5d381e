#pragma once
#include "core/platform/FileDialogs.h"

// Qt's file dialog, modal to its owner window only.
class QtFileDialogs final : public FileDialogs {
public:
    QString askSavePath(QWidget* owner, const QString& title, const QString& proposed) override;
};
