#include "core/vault/VaultDisk.h"

#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace {

constexpr int kSettleMs = 300;      // a sync tool writes, then renames: look once it is quiet
constexpr int kLookEveryMs = 2000;  // and look now and then anyway: not every folder reports changes
constexpr int kConflictNames = 100; // conflict files of one second tried before giving up

// The classic bytes of a file read from disk, and the key that opened it when it is sealed.
struct Classic {
    Result read;
    QByteArray bytes;
    sealedformat::KeyPtr key;
    bool otherPassword = false; // sealed under a master password not this run's
};

} // namespace

// A sealed file opens with the key at hand when it fits, else with one derived from the master
// password (it was sealed again elsewhere, under a salt of its own), once for each salt.
static Classic classicOf(ResultWith<QByteArray> disk, const QString& master, const sealedformat::KeyPtr& key,
                         KeyCache& keys, const BusyReport& busy)
{
    if (!disk.ok || !sealedformat::isSealed(disk.value))
        return {disk, std::move(disk.value), {}};
    const ResultWith<sealedformat::Header> header = sealedformat::readHeader(disk.value);
    if (!header.ok)
        return {Result::failure(header.reason), {}, {}};
    sealedformat::KeyPtr opener = key;
    if (!opener || !sealedformat::keyMatches(*opener, header.value)) {
        const ResultWith<sealedformat::KeyPtr> derived = keys.keyFor(master, header.value, busy);
        if (!derived.ok)
            return {Result::failure(derived.reason), {}, {}};
        opener = derived.value;
    }
    sealedformat::Opened opened = sealedformat::openWithKey(std::move(disk.value), opener);
    if (opened.status == sealedformat::Status::WrongPassword)
        return {{}, {}, {}, true};
    if (opened.status == sealedformat::Status::Damaged)
        return {Result::failure(opened.reason), {}, {}};
    return {{}, std::move(opened.classic), opener};
}

VaultDisk::VaultDisk(QString path, QObject* parent) : QObject(parent), m_path(std::move(path))
{
    m_busy = [this](bool busy) { emit working(busy); };
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &VaultDisk::changed);
}

vaultfile::Read VaultDisk::open()
{
    // Looked at before reading: a change after this look shows at the next one.
    DiskState state = DiskState::of(m_path);
    ContentDigest digest;
    vaultfile::Read read = vaultfile::read(m_path, &digest);
    if (read.ok) {
        if (!state.exists)
            state = DiskState::of(m_path); // created just now
        state.digest = digest;
        m_known = state;
    }
    return read;
}

VaultDisk::Changes VaultDisk::mergeChangesMadeElsewhere(const QString& master, const sealedformat::KeyPtr& key,
                                                        const std::vector<vaultmerge::Change>& changes)
{
    Changes out;
    m_looked = DiskState::of(m_path);
    if (m_looked.kind == DiskState::Kind::Other) {
        // A pipe or a device in its place is never read nor written over.
        out.kind = Changes::Kind::Refused;
        out.reason = QStringLiteral("it is no longer a regular file");
        return out;
    }
    if (!m_looked.exists)
        return out; // a file that is gone is put back by the next save
    // Untouched since this run read or wrote it, to the nanosecond: nothing to read.
    if (m_looked.sameFileAs(m_known) && m_known.timesToTheNanosecond() && m_known.digest.known()) {
        m_looked.digest = m_known.digest;
        return out;
    }
    if (!m_refusedReason.isEmpty() && m_looked.sameFileAs(m_refused)) {
        // Looked at already: nothing is read or derived again for the same file.
        out.kind = Changes::Kind::Refused;
        out.reason = m_refusedReason;
        return out;
    }
    // Read whole: a look at its size and times alone can be fooled by a file replaced within
    // the clock's last tick.
    ResultWith<QByteArray> disk = vaultstorage::readAll(m_path);
    if (disk.ok && m_known.digest.matches(disk.value)) {
        m_looked.digest = m_known.digest;
        m_known = m_looked;
        return out;
    }
    if (disk.ok)
        m_looked.digest = ContentDigest::of(disk.value);
    Classic classic = classicOf(std::move(disk), master, key, m_keys, m_busy);
    const Result can = classic.otherPassword ? Result::failure(QStringLiteral("it is under another master password"))
                                             : vaultmerge::mergeable(classic.read, classic.bytes, master);
    if (!can.ok) {
        out.kind = Changes::Kind::Refused;
        out.reason = can.reason;
        m_refused = m_looked;
        m_refusedReason = can.reason;
        return out;
    }
    out.kind = Changes::Kind::Merged;
    out.file = vaultformat::parse(classic.bytes).entries;
    out.merged = vaultmerge::replay(out.file, changes);
    out.key = classic.key;
    m_known = m_looked; // the rows now stand on this file, with the changes on top
    return out;
}

