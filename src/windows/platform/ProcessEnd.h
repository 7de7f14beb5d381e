#pragma once
#include "core/platform/ProgramEnd.h"

// Leaves the process at once; on X11 the clipboard is handed to the desktop's clipboard manager
// first, so that what the user copied outlives the program.
class ProcessEnd final : public ProgramEnd {
public:
    [[noreturn]] void endNow() override;
};
