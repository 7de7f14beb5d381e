#include "core/vault/VaultSession.h"

#include "core/vault/VaultFile.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int kSettleMs = 300;     // a sync tool writes, then renames: look once it is quiet
constexpr int kLookEveryMs = 2000; // and look now and then anyway: not every folder reports changes
constexpr int kWriteTries = 5;     // a file that keeps changing under each try is left alone

// Another copy of this program's code saving the same file (another session, the command line)
// waits for this one: a save holds an advisory lock on the file itself from reading it to
// putting the new one in its place. Programs that take no lock (a sync tool) are caught by the
// look just before the replacement instead.
class SaveTurn {
public:
    explicit SaveTurn(const QString& path)
    {
#ifdef Q_OS_UNIX
        const QByteArray name = QFile::encodeName(path);
        for (int waited = 0; waited < 5000; waited += 2) {
            m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (m_fd < 0)
                return; // nothing to lock: the save says what is wrong
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                // Still the file at that path? A save that went first put another one there.
                struct stat held {
                }, now{};
                if (::fstat(m_fd, &held) == 0 && ::stat(name.constData(), &now) == 0 && held.st_ino == now.st_ino &&
                    held.st_dev == now.st_dev)
                    return;
            }
            ::close(m_fd);
            m_fd = -1;
            ::usleep(2000);
        }
#else
        Q_UNUSED(path);
#endif
    }
    ~SaveTurn()
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    SaveTurn(const SaveTurn&) = delete;
    SaveTurn& operator=(const SaveTurn&) = delete;

private:
    int m_fd = -1;
};

} // namespace

VaultSession::VaultSession(QString path, QObject* parent) : QObject(parent), m_path(std::move(path))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &VaultSession::reloadIfChanged);
}

VaultSession::DiskState VaultSession::lookAtDisk() const
{
    DiskState state;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return state;
    state.exists = true;
    state.device = st.st_dev;
    state.inode = st.st_ino;
    state.size = st.st_size;
    state.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    state.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
#else
    const QFileInfo info(m_path);
    state.exists = info.isFile();
    if (state.exists) {
        state.size = info.size();
        state.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1'000'000;
        state.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1'000'000;
    }
#endif
    return state;
}

QByteArray VaultSession::hashOf(const QByteArray& bytes)
{
    // Tells this run's own file from any other; fast enough to run over the file at every save.
    QByteArray print;
    for (const size_t seed : {size_t(0x6b68), size_t(0x7661756c74)})
        print += QByteArray::number(quint64(qHashBits(bytes.constData(), size_t(bytes.size()), seed)), 16) + ':';
    return print + QByteArray::number(bytes.size());
}

VaultSession::Opened VaultSession::open()
{
    // Looked at before reading: a change after this look shows at the next one.
    DiskState state = lookAtDisk();
    vaultfile::Read read = vaultfile::read(m_path);
    Opened opened;
    opened.ok = read.ok;
    opened.reason = read.reason;
    opened.creating = read.creating;
    if (read.ok) {
        if (!state.exists)
            state = lookAtDisk(); // created just now
        state.hash = hashOf(read.value);
        m_known = state;
        m_fileBytes = std::move(read.value);
        m_openedSealed = sealedformat::isSealed(m_fileBytes);
        if (m_openedSealed) {
            // Its header says whether it can be opened at all, before any password is asked.
            const ResultWith<sealedformat::Header> header = sealedformat::readHeader(m_fileBytes);
            if (!header.ok) {
                opened.ok = false;
                opened.reason = header.reason;
            }
        } else {
            m_storedPassword = vaultformat::firstLine(m_fileBytes);
        }
    }
    return opened;
}

VaultSession::Loaded VaultSession::load(QByteArray bytes)
{
    vaultformat::FileLines lines = vaultformat::readLines(std::move(bytes));
    const Loaded loaded{static_cast<int>(lines.spans.size()), lines.damagedLines};
    emit rowsAboutToBeReset();
    m_store.replaceAll(std::move(lines));
    emit rowsReset();
    return loaded;
}

void VaultSession::resetRows(const std::vector<Entry>& entries)
{
    emit rowsAboutToBeReset();
    m_store.replaceAll(entries);
    emit rowsReset();
}

