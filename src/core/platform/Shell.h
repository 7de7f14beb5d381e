#pragma once
#include "core/platform/Result.h"

#include <QString>

// Opens a location the way the desktop does: a web address in the default browser, anything
// else as a local path, a relative one from the user's home folder; nothing opens the home folder.
// The target is never passed through a command shell. Fails when nothing can open it.
class Shell {
public:
    virtual ~Shell() = default;
    virtual Result open(const QString& target) = 0;
};
