#pragma once
#include "core/platform/Result.h"

#include <QString>

// Where a secret (a master password) is typed: never on a command line, where other users can
// see it. Fails when none can be read.
class SecretInput {
public:
    virtual ~SecretInput() = default;
    virtual ResultWith<QString> read(const QString& prompt) = 0;
};
