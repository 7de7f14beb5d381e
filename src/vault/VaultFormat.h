#pragma once
#include "vault/Entry.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The bytes of data.enc: CR LF lines, each scrambled by the line cipher.
// Line 1 is the master password, then one entry a line as username|||password|||location.
namespace vaultformat {

inline constexpr char kSeparator[] = "|||";

struct Contents {
    QString firstLine;           // deciphered line 1
    std::vector<Entry> entries;  // the entry lines, in file order
    int damagedLines = 0;        // entry lines with fewer than two separators
};

// Reads the whole file: a line ends at CR, one LF right after it is skipped, any other LF
// belongs to the line; empty and single-blank entry lines are skipped.
Contents parse(QByteArrayView bytes);

// Deciphered line 1 only.
QString firstLine(QByteArrayView bytes);

// Splits a deciphered entry line at its first two separators; the rest is the location.
// Returns false when the line has fewer than two separators (missing fields stay empty).
bool splitEntryLine(QStringView line, Entry& entry);

// The three shapes of file the program writes.
QByteArray emptyFile();                                      // CR LF
QByteArray passwordOnly(const QString& master);              // E(master) CR LF
QByteArray fullVault(const QString& master, const std::vector<Entry>& entries);

// What a field must not hold for the file to give it back unchanged; empty when it is fine.
// Username and password may not hold the separator nor end with a bar; no field may hold a
// character outside the code page or one that enciphers to CR.
QString problemWithField(QStringView text, bool isLocation);
QString problemWithPassword(QStringView text);

} // namespace vaultformat
