#pragma once
#include "core/platform/MessageBoxes.h"

// The message boxes the user sees: QMessageBox, modal, on top of every window.
class QtMessageBoxes final : public MessageBoxes {
public:
    using MessageBoxes::MessageBoxes;

protected:
    Answer present(const Box& box) override;
};
