#pragma once
#include "core/platform/Shell.h"

// Opens through the desktop (QDesktopServices).
class DesktopShell final : public Shell {
public:
    Result open(const QString& target) override;
};
