// SPDX-License-Identifier: MIT
#include "app/frmmain.h"
#include "app/language.h"
#include "generated/version.h"
#include "library/libraryfs.h"
#include "library/locations.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillary"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(Version::Major).arg(Version::Minor).arg(Version::Revision));
    // Task bars and Wayland compositors find the icon and name through the menu entry.
    QApplication::setDesktopFileName(QStringLiteral(QUILLARY_APP_ID));
    Language::install(Language::fromDesktop());

    LibraryFs probe(LibraryLocations{});
    const LibraryLocations locations =
        resolveLocations(locationSearch(QCoreApplication::applicationDirPath()), probe);
    frmMain window(locations);
    window.show();
    return app.exec();
}
