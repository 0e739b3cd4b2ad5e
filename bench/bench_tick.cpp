// SPDX-License-Identifier: MIT
// The edit-state tick, side by side in one process:
// (1) the idle program's CPU use with a 1 MB snippet open, with the tick running against the
//     same window with the tick stopped;
// (2) one tick with a 10 MB text against one tick with an empty editor.
// Run it with QT_QPA_PLATFORM=offscreen and under a real X server (xvfb-run -a) to see the
// event loop's own wake-ups. Optional argument: seconds per idle run (default 10).

#include "app/frmmain.h"
#include "editor/codeeditor.h"
#include "tests/support/basiccode.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<frmMain> main;

    Window() {
        QFile words(dir.path() + QStringLiteral("/wordlist.dat"));
        if (words.open(QIODevice::WriteOnly))
            words.write(
                "Dim\r\nAs\r\nString\r\nFor\r\nTo\r\nNext\r\nIf\r\nThen\r\nExit\r\nSub\r\n");
    }

    // Opens the snippet the way a user does; the text is set directly where opening is not
    // there to do it.
    void open(const QString& text) {
        QDir().mkpath(dir.path() + QStringLiteral("/Code/Bench"));
        QFile file(dir.path() + QStringLiteral("/Code/Bench/big.code"));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        file.close();
        main = std::make_unique<frmMain>(dir.path(), std::make_unique<ScriptedDialogs>());
        main->show();
        if (QTreeWidgetItem* category = main->nodeByKey(QStringLiteral("Bench"))) {
            ui(*main).tvwFolders->setCurrentItem(category);
            main->tvwFolders_NodeClick(category);
            if (QTreeWidgetItem* entry = ui(*main).lstCode->topLevelItem(0)) {
                ui(*main).lstCode->setCurrentItem(entry);
                main->lstCode_ItemClick();
                while (ui(*main).txtCodeFile->isLoading())
                    QCoreApplication::processEvents();
            }
        }
        if (ui(*main).txtCodeFile->textLength() != text.size()) {
            ui(*main).txtCodeFile->setText(text);
            main->ColorCode();
        }
        ui(*main).txtCodeFile->setFocus();
        main->activateWindow();
        settle();
    }

    static void settle() {
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

// CPU seconds per wall second while the event loop idles for `seconds`.
double idleLoad(double seconds) {
    QElapsedTimer wall;
    const double before = cpuSeconds();
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds() - before;
    return cpu / (double(wall.nsecsElapsed()) / 1e9);
}

// Nanoseconds per tick, the best of several rounds.
double tickCost(frmMain& window, int ticks) {
    double best = 1e300;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < ticks; ++i)
            window.tmrEdit_Timer();
        best = std::min(best, double(timer.nsecsElapsed()) / ticks);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, QByteArray(argv[1]).toDouble()) : 10.0;
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));

    // (1) Idle CPU, tick stopped first, then running, in the same window.
    {
        Window w;
        w.open(QString::fromLatin1(BasicCode::repeatedLines(1 << 20)));
        ui(*w.main).txtCodeFile->setSelectionStart(ui(*w.main).txtCodeFile->textLength() / 2);
        const int interval = ui(*w.main).tmrEdit->interval();
        ui(*w.main).tmrEdit->stop();
        Window::settle();
        const double stopped = idleLoad(seconds);
        // The event loop's own cost of waking at that rate, with nothing to do.
        QTimer bare;
        bare.setInterval(interval);
        QObject::connect(&bare, &QTimer::timeout, [] {});
        bare.start();
        const double bareTimer = idleLoad(seconds);
        bare.stop();
        ui(*w.main).tmrEdit->start();
        Window::settle();
        const double running = idleLoad(seconds);
        std::printf("idle, 1 MB snippet, %.0f s each, tick every %d ms:\n", seconds, interval);
        std::printf("  tick stopped  %6.3f %% of one core\n", stopped * 100);
        std::printf("  empty timer   %6.3f %% of one core (tick stopped, a timer at the same "
                    "rate doing nothing)\n",
                    bareTimer * 100);
        std::printf("  tick running  %6.3f %% of one core\n", running * 100);
        std::printf("  running - stopped = %.3f percentage points (target <= 0.5; total < 1 %%)\n",
                    (running - stopped) * 100);
    }

    // (2) One tick, 10 MB text against an empty editor, in alternating rounds.
    {
        Window empty;
        empty.open(QString());
        Window big;
        big.open(QString::fromLatin1(BasicCode::repeatedLines(10 << 20)));
        ui(*big.main).tmrEdit->stop();
        ui(*empty.main).tmrEdit->stop();
        CodeEditor* editor = ui(*big.main).txtCodeFile;
        editor->setSelectionStart(editor->textLength() - 5);
        editor->setSelectionLength(3);
        const int ticks = 200000;
        double emptyCost = 1e300;
        double bigCost = 1e300;
        for (int i = 0; i < 3; ++i) {
            emptyCost = std::min(emptyCost, tickCost(*empty.main, ticks));
            bigCost = std::min(bigCost, tickCost(*big.main, ticks));
        }
        std::printf("one tick: empty editor %.0f ns, 10 MB text (caret near the end) %.0f ns\n",
                    emptyCost, bigCost);
        std::printf("  10 MB / empty = %.2f (target <= 1.5)\n", bigCost / emptyCost);

        // For reference: a tick right after the caret moved, which asks for line and column.
        Window small;
        small.open(QStringLiteral("ab\ncd\n"));
        ui(*small.main).tmrEdit->stop();
        const int bigEnd = editor->textLength();
        auto movingTick = [](frmMain& window, int a, int b) {
            double best = 1e300;
            for (int round = 0; round < 7; ++round) {
                QElapsedTimer timer;
                timer.start();
                for (int i = 0; i < 20000; ++i) {
                    ui(window).txtCodeFile->setSelectionStart(i % 2 ? a : b);
                    window.tmrEdit_Timer();
                }
                best = std::min(best, double(timer.nsecsElapsed()) / 20000);
            }
            return best;
        };
        const double smallMove = movingTick(*small.main, 1, 4);
        const double bigMove = movingTick(*big.main, bigEnd - 40, bigEnd - 2);
        std::printf("caret move + tick: 2-line text %.0f ns, 10 MB text %.0f ns, ratio %.2f "
                    "(reference only)\n",
                    smallMove, bigMove, bigMove / smallMove);
    }
    return 0;
}
