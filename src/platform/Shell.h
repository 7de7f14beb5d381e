#pragma once
#include <QString>

// Opens a location the way the desktop does: a web address in the default browser,
// anything else as a local path. The target is never passed through a command shell.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const QString& target) = 0;
};

class DesktopShell final : public Shell {
public:
    void open(const QString& target) override;
};
