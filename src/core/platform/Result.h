#pragma once
#include <QString>

// The outcome of an operation that can fail: when it failed, why, in words for the user, as the
// system gave the reason.
struct Result {
    bool ok = true;
    QString reason;

    static Result failure(QString why) { return {false, std::move(why)}; }
};

// The same for an operation that gives a value when it succeeds.
template <class T>
struct ResultWith : Result {
    T value{};
};
