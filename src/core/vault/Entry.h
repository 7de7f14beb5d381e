#pragma once
#include <QString>

// One credential.
struct Entry {
    QString username;
    QString password;
    QString location;

    friend bool operator==(const Entry&, const Entry&) = default;
};

// The password state of a run.
struct PasswordState {
    QString sessionPassword; // set when the gate creates or accepts a password
    QString storedPassword;  // line 1 of the file as read at start-up
    bool createMode = false; // line 1 was empty: first use
};
