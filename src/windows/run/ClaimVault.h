#pragma once

class AppContext;
class VaultLock;

// Claims the run's data file. When another copy holds it, or no lock can be made, says so and
// ends the program without touching the file; returns false then.
bool claimVault(AppContext& ctx, VaultLock& lock);
