#pragma once
#include <QString>

namespace cli {

// An entry's text for a terminal: a data file from elsewhere may hold control characters that
// would move the cursor, retitle the window or answer back. They show as their pictures.
QString shown(const QString& text);

} // namespace cli
