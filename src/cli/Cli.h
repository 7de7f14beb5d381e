#pragma once
#include <QStringList>

class SecretInput;
class QIODevice;

// keyhaven-cli: the vault from a terminal. Runs one command line (without the program's name)
// on the data file beside the program, or the one --file names, and gives the exit status:
// 0 done, 1 bad usage or input, 2 wrong master password, 3 the file cannot be read or written or
// a running Keyhaven holds it. outIsTerminal: out goes to a terminal, where export shows control
// characters as their pictures, as list and show always do.
namespace cli {

enum Status { Done = 0, BadInput = 1, WrongPassword = 2, FileProblem = 3 };

int run(const QStringList& arguments, const QString& programFolder, SecretInput& secrets, QIODevice& out,
        bool outIsTerminal, QIODevice& err);

// Every command with its operands, options, what it does and an example.
QString helpText();

} // namespace cli
