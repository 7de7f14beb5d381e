#pragma once
#include "cli/CommandTable.h"
#include "core/vault/VaultSession.h"

class QIODevice;
class SecretInput;

namespace cli {

// Where a command's text goes: its result on standard output; reasons and reports on standard
// error, so that a result piped on holds nothing else.
class Output {
public:
    Output(QIODevice& out, bool outIsTerminal, QIODevice& err) : m_out(out), m_err(err), m_terminal(outIsTerminal) {}

    int fail(int status, const QString& text);
    void say(const QString& text);
    void sayExactly(const QByteArray& bytes);
    void report(const QString& text);
    // What merging the conflict copies beside the file did, in words for standard error.
    static QString copiesText(const VaultSession::CopiesMerged& copies);
    // The report of a save, or why it failed.
    int saved(const VaultSession::Saved& saved, const QString& done);
    // Standard output goes to a terminal, which would obey the control characters in it.
    bool toTerminal() const { return m_terminal; }

private:
    QIODevice& m_out;
    QIODevice& m_err;
    bool m_terminal;
};

// What a command works on: the open vault, unlocked.
struct Context {
    const Request& request;
    Output& output;
    SecretInput& secrets;
    const VaultSession& vault;
    VaultSession* changing; // the same vault, for the commands that change it; null for the others
};

// The commands' bodies; each gives the exit status.
namespace commands {

int list(Context& c);
int show(Context& c);
int exportAll(Context& c);
int info(Context& c);
int add(Context& c);
int edit(Context& c);
int remove(Context& c);
int importFile(Context& c);
int seal(Context& c);
int unseal(Context& c);

} // namespace commands

} // namespace cli
