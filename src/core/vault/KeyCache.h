#pragma once
#include "core/vault/SealedFormat.h"

#include <functional>
#include <vector>

// Deriving a key takes as long and as much memory as the sealed file asks for (up to 20 passes
// over 1 GiB): it runs on a thread of its own while this thread's event loop goes on, painting and
// running timers; user input waits until it is done. busy(true) and busy(false) come around it.
using BusyReport = std::function<void(bool busy)>;
ResultWith<sealedformat::KeyPtr> deriveAway(const QString& password, const sealedformat::Header& header,
                                            const BusyReport& busy);

// The master password's keys for the sealed files this run met, by their salt and parameters:
// each is derived once, however often a file under it is looked at.
class KeyCache {
public:
    // Remembers a key this run has already (the one the vault was unlocked or sealed with).
    void add(const sealedformat::KeyPtr& key);
    ResultWith<sealedformat::KeyPtr> keyFor(const QString& master, const sealedformat::Header& header,
                                            const BusyReport& busy);

private:
    struct Known {
        QByteArray salt;
        sealedformat::Params params;
        ResultWith<sealedformat::KeyPtr> key;
    };
    std::vector<Known> m_known;
};
