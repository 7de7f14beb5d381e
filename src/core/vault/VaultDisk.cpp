#include "core/vault/VaultDisk.h"

#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace {

constexpr int kSettleMs = 300;     // a sync tool writes, then renames: look once it is quiet
constexpr int kLookEveryMs = 2000; // and look now and then anyway: not every folder reports changes

// A file read from disk as classic bytes: a sealed one opened with the key at hand when it fits,
// else with one derived from the master password (it was sealed again elsewhere, under a salt of
// its own). Fails when it cannot be opened so.
struct Classic {
    Result read;
    QByteArray bytes;
    sealedformat::KeyPtr key;
};

Classic classicOf(ResultWith<QByteArray> disk, const QString& master, const sealedformat::KeyPtr& key)
{
    if (!disk.ok || !sealedformat::isSealed(disk.value))
        return {disk, std::move(disk.value), {}};
    const ResultWith<sealedformat::Header> header = sealedformat::readHeader(disk.value);
    if (!header.ok)
        return {Result::failure(header.reason), {}, {}};
    sealedformat::KeyPtr opener = key;
    if (!opener || !sealedformat::keyMatches(*opener, header.value)) {
        const ResultWith<sealedformat::KeyPtr> derived = sealedformat::keyFor(master, header.value);
        if (!derived.ok)
            return {Result::failure(derived.reason), {}, {}};
        opener = derived.value;
    }
    sealedformat::Opened opened = sealedformat::openWithKey(std::move(disk.value), opener);
    if (opened.status == sealedformat::Status::WrongPassword)
        return {Result::failure(QStringLiteral("it does not open with this master password")), {}, {}};
    if (opened.status == sealedformat::Status::Damaged)
        return {Result::failure(opened.reason), {}, {}};
    return {{}, std::move(opened.classic), opener};
}

} // namespace

VaultDisk::VaultDisk(QString path, QObject* parent) : QObject(parent), m_path(std::move(path))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &VaultDisk::changed);
}

vaultfile::Read VaultDisk::open()
{
    // Looked at before reading: a change after this look shows at the next one.
    DiskState state = DiskState::of(m_path);
    vaultfile::Read read = vaultfile::read(m_path);
    if (read.ok) {
        if (!state.exists)
            state = DiskState::of(m_path); // created just now
        state.digest = DiskState::digestOf(read.value);
        m_known = state;
    }
    return read;
}

VaultDisk::Changes VaultDisk::mergeChangesMadeElsewhere(const QString& master, const sealedformat::KeyPtr& key,
                                                        const std::vector<vaultmerge::Change>& changes)
{
    Changes out;
    m_looked = DiskState::of(m_path);
    if (!m_looked.exists)
        return out; // a file that is gone is put back by the next save
    // Read whole: a look at its size and times alone can be fooled by a file replaced within
    // the clock's last tick.
    ResultWith<QByteArray> disk = vaultstorage::readAll(m_path);
    m_looked.digest = disk.ok ? DiskState::digestOf(disk.value) : QByteArray();
    if (disk.ok && m_looked.digest == m_known.digest) {
        m_known = m_looked;
        return out;
    }
    Classic classic = classicOf(std::move(disk), master, key);
    const Result can = vaultmerge::mergeable(classic.read, classic.bytes, master);
    if (!can.ok) {
        out.kind = Changes::Kind::Refused;
        out.reason = can.reason;
        return out;
    }
    out.kind = Changes::Kind::Merged;
    out.merged = vaultmerge::replay(vaultformat::parse(classic.bytes).entries, changes);
    out.key = classic.key;
    m_known = m_looked; // the rows now stand on this file, with the changes on top
    return out;
}

Result VaultDisk::write(const QByteArray& bytes, bool* changedMeanwhile)
{
    *changedMeanwhile = false;
    const DiskState expected = m_looked;
    const Result written = vaultstorage::saveAtomically(m_path, bytes, [&] {
        *changedMeanwhile = !DiskState::of(m_path).sameFileAs(expected);
        return *changedMeanwhile ? Result::failure(QStringLiteral("the file changed while it was being saved"))
                                 : Result{};
    });
    if (written.ok)
        wrote(bytes);
    return written;
}

void VaultDisk::wrote(const QByteArray& bytes)
{
    m_known = DiskState::of(m_path);
    m_known.digest = DiskState::digestOf(bytes);
}

QString VaultDisk::writeConflictFile(const QByteArray& bytes) const
{
    const QString stem = m_path + QStringLiteral(".conflict-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QLatin1Char('-') + QString::number(n);
    if (!vaultstorage::saveAtomically(name, bytes).ok)
        return {};
    const QFileInfo original(m_path);
    if (original.isFile())
        QFile::setPermissions(name, original.permissions());
    return name;
}

bool VaultDisk::refusedBefore()
{
    if (m_looked.sameFileAs(m_refused))
        return true;
    m_refused = m_looked;
    return false;
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
