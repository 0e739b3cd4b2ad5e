// SPDX-License-Identifier: MIT
#include "library/locations.h"

#include "library/libraryfs.h"

#include <QDir>
#include <QStandardPaths>

namespace {
const QString ProgramName = QStringLiteral("quillary");
const QString KeywordFileName = QStringLiteral("wordlist.dat");
} // namespace

LibraryLocations LibraryLocations::beside(const QString& folder) {
    return {LibraryFs::fileInFolder(folder, QStringLiteral("Code/")),
            LibraryFs::fileInFolder(folder, KeywordFileName)};
}

QString LibraryLocations::historyFolder() const {
    return QDir::cleanPath(library + QStringLiteral("/../history.git"));
}

LocationSearch locationSearch(const QString& programFolder) {
    LocationSearch search;
    search.programFolder = programFolder;
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    search.userFolder = LibraryFs::fileInFolder(userData, ProgramName);
    const QStringList system =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString& folder : system) {
        if (folder != userData)
            search.installedFolders.append(LibraryFs::fileInFolder(folder, ProgramName));
    }
    // A prefix outside the system data folders (/opt, a home folder) still finds its own list.
    const QString ownPrefix =
        QDir::cleanPath(programFolder + QStringLiteral("/../share/") + ProgramName);
    if (!search.installedFolders.contains(ownPrefix))
        search.installedFolders.append(ownPrefix);
    return search;
}

LibraryLocations resolveLocations(const LocationSearch& search, LibraryFs& probe) {
    const LibraryLocations portable = LibraryLocations::beside(search.programFolder);
    const LibraryLocations user = LibraryLocations::beside(search.userFolder);
    LibraryLocations found;
    found.library = probe.folderExists(portable.library) ? portable.library : user.library;

    QStringList candidates = {user.keywordFile, portable.keywordFile};
    for (const QString& folder : search.installedFolders)
        candidates.append(LibraryFs::fileInFolder(folder, KeywordFileName));
    found.keywordFile = user.keywordFile;
    for (const QString& candidate : candidates) {
        if (probe.fileExists(candidate)) {
            found.keywordFile = candidate;
            break;
        }
    }
    return found;
}
