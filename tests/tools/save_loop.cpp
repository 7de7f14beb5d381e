// Saves version after version of a growing list into FOLDER/data.enc through the program's own
// save path, starting at version FIRST, until it is killed. Prints "ready" once the first is saved.
//   keyhaven_save_loop FOLDER FIRST
#include "core/vault/VaultStorage.h"
#include "support/VaultBytes.h"
#include "tools/SaveVersions.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive a test that died
    const QString path = vaultstorage::vaultPath(QString::fromLocal8Bit(argv[1]));
    const int first = std::atoi(argv[2]);
    std::vector<Entry> entries;
    for (int i = 0; i < first; ++i)
        entries.push_back(saveversions::entry(i));
    // Bounded so that a test that never kills cannot fill the disk.
    for (int n = first; n < first + 20000; ++n) {
        if (!vaultstorage::saveAtomically(path, fullVault(saveversions::kMaster, entries)).ok)
            return 1;
        if (n == first) {
            std::puts("ready");
            std::fflush(stdout);
        }
        entries.push_back(saveversions::entry(n));
    }
    return 0;
}