VaultSession::Unlock VaultSession::unlock(const QString& typed, Loaded* loaded)
{
    QByteArray classic;
    if (m_openedSealed) {
        // Right when the key it makes passes the file's key check; then the file must open and
        // its first line be the password. The file's buffer becomes the classic bytes.
        const ResultWith<sealedformat::Header> header = sealedformat::readHeader(m_fileBytes);
        const ResultWith<sealedformat::KeyPtr> key =
            header.ok ? sealedformat::keyFor(typed, header.value) : ResultWith<sealedformat::KeyPtr>{header};
        if (!key.ok) {
            m_damage = key.reason;
            return Unlock::Damaged;
        }
        if (typed.isEmpty() || !sealedformat::keyMatches(*key.value, header.value))
            return Unlock::WrongPassword;
        sealedformat::Opened opened = sealedformat::openWithKey(std::move(m_fileBytes), key.value);
        m_fileBytes.clear();
        if (opened.status != sealedformat::Status::Opened || vaultformat::firstLine(opened.classic) != typed) {
            m_damage = opened.status == sealedformat::Status::Opened
                           ? QStringLiteral("the sealed file's first line is not its master password")
                           : opened.reason;
            return Unlock::Damaged;
        }
        m_key = opened.key;
        m_storedPassword = typed;
        classic = std::move(opened.classic);
    } else {
        if (m_storedPassword.isEmpty() || typed != m_storedPassword)
            return Unlock::WrongPassword;
        classic = std::move(m_fileBytes);
    }
    m_master = m_storedPassword;
    const Loaded found = load(std::move(classic));
    m_fileBytes.clear();
    if (loaded)
        *loaded = found;
    return Unlock::Unlocked;
}

VaultSession::Created VaultSession::createPassword(const QString& password)
{
    m_master = password;
    m_storedPassword = password;
    Created created;
    created.loaded = load(std::move(m_fileBytes));
    m_fileBytes.clear();
    const QByteArray file =
        created.loaded.entries > 0 ? vaultfile::fileFor(m_master, m_store) : vaultformat::passwordOnly(m_master);
    static_cast<Result&>(created) = vaultstorage::saveAtomically(m_path, file);
    if (created.ok) {
        m_known = lookAtDisk();
        m_known.hash = hashOf(file);
    }
    return created;
}

VaultSession::Saved VaultSession::add(const Entry& entry)
{
    return addAll({entry});
}

VaultSession::Saved VaultSession::addAll(const std::vector<Entry>& entries)
{
    int row = -1;
    for (const Entry& entry : entries) {
        row = m_store.insertPosition(entry);
        emit rowsAboutToBeInserted(row, row);
        m_store.insert(row, entry);
        emit rowsInserted();
        m_pending.push_back(vaultmerge::Change::add(entry));
    }
    return commit(row);
}

VaultSession::Saved VaultSession::replace(quint64 id, const Entry& before, const Entry& entry)
{
    int row = m_store.rowOfId(id);
    for (int r = 0; row < 0 && r < m_store.count(); ++r) {
        if (m_store.at(r) == before)
            row = r;
    }
    if (row < 0)
        return add(entry);
    m_pending.push_back(vaultmerge::Change::edit(m_store.at(row), entry));
    m_store.setEntry(row, entry);
    emit rowChanged(row);
    return commit(row);
}

VaultSession::Saved VaultSession::remove(int row)
{
    m_pending.push_back(vaultmerge::Change::remove(m_store.at(row)));
    emit rowsAboutToBeRemoved(row, row);
    m_store.remove(row);
    emit rowsRemoved();
    return commit(-1);
}

void VaultSession::sort(bool sorted, int column, Qt::SortOrder order)
{
    m_pending.push_back(vaultmerge::Change::sort(sorted, column, order));
    if (!m_store.setSortSettings(sorted, column, order) || m_store.count() < 2)
        return;
    const std::vector<int> rows = m_store.sortedOrder();
    emit rowsAboutToBeReordered();
    m_store.reorder(rows);
    emit rowsReordered(rows);
}

VaultSession::Saved VaultSession::save()
{
    return commit(-1);
}

VaultSession::Saved VaultSession::setSealed(bool on, sealedformat::Params params)
{
    if (on) {
        const ResultWith<sealedformat::KeyPtr> key = sealedformat::newKey(m_master, params);
        if (!key.ok) {
            Saved failed;
            failed.ok = false;
            failed.reason = key.reason;
            return failed;
        }
        m_key = key.value;
    } else {
        m_key.reset();
    }
    return commit(-1);
}

QByteArray VaultSession::fileBytes() const
{
    QByteArray classic = vaultfile::fileFor(m_master, m_store);
    return m_key ? sealedformat::seal(std::move(classic), *m_key) : classic;
}

