#include "core/vault/VaultSession.h"

#include "core/vault/VaultFile.h"
#include "core/vault/VaultFormat.h"
#include "core/vault/VaultStorage.h"

VaultSession::VaultSession(QString path, QObject* parent) : QObject(parent), m_path(std::move(path)) {}

VaultSession::Opened VaultSession::open()
{
    vaultfile::Read read = vaultfile::read(m_path);
    Opened opened;
    opened.ok = read.ok;
    opened.reason = read.reason;
    opened.creating = read.creating;
    if (read.ok) {
        m_fileBytes = std::move(read.value);
        m_storedPassword = vaultformat::firstLine(m_fileBytes);
    }
    return opened;
}

VaultSession::Loaded VaultSession::load()
{
    vaultformat::FileLines lines = vaultformat::readLines(std::move(m_fileBytes));
    m_fileBytes.clear();
    const Loaded loaded{static_cast<int>(lines.spans.size()), lines.damagedLines};
    emit rowsAboutToBeReset();
    m_store.replaceAll(std::move(lines));
    emit rowsReset();
    return loaded;
}

VaultSession::Unlock VaultSession::unlock(const QString& typed, Loaded* loaded)
{
    if (m_storedPassword.isEmpty() || typed != m_storedPassword)
        return Unlock::WrongPassword;
    m_master = m_storedPassword;
    const Loaded found = load();
    if (loaded)
        *loaded = found;
    return Unlock::Unlocked;
}

ResultWith<VaultSession::Loaded> VaultSession::createPassword(const QString& password)
{
    m_master = password;
    m_storedPassword = password;
    ResultWith<Loaded> created;
    created.value = load();
    const QByteArray file =
        created.value.entries > 0 ? vaultfile::fileFor(m_master, m_store) : vaultformat::passwordOnly(m_master);
    static_cast<Result&>(created) = vaultstorage::saveAtomically(m_path, file);
    return created;
}

ResultWith<int> VaultSession::add(const Entry& entry)
{
    const int row = m_store.insertPosition(entry);
    emit rowsAboutToBeInserted(row, row);
    m_store.insert(row, entry);
    emit rowsInserted();
    ResultWith<int> added;
    static_cast<Result&>(added) = save();
    added.value = row;
    return added;
}

ResultWith<int> VaultSession::replace(quint64 id, const Entry& entry)
{
    const int row = m_store.rowOfId(id);
    if (row < 0)
        return add(entry);
    m_store.setEntry(row, entry);
    emit rowChanged(row);
    ResultWith<int> replaced;
    static_cast<Result&>(replaced) = save();
    replaced.value = row;
    return replaced;
}

Result VaultSession::remove(int row)
{
    emit rowsAboutToBeRemoved(row, row);
    m_store.remove(row);
    emit rowsRemoved();
    return save();
}

void VaultSession::sort(bool sorted, int column, Qt::SortOrder order)
{
    if (!m_store.setSortSettings(sorted, column, order) || m_store.count() < 2)
        return;
    const std::vector<int> rows = m_store.sortedOrder();
    emit rowsAboutToBeReordered();
    m_store.reorder(rows);
    emit rowsReordered(rows);
}

Result VaultSession::save()
{
    return vaultfile::save(m_path, m_master, m_store);
}
