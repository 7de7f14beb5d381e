#pragma once
#include "core/platform/SecretInput.h"

// Secrets from the terminal, typed without echo after a prompt on standard error; when standard
// input is no terminal, each secret is its next line. A signal that ends or stops the program
// while echo is off (Ctrl-C, Ctrl-Z, a hang-up) first gives the terminal its echo back.
class TerminalSecrets final : public SecretInput {
public:
    ResultWith<QString> read(const QString& prompt) override;
};
