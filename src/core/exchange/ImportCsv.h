#pragma once
#include "core/platform/Result.h"
#include "core/vault/Entry.h"

#include <QByteArrayView>
#include <QStringList>
#include <vector>

// Entries from the CSV export of a password keeper, told apart by its header (names matched
// without regard to case, in any column order): this program's own (username, password,
// location), and the exports whose columns are Username, Password and URL (with Group and Title
// besides), login_username, login_password and login_uri, or url, username and password.
namespace importcsv {

// The entries in the file's order; records with nothing in any of the three are left out. Fails
// with one line per record that data.enc cannot hold or the editor would refuse (no username, no
// password: "line N: ..."), when a quoted field is not closed, or when the header is of no known
// kind.
ResultWith<std::vector<Entry>> entries(QByteArrayView csv);

// The header this program writes, and its records.
QStringList header();
QStringList record(const Entry& entry);

} // namespace importcsv
