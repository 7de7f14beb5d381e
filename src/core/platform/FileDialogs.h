#pragma once
#include <QString>

class QWidget;

// Asking the user where to save a file. Windows ask through this seam so that tests can answer.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The path the user chose, starting from the proposed one; empty when the user cancelled.
    // Blocks the owner window only.
    virtual QString askSavePath(QWidget* owner, const QString& title, const QString& proposed) = 0;
};
