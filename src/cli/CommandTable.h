#pragma once
#include <QStringList>
#include <optional>

// The commands of keyhaven-cli, one row each: the help text and every usage check come from this
// table alone.
namespace cli {

struct Context;

// The options a command may take.
enum Option : unsigned { NoOption = 0, UsernameOption = 1, LocationOption = 2, PasswordOption = 4 };

struct Command {
    const char* name;
    const char* operands; // their names, blank-separated; "" for none
    unsigned options;     // the Options it may take
    unsigned required;    // the Options it must take
    const char* help;
    const char* example;
    bool changesVault; // only these are given the vault to change
    int (*run)(Context&);
};

// What a command line asks for.
struct Request {
    enum class Kind { Help, Command, Bad };
    Kind kind = Kind::Bad;
    QString problem;                  // Bad: why, for the user
    const Command* command = nullptr; // Command: the row, its operands and options
    std::optional<QString> file;
    QStringList operands;
    std::optional<QString> username;
    std::optional<QString> location;
    bool newPassword = false;
};

// The arguments without the program's name.
Request parseCommandLine(const QStringList& arguments);

} // namespace cli
