#include "cli/TerminalSecrets.h"

#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

bool readLine(std::string& line)
{
    line.clear();
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c == '\n')
            return true;
        line += char(c);
    }
    return !line.empty();
}

} // namespace

ResultWith<QString> TerminalSecrets::read(const QString& prompt)
{
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios before{};
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &before);
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool got = readLine(line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        std::fputs("\n", stderr);
    }
    if (!got)
        return {Result::failure(QStringLiteral("no password was given"))};
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    ResultWith<QString> secret;
    secret.value = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    return secret;
}
