#pragma once

class AppContext;

// The vault's start-up and save routines. They work on the main window's list, the one store
// of entries, and on data.enc in the program's folder.

// Makes sure data.enc exists, reads line 1 and opens the password gate in the matching mode.
// A file that cannot be read is reported and ends the program; nothing is written.
void CheckVault(AppContext& ctx);

void ShowPasswordGate(AppContext& ctx, bool createMode);

// After the gate accepted the password: fills the list from the file, reports the count,
// completes start-up.
void LoadVaultEntries(AppContext& ctx);

// After the gate created a password: closes the gate, writes the password line alone,
// completes start-up. Returns whether the file was written.
bool SaveNewPassword(AppContext& ctx);

// Rewrites the whole file from the master password and the list, in the list's order.
// A failure is reported in a message box and on the status line; the file stays as it was.
bool SaveVault(AppContext& ctx);
