#include "cli/Cli.h"
#include "cli/TerminalSecrets.h"

#include <QCoreApplication>
#include <QFile>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    TerminalSecrets secrets;
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cli::FileProblem;
    return cli::run(app.arguments().mid(1), QCoreApplication::applicationDirPath(), secrets, out,
                    ::isatty(STDOUT_FILENO) == 1, err);
}
