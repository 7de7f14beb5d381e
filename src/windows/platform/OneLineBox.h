#pragma once

class QLineEdit;

// Text that the user pastes, drops or types into the box loses its line breaks: a one-line box
// holds one line. Text the program puts there (an entry that already holds a line break) stays
// as it is, and so does what the box held before each edit.
void keepOneLine(QLineEdit* box);
