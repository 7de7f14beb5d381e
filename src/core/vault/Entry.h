#pragma once
#include <QString>

// One credential.
struct Entry {
    QString username;
    QString password;
    QString location;

    friend bool operator==(const Entry&, const Entry&) = default;
};