VaultDisk::Copy VaultDisk::readCopy(const QString& path, const QString& master, const sealedformat::KeyPtr& key)
{
    Copy copy;
    copy.state = DiskState::of(path);
    Classic classic = classicOf(vaultstorage::readAll(path), master, key, m_keys, m_busy);
    const Result can = classic.otherPassword ? Result::failure(QStringLiteral("it is under another master password"))
                                             : vaultmerge::mergeable(classic.read, classic.bytes, master);
    if (!can.ok) {
        copy.reason = can.reason;
        return copy;
    }
    copy.ok = true;
    copy.entries = vaultformat::parse(classic.bytes).entries;
    copy.key = classic.key;
    return copy;
}

Result VaultDisk::write(const vaultstorage::Producer& produce, bool* changedMeanwhile)
{
    *changedMeanwhile = false;
    const DiskState expected = m_looked;
    ContentDigest digest;
    Result written = vaultstorage::saveAtomically(
        m_path,
        [&](const vaultstorage::Sink& sink) {
            return produce([&](QByteArrayView piece) {
                digest.add(piece);
                return sink(piece);
            });
        },
        [&] {
            *changedMeanwhile = !DiskState::of(m_path).sameFileAs(expected);
            return *changedMeanwhile ? Result::failure(QStringLiteral("the file changed while it was being saved"))
                                     : Result{};
        });
    if (written.ok)
        wrote(digest);
    return written;
}

void VaultDisk::wrote(const QByteArray& bytes)
{
    wrote(ContentDigest::of(bytes));
}

void VaultDisk::wrote(const ContentDigest& digest)
{
    m_known = DiskState::of(m_path);
    m_known.digest = digest;
    emit replaced();
}

QString VaultDisk::writeConflictFile(const QByteArray& bytes) const
{
    const QString stem = m_path + QStringLiteral(".conflict-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // Owner-only, and never wider than the vault was when this run last read or wrote it.
    const mode_t mode = m_known.mode != 0 ? (m_known.mode & 0600) | 0400 : 0600;
    for (int n = 1; n <= kConflictNames; ++n) {
        QString name = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        if (vaultstorage::writeNewFile(name, bytes, mode).ok)
            return name;
        if (QFileInfo(name).exists() || QFileInfo(name).isSymLink())
            continue; // taken: the next name
        return {};
    }
    return {};
}

QStringList VaultDisk::conflictFiles() const
{
    const QFileInfo data(m_path);
    QStringList out;
    const QStringList names = QDir(data.absolutePath())
                                  .entryList({data.fileName() + QStringLiteral(".conflict-*")},
                                             QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names)
        if (!name.contains(QStringLiteral(".new-"))) // one being written
            out.append(data.absoluteDir().filePath(name));
    return out;
}

VaultDisk::SealedConflicts VaultDisk::sealConflictFiles(const QString& master, const sealedformat::Key& key) const
{
    SealedConflicts out;
    for (const QString& name : conflictFiles()) {
        const ResultWith<QByteArray> bytes = vaultstorage::readAll(name);
        if (bytes.ok && sealedformat::isSealed(bytes.value))
            continue; // sealed already
        if (!bytes.ok || vaultformat::firstLine(bytes.value) != master ||
            !vaultstorage::replaceWithNewFile(name, sealedformat::seal(bytes.value, key), 0600).ok) {
            out.left.append(name);
            continue;
        }
        out.sealed.append(name);
    }
    return out;
}

bool VaultDisk::firstRefusalOfThisFile()
{
    if (m_looked.sameFileAs(m_refusalSaid))
        return false;
    m_refusalSaid = m_looked;
    return true;
}

void VaultDisk::watch()
{
    if (m_watcher)
        return;
    m_watcher = new QFileSystemWatcher(this);
    const auto watchAgain = [this] {
        // A file replaced by a rename is a new file: watch it again.
        if (QFileInfo(m_path).isFile() && !m_watcher->files().contains(m_path))
            m_watcher->addPath(m_path);
        m_settle.start();
    };
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, watchAgain);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, watchAgain);
    m_watcher->addPath(m_path);
    m_watcher->addPath(QFileInfo(m_path).absolutePath());
    auto* look = new QTimer(this);
    look->setInterval(kLookEveryMs);
    connect(look, &QTimer::timeout, this, &VaultDisk::changed);
    look->start();
}
