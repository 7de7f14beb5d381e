#pragma once
#include <QString>

// Whether a location reads as a web address: it holds ".edu", "biz", "org", ".net", ".com"
// or "www" anywhere, case ignored.
bool isWebAddress(QStringView location);

// What Go To opens: the location without the blanks around it; a web address without "http://"
// or "https://" anywhere gets "http://" in front.
QString goToTarget(const QString& location);

// The local path a target stands for: a file: address's path, a path as it is when it starts at
// the top of the disk, else from the home folder; the home folder for nothing. Empty when the
// target is an address of another kind (a web address).
QString localPathOf(const QString& target);

// Whether opening the target could start a program: a local file that may be run (any execute
// permission), a launcher (.desktop) or a file whose kind is a program (executables, libraries,
// scripts, installers, archives that run). Folders and documents are not.
bool startsAProgram(const QString& target);
