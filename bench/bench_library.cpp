// SPDX-License-Identifier: MIT
// A large library: 2,000 categories with 5 sub-categories each, 100,000 snippets in all, one
// category holding 20,000. Start-up is compared with start-up over an empty library, filling
// the big category's list with a raw QDir listing of the same folder, and the longest handler
// is reported. Run from anywhere; the library is generated once under /tmp and reused.
#include "app/frmmain.h"
#include "bench/benchsupport.h"
#include "editor/codeeditor.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
using BenchSupport::BigCategorySnippets;
using BenchSupport::writeFile;

QString generateLibrary() {
    const QString root = QStringLiteral("/tmp/quillary-bench-library");
    const QString done = root + QStringLiteral("/complete");
    if (QFile::exists(done))
        return root;
    QDir(root).removeRecursively();
    const QString lib = root + QStringLiteral("/Code/");
    QDir().mkpath(lib);
    const QByteArray snippet = "Dim i As Integer\nFor i = 1 To 10\n    Print i ' count\nNext i\n";
    BenchSupport::writeLargeLibrary(lib, [&snippet](int) { return snippet; });
    writeFile(done, "");
    std::printf("generated %d snippets\n", BenchSupport::TotalSnippets);
    return root;
}

double best(int runs, const std::function<double()>& once) {
    double result = 1e300;
    for (int i = 0; i < runs; ++i)
        result = std::min(result, once());
    return result;
}

double startUpMs(const QString& programFolder) {
    QElapsedTimer timer;
    timer.start();
    frmMain window(programFolder, std::make_unique<ScriptedDialogs>());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("window not exposed\n");
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

double timedMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}
} // namespace

// The program's start-up as a user sees it: a fresh process until the window is shown with its
// tree filled.
double processStartUpMs(const QString& self, const QString& programFolder) {
    QElapsedTimer timer;
    timer.start();
    QProcess child;
    child.start(self, {QStringLiteral("--start-up"), programFolder});
    child.waitForFinished(-1);
    if (child.exitCode() != 0)
        std::printf("start-up child failed\n");
    return double(timer.nsecsElapsed()) / 1e6;
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--start-up") {
        frmMain window(QString::fromLocal8Bit(argv[2]), std::make_unique<ScriptedDialogs>());
        window.show();
        const bool exposed = QTest::qWaitForWindowExposed(&window);
        QCoreApplication::processEvents();
        return exposed ? 0 : 1;
    }
    const QString big = generateLibrary();
    QTemporaryDir empty;

    // Warm the file-system cache and the font machinery before measuring.
    startUpMs(big);
    startUpMs(empty.path());

    const double emptyStart = best(3, [&] { return startUpMs(empty.path()); });
    const double bigStart = best(3, [&] { return startUpMs(big); });
    const QString self = QCoreApplication::applicationFilePath();
    const double emptyProcess = best(5, [&] { return processStartUpMs(self, empty.path()); });
    const double bigProcess = best(5, [&] { return processStartUpMs(self, big); });

    frmMain window(big, std::make_unique<ScriptedDialogs>());
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    QTreeWidgetItem* bigNode = window.nodeByKey(QStringLiteral("Big"));
    QTreeWidgetItem* smallNode = window.nodeByKey(QStringLiteral("Category 1000"));
    if (!bigNode || !smallNode) {
        std::printf("library nodes missing\n");
        return 1;
    }
    const QString bigFolder = window.folderOfNode(bigNode);
    const double rawList = best(3, [&] {
        return timedMs([&] {
            const QStringList names = QDir(bigFolder).entryList(QDir::Files);
            if (names.size() != BigCategorySnippets)
                std::printf("raw listing found %d\n", int(names.size()));
        });
    });
    double fillList = 0;
    double longest = 0;
    QString longestName;
    auto handler = [&](const QString& name, const std::function<void()>& work) {
        const double ms = best(3, [&] {
            return timedMs([&] {
                work();
                QCoreApplication::processEvents();
            });
        });
        std::printf("  %-44s %8.1f ms\n", qPrintable(name), ms);
        if (ms > longest) {
            longest = ms;
            longestName = name;
        }
        return ms;
    };
    std::printf("handlers over the large library:\n");
    fillList = handler(QStringLiteral("click the 20,000-snippet category"), [&] {
        ui(window).tvwFolders->setCurrentItem(bigNode);
        window.tvwFolders_NodeClick(bigNode);
    });
    if (ui(window).lstCode->topLevelItemCount() != BigCategorySnippets)
        std::printf("list holds %d entries\n", ui(window).lstCode->topLevelItemCount());
    handler(QStringLiteral("open a snippet of it"), [&] {
        ui(window).lstCode->setCurrentItem(ui(window).lstCode->topLevelItem(12345));
        window.lstCode_ItemClick();
    });
    handler(QStringLiteral("click a small category"), [&] {
        ui(window).tvwFolders->setCurrentItem(smallNode);
        window.tvwFolders_NodeClick(smallNode);
    });
    handler(QStringLiteral("colour the open snippet"), [&] { window.ColorCode(); });

    std::printf("\n%-44s %10s %10s %8s %8s\n", "measure", "ours ms", "base ms", "ratio", "target");
    std::printf("%-44s %10.1f %10.1f %8.2f %8s\n", "start-up (process) vs empty library",
                bigProcess, emptyProcess, bigProcess / emptyProcess, "<= 3");
    std::printf("%-44s %10.1f %10.1f %8.2f %8s\n", "window only (in process) vs empty", bigStart,
                emptyStart, bigStart / emptyStart, "");
    std::printf("%-44s %10.1f %10.1f %8.2f %8s\n", "fill 20,000-entry list vs raw QDir", fillList,
                rawList, fillList / rawList, "<= 10");
    std::printf("%-44s %10.1f %10s %8s %8s\n",
                qPrintable(QStringLiteral("longest handler: ") + longestName), longest, "", "",
                "<= 100");
    return 0;
}
