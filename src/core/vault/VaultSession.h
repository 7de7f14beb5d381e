#pragma once
#include "core/platform/Result.h"
#include "core/vault/Entry.h"
#include "core/vault/EntryStore.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <vector>

// The open vault, from the one reading of data.enc at start-up to every save: its path, its
// master password and its entries. The windows and the command line change the vault only
// through here. Each operation returns whether it failed and the system's reason; the session
// reports how its rows change, in the order a list view needs (before and after), so that a list
// can follow them. What to tell the user stays with the caller.
class VaultSession : public QObject {
    Q_OBJECT
public:
    explicit VaultSession(QString path, QObject* parent = nullptr);

    const QString& path() const { return m_path; }

    // Makes sure the file exists and reads it whole, once. creating: the file could not be
    // created, rather than read.
    struct Opened : Result {
        bool creating = false;
    };
    Opened open();
    // Line 1 of the file is empty: the master password is still to be created.
    bool needsNewPassword() const { return m_storedPassword.isEmpty(); }

    // What a reading found.
    struct Loaded {
        int entries = 0;
        int damagedLines = 0;
    };
    // With the master password, the entries of the file read at open() become the rows.
    enum class Unlock { Unlocked, WrongPassword };
    Unlock unlock(const QString& typed, Loaded* loaded = nullptr);
    // Creates the master password and writes the file. Entries that a file without line 1
    // still holds are kept under it (and are the rows even when the write fails).
    ResultWith<Loaded> createPassword(const QString& password);
    bool unlocked() const { return !m_master.isEmpty(); }

    const EntryStore& entries() const { return m_store; }

    // Each change is saved at once; when the save fails, the change stays in the rows and goes
    // with the next save.
    ResultWith<int> add(const Entry& entry); // the entry's row
    // Replaces the entry with this identity; when it is gone, the entry is added instead, so
    // that nothing typed is lost. The entry's row.
    ResultWith<int> replace(quint64 id, const Entry& entry);
    Result remove(int row);
    // Sorting is saved with the next change.
    void sort(bool sorted, int column, Qt::SortOrder order);
    Result save();

signals:
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted();
    void rowChanged(int row);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved();
    void rowsAboutToBeReordered();
    void rowsReordered(const std::vector<int>& order); // element i is the row that went to place i
    void rowsAboutToBeReset();
    void rowsReset();

private:
    Loaded load();

    QString m_path;
    QByteArray m_fileBytes; // as read at open(), until the rows take them over
    QString m_storedPassword;
    QString m_master;
    EntryStore m_store;
};
