#pragma once
#include <QString>

// Another copy of this program's code saving the same file (another session, the command line)
// waits for this one: a save holds an advisory lock on the file itself from reading it to putting
// the new one in its place. A file this user cannot write gives no turn: its save fails anyway. Programs that take no
// lock (a sync tool) are caught by the look just before the replacement instead.
class SaveTurn {
public:
    explicit SaveTurn(const QString& path);
    ~SaveTurn();
    SaveTurn(const SaveTurn&) = delete;
    SaveTurn& operator=(const SaveTurn&) = delete;

private:
    int m_fd = -1;
};
