#include "cli/TerminalSecrets.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iterator>
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

// The signals that end or stop the program from the terminal or from elsewhere.
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

// For the handler, while echo is off: the terminal as it was, and as it is.
termios g_before{};
termios g_quiet{};

void handle(int signal);

struct sigaction handlerAction()
{
    struct sigaction action {};
    action.sa_handler = handle;
    action.sa_flags = SA_RESTART; // a stopped and continued program reads on
    sigemptyset(&action.sa_mask);
    for (const int s : kSignals)
        sigaddset(&action.sa_mask, s);
    return action;
}

// Gives the terminal its echo back, then lets the signal do what it does by default. Only a stop
// comes back here, when the program is continued: echo goes off again for the rest of the secret.
void handle(int signal)
{
    const int savedErrno = errno;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_before);
    [[maybe_unused]] const ssize_t wrote = ::write(STDERR_FILENO, "\n", 1);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr); // blocked while its handler runs
    ::raise(signal);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_quiet);
    const struct sigaction again = handlerAction();
    ::sigaction(signal, &again, nullptr);
    errno = savedErrno;
}

// Echo off while a secret is typed, and the terminal as it was afterwards, also when a signal
// ends or stops the program meanwhile. Signals that were ignored stay ignored.
class EchoOff {
public:
    EchoOff()
    {
        ::tcgetattr(STDIN_FILENO, &g_before);
        g_quiet = g_before;
        g_quiet.c_lflag &= ~tcflag_t(ECHO);
        const struct sigaction action = handlerAction();
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], nullptr, &m_previous[i]);
            if (m_previous[i].sa_handler != SIG_IGN)
                ::sigaction(kSignals[i], &action, nullptr);
        }
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_quiet);
    }
    ~EchoOff()
    {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_before);
        for (size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    struct sigaction m_previous[std::size(kSignals)]{};
};

} // namespace

ResultWith<QString> TerminalSecrets::read(const QString& prompt)
{
    std::string line;
    bool got = false;
    if (::isatty(STDIN_FILENO) == 1) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        {
            const EchoOff quiet;
            got = readLine(line);
        }
        std::fputs("\n", stderr);
    } else {
        got = readLine(line);
    }
    if (!got)
        return {Result::failure(QStringLiteral("no password was given"))};
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    ResultWith<QString> secret;
    secret.value = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    return secret;
}