ResultWith<QByteArray> VaultSession::classicOf(const ResultWith<QByteArray>& disk) const
{
    if (!disk.ok || !sealedformat::isSealed(disk.value))
        return disk;
    const ResultWith<sealedformat::Header> header = sealedformat::readHeader(disk.value);
    if (!header.ok)
        return {Result::failure(header.reason)};
    // Sealed again elsewhere, under a salt of its own: its key is derived anew.
    sealedformat::KeyPtr key = m_key;
    if (!key || !sealedformat::keyMatches(*key, header.value)) {
        const ResultWith<sealedformat::KeyPtr> derived = sealedformat::keyFor(m_master, header.value);
        if (!derived.ok)
            return {Result::failure(derived.reason)};
        key = derived.value;
    }
    const sealedformat::Opened opened = sealedformat::openWithKey(disk.value, key);
    if (opened.status == sealedformat::Status::WrongPassword)
        return {Result::failure(QStringLiteral("it does not open with this master password"))};
    if (opened.status == sealedformat::Status::Damaged)
        return {Result::failure(opened.reason)};
    ResultWith<QByteArray> classic;
    classic.value = opened.classic;
    return classic;
}

bool VaultSession::hasUnsavedChanges() const
{
    return std::any_of(m_pending.begin(), m_pending.end(),
                       [](const vaultmerge::Change& c) { return c.kind != vaultmerge::Change::Kind::Sort; });
}

VaultSession::Saved VaultSession::commit(int row)
{
    Saved out;
    out.row = row;
    for (int attempt = 0; attempt < kWriteTries; ++attempt) {
        const SaveTurn turn(m_path);
        // What is on disk now, read whole: a look at its size and times alone can be fooled by
        // a file replaced within the clock's last tick. Looked at before reading, so that a
        // change after the reading shows just before the new file takes its place.
        DiskState expected = lookAtDisk();
        // A file that is gone (or is no file) holds nothing to merge: the save puts the list back,
        // or says why it cannot.
        if (expected.exists) {
            const ResultWith<QByteArray> disk = vaultstorage::readAll(m_path);
            expected.hash = disk.ok ? hashOf(disk.value) : QByteArray();
            if (!disk.ok || expected.hash != m_known.hash) {
                // Changed elsewhere: this run's changes are replayed on the file as it is now.
                const ResultWith<QByteArray> classic = classicOf(disk);
                const Result can = vaultmerge::mergeable(classic, classic.value, m_master);
                if (!can.ok) {
                    out.ok = false;
                    out.reason = can.reason;
                    out.conflictFile = writeConflictFile(fileBytes());
                    if (out.conflictFile.isEmpty())
                        out.reason += QStringLiteral(", and no file could be written beside it");
                    return out;
                }
                const vaultmerge::Replayed merged =
                    vaultmerge::replay(vaultformat::parse(classic.value).entries, m_pending);
                resetRows(merged.entries);
                out.row = row < 0 ? -1 : merged.row;
                out.merged = true;
                m_known = expected; // the rows now stand on this file, with the changes on top
            }
        }
        const QByteArray bytes = fileBytes();
        bool changedMeanwhile = false;
        const Result written = vaultstorage::saveAtomically(m_path, bytes, [&] {
            changedMeanwhile = !lookAtDisk().sameFileAs(expected);
            return changedMeanwhile ? Result::failure(QStringLiteral("the file changed while it was being saved"))
                                    : Result{};
        });
        if (changedMeanwhile)
            continue; // the next try reads it again
        if (!written.ok) {
            out.ok = false;
            out.reason = written.reason;
            return out;
        }
        m_pending.clear();
        m_known = lookAtDisk();
        m_known.hash = hashOf(bytes);
        return out;
    }
    out.ok = false;
    out.reason = QStringLiteral("the file kept changing while it was being saved");
    return out;
}

QString VaultSession::writeConflictFile(const QByteArray& bytes) const
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

void VaultSession::watch()
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
    connect(look, &QTimer::timeout, this, &VaultSession::reloadIfChanged);
    look->start();
}

void VaultSession::reloadIfChanged()
{
    if (!unlocked() || hasUnsavedChanges())
        return; // the next save merges what changed
    DiskState now = lookAtDisk();
    if (!now.exists || now.sameFileAs(m_known))
        return; // a file that is gone is put back by the next save
    const ResultWith<QByteArray> disk = vaultstorage::readAll(m_path);
    now.hash = disk.ok ? hashOf(disk.value) : QByteArray();
    if (disk.ok && now.hash == m_known.hash) {
        m_known = now;
        return;
    }
    const ResultWith<QByteArray> classic = classicOf(disk);
    const Result can = vaultmerge::mergeable(classic, classic.value, m_master);
    if (!can.ok) {
        // Left alone, and said once for each state of the file.
        if (!now.sameFileAs(m_refused)) {
            m_refused = now;
            emit notReloaded(can.reason);
        }
        return;
    }
    const vaultmerge::Replayed reread = vaultmerge::replay(vaultformat::parse(classic.value).entries, m_pending);
    resetRows(reread.entries);
    m_known = now;
    emit reloaded(m_store.count());
}
