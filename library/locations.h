// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class LibraryFs;

// Where the library folder and the keyword list are.
struct LibraryLocations {
    QString library;     // ends with '/'
    QString keywordFile; // may be missing: then there are no keywords

    // Both in one folder, as in a portable copy of the program.
    static LibraryLocations beside(const QString& folder);
    // The git directory of the library's history: beside the library, never inside it.
    QString historyFolder() const;
    friend bool operator==(const LibraryLocations&, const LibraryLocations&) = default;
};

// The folders the two are looked for in.
struct LocationSearch {
    QString programFolder;        // the executable's folder
    QString userFolder;           // the program's folder in the user's data folder
    QStringList installedFolders; // the program's folder in each system data folder, first wins
};

// The search folders for a program in `programFolder`, from $XDG_DATA_HOME and $XDG_DATA_DIRS
// (with their defaults) and the share/ folder of the prefix the program is installed in.
LocationSearch locationSearch(const QString& programFolder);

// A library beside the program wins, else the user's. The user's own keyword list wins, then the
// one beside the program, then an installed one; with none, the user's (so making it needs no
// restart).
LibraryLocations resolveLocations(const LocationSearch& search, LibraryFs& probe);
