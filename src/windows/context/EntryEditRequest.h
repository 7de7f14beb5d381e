#pragma once
#include "core/vault/Entry.h"

// The handover from the main window's Add and Edit commands to the entry editor.
// Edit holds on to the entry's identity, so a sort or delete meanwhile cannot redirect it.
struct EntryEditRequest {
    enum class Mode { Add, Edit };
    Mode mode = Mode::Add;
    quint64 rowId = 0; // the entry itself
    Entry entry;
};
