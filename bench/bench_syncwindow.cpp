// SPDX-License-Identifier: MIT
// The window's event loop while the history syncs the large library (100,000 snippets): the
// longest wait between two turns of the loop during a sync, against the same window idle for
// as long. Two syncs: the first push of the whole history, and one change on each side.
#include "app/frmmain.h"
#include "bench/benchsupport.h"
#include "history/history.h"
#include "history/syncsettings.h"
#include "library/libraryfs.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

using BenchSupport::longestWait;
using BenchSupport::ms;

constexpr int Wait = 1800000;

void measure(const char* what, frmMain& window) {
    QSignalSpy ended(window.history(), &History::synced);
    QElapsedTimer timer;
    timer.start();
    window.SyncNow();
    const double during = longestWait([&] { return ended.count() > 0; });
    const qint64 took = timer.elapsed();
    QCoreApplication::processEvents();
    QElapsedTimer idle;
    idle.start();
    const double baseline = longestWait([&] { return idle.elapsed() >= took; });
    std::printf("%s: %.2f s; longest wait of the event loop %.1f ms, idle for as long %.1f ms "
                "(%.2fx)\n",
                what, double(took) / 1000, during, baseline, during / baseline);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QTemporaryDir here;
    QTemporaryDir there;
    QTemporaryDir remote;
    const QString library = here.filePath(QStringLiteral("Code/"));
    BenchSupport::writeLargeLibrary(library, [](int n) {
        return "Sub Snippet" + QByteArray::number(n) +
               "()\r\n    Print \"x\" ' note\r\nEnd Sub\r\n";
    });
    QProcess::execute(QStringLiteral("git"), {QStringLiteral("init"), QStringLiteral("-q"),
                                              QStringLiteral("--bare"), remote.path()});
    SyncSettings settings;
    settings.remote = remote.path();
    settings.save();

    frmMain window(here.path(), std::make_unique<ScriptedDialogs>());
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    if (!window.history() || !window.history()->waitForIdle(Wait)) {
        std::printf("the history never started\n");
        return 1;
    }
    measure("first sync, the whole history sent", window);

    // The other machine takes the library, then each side changes one snippet.
    {
        const QString otherLibrary = there.filePath(QStringLiteral("Code/"));
        QDir().mkpath(otherLibrary);
        { History made(otherLibrary, there.filePath(QStringLiteral("history.git"))); }
        LibraryFs fs(LibraryLocations{otherLibrary, {}});
        const std::atomic<bool> cancel = false;
        LibrarySync(there.filePath(QStringLiteral("history.git")), fs).run(remote.path(), cancel);
        BenchSupport::writeFile(otherLibrary + QStringLiteral("Big/snippet 00001.code"), "there");
        {
            History history(otherLibrary, there.filePath(QStringLiteral("history.git")));
            history.waitForIdle(Wait);
        }
        const SyncOutcome sent = LibrarySync(there.filePath(QStringLiteral("history.git")), fs)
                                     .run(remote.path(), cancel);
        if (!sent.ok()) {
            std::printf("the other machine could not sync: %s\n", qPrintable(sent.failure));
            return 1;
        }
    }
    BenchSupport::writeFile(library + QStringLiteral("Big/snippet 00002.code"), "here");
    measure("one change on each side", window);
    return 0;
}
