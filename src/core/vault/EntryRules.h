#pragma once
#include "core/vault/Entry.h"

#include <QString>
#include <QStringView>

// What the data file can hold, in the words the user reads: the editor, the password gate, the
// command line and the import all refuse by these rules.
namespace entryrules {

// What keeps a text out of the file unchanged (a character outside the code page, or one that
// would end the line); empty when it can be stored. Every field and the master password.
QString problemStoringText(QStringView text);

// Username and password may in addition not hold the separator nor end with a bar.
QString problemWithField(QStringView text, bool isLocation);

// What keeps an entry out of the file, in the editor's words; empty when it can be stored: a
// username and a password, and every field storable.
QString problemWithEntry(const Entry& entry);

} // namespace entryrules
