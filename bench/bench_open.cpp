// SPDX-License-Identifier: MIT
// Opening large snippets in the main window against a bare QPlainTextEdit given the same text,
// side by side in one process: the time until the text is shown, the longest stretch the event
// loop is not served while a 50 MB snippet or a 100 MB single line opens (beside an idle event
// loop's longest, the floor the machine's load sets, and the most CPU time the window's thread
// spent on one event), how soon a click on another snippet shows it while the 50 MB one loads, and
// the peak memory of opening and colouring (each case in a child process of its own), and a screen
// reader's question about a line, short or split for display, and the window's longest step while
// it lets go of a 50 MB snippet. `--only gap|switch|reader|dispose` runs one part. Run with
// QT_QPA_PLATFORM=offscreen where there is no display.

#include "app/frmmain.h"
#include "bench/benchapplication.h"
#include "bench/benchsupport.h"
#include "editor/codeeditor.h"
#include "tests/support/basiccode.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"

#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <utility>

namespace {
using BenchSupport::measurePeak;

// The same benchmark builds against code that loads in one go, where there is nothing to wait for.
template <typename Editor> bool stillLoading(const Editor* editor) {
    if constexpr (requires { editor->isLoading(); })
        return editor->isLoading();
    else
        return false;
}

double ms(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// The longest gap in the event loop while it has nothing else to do for `span` ms: what the
// machine's own load costs, the floor of any gap measured beside it.
double idleLongestGap(int span) {
    QElapsedTimer clock;
    clock.start();
    return BenchSupport::longestWait([&] { return clock.elapsed() >= span; });
}

using BenchSupport::Application;
using BenchSupport::threadCpuMs;

// Focus, a caret move and the paint after it, as when the user first clicks into shown text:
// Qt goes over the caret's line once after every change of it.
double firstTouch(QPlainTextEdit* editor) {
    QElapsedTimer timer;
    timer.start();
    QApplication::setActiveWindow(editor->window());
    editor->setFocus(Qt::MouseFocusReason);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &right);
    QCoreApplication::processEvents();
    editor->viewport()->repaint();
    return ms(timer);
}

struct Snippet {
    const char* name;
    const char* what;
    QByteArray bytes;
};

struct Bench {
    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;
    std::unique_ptr<QPlainTextEdit> plain;
    QList<Snippet> snippets;

    CodeEditor* editor() const { return ui(*window).txtCodeFile; }

    void setUp(bool withFifty, bool withHundred) {
        const QString program = dir.path();
        QDir().mkpath(program + QStringLiteral("/Code/Bench"));
        QFile shipped(QCoreApplication::applicationDirPath() + QStringLiteral("/../wordlist.dat"));
        QFile list(program + QStringLiteral("/wordlist.dat"));
        if (shipped.open(QIODevice::ReadOnly) && list.open(QIODevice::WriteOnly))
            list.write(shipped.readAll());
        list.close();
        QByteArray line = BasicCode::basicCode(10 << 20, 4).toUtf8();
        line.replace('\n', ' ');
        snippets = {{"small", "open 4 KB", BasicCode::basicCode(4 << 10, 5).toUtf8()},
                    {"one", "open 1 MB", BasicCode::basicCode(1 << 20, 1).toUtf8()},
                    {"ten", "open 10 MB", BasicCode::basicCode(10 << 20, 2).toUtf8()},
                    {"line", "open 10 MB single line", line}};
        if (withFifty)
            snippets.append({"fifty", "open 50 MB", BasicCode::basicCode(50 << 20, 3).toUtf8()});
        if (withHundred) {
            QByteArray longLine = BasicCode::repeatedLines(100 << 20);
            longLine.replace('\n', ' ');
            snippets.append({"hundred", "open 100 MB single line", longLine});
        }
        for (const Snippet& s : snippets) {
            QFile file(program + QStringLiteral("/Code/Bench/%1.code").arg(QLatin1String(s.name)));
            if (file.open(QIODevice::WriteOnly))
                file.write(s.bytes);
        }
        window = std::make_unique<frmMain>(program, std::make_unique<ScriptedDialogs>());
        window->resize(1000, 800);
        window->show();
        QCoreApplication::processEvents();
        ui(*window).tvwFolders->setCurrentItem(window->nodeByKey(QStringLiteral("Bench")));
        QCoreApplication::processEvents();

        plain = std::make_unique<QPlainTextEdit>();
        plain->setFont(CodeEditor::codeFont());
        plain->setLineWrapMode(QPlainTextEdit::NoWrap);
        plain->resize(editor()->size());
        plain->show();
        QCoreApplication::processEvents();
    }

    void select(const char* name) {
        const QSignalBlocker quiet(ui(*window).lstCode);
        ui(*window).lstCode->clearSelection();
        ui(*window).lstCode->setCurrentItem(entry(name));
    }

    QTreeWidgetItem* entry(const char* name) const {
        for (int i = 0; i < ui(*window).lstCode->topLevelItemCount(); ++i)
            if (ui(*window).lstCode->topLevelItem(i)->text(0) == QLatin1String(name))
                return ui(*window).lstCode->topLevelItem(i);
        return nullptr;
    }

    // As a click on the entry does: select it, which opens it; wait for the text; paint.
    void open(const char* name) {
        select(name);
        window->lstCode_ItemClick();
        while (stillLoading(editor()))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        editor()->viewport()->repaint();
    }

    void openPlain(const QString& text) {
        plain->setPlainText(text);
        plain->viewport()->repaint();
    }

    // Empties both, and lets the window delete what it let go of before anything is measured.
    void clear() {
        select("");
        editor()->setText(QString());
        plain->clear();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    // Opening is measured here; the search index's own memory and time are bench_find's.
    frmMain::setIndexingAtStart(false);
    const QString mode = argc > 2 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QByteArray which = argc > 2 ? QByteArray(argv[2]) : QByteArray();

    Bench b;
    const bool all = mode.isEmpty();
    const bool onlyPart = mode == QLatin1String("--only");
    b.setUp(all || which == "fifty" || (onlyPart && which != "open" && which != "reader"),
            all || (onlyPart && which == "gap"));
    if (mode == QLatin1String("--peak-window")) {
        return measurePeak([&] {
            b.open(which.constData());
            b.window->ColorCode();
            b.editor()->viewport()->repaint();
        });
    }
    if (mode == QLatin1String("--peak-plain")) {
        // As the window does: read the file and decode it, then show it.
        QFile file(b.dir.path() + QStringLiteral("/Code/Bench/%1.code").arg(QLatin1String(which)));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        return measurePeak([&] { b.openPlain(QString::fromUtf8(file.readAll())); });
    }

    const QByteArray only = mode == QLatin1String("--only") ? which : QByteArray();
    const auto runs = [&only](const char* part) { return only.isEmpty() || only == part; };

    std::printf("ratio = window / bare QPlainTextEdit (setPlainText + first paint; for memory, "
                "reading and decoding the file too); "
                "best of the rounds shown\n\n");
    if (runs("open")) {
        std::printf("%-28s %10s %10s %7s %7s\n", "measure", "window ms", "bare ms", "ratio",
                    "rounds");
        for (const Snippet& s : b.snippets) {
            // The 100 MB line is measured by its gaps alone: twice is enough.
            if (s.bytes.size() > (60 << 20))
                continue;
            const int rounds = s.bytes.size() > (20 << 20) ? 2 : 3;
            const QString text = QString::fromUtf8(s.bytes);
            double window = 1e100, bare = 1e100;
            for (int i = 0; i < rounds; ++i) {
                b.clear();
                QElapsedTimer timer;
                timer.start();
                b.open(s.name);
                window = std::min(window, ms(timer));
                b.clear();
                timer.start();
                b.openPlain(text);
                bare = std::min(bare, ms(timer));
            }
            std::printf("%-28s %10.0f %10.0f %7.2f %7d\n", s.what, window, bare, window / bare,
                        rounds);
        }
    }

    // The event loop while a long snippet opens, up to its first paint; the open is started from
    // the event loop, as a click is. The bare widget answers nothing while it takes the same text.
    // The idle loop's longest gap and longest event: the floor of what is measured after it.
    const auto idleFloor = [&app](int span) {
        app.longestEventMs = 0;
        const double gap = idleLongestGap(span);
        const double event = app.longestEventMs;
        app.longestEventMs = 0;
        return std::pair{gap, event};
    };
    for (const Snippet& s : b.snippets) {
        if (!runs("gap") || s.bytes.size() < (50 << 20))
            continue;
        b.clear();
        const std::pair<double, double> quiet = idleFloor(5000);
        const double idle = quiet.first;
        const double idleEvent = quiet.second;
        QElapsedTimer total;
        QTimer::singleShot(0, [&] {
            total.start();
            b.select(s.name);
            b.window->lstCode_ItemClick();
        });
        const double longest = BenchSupport::longestWait([&] {
            if (!total.isValid() || stillLoading(b.editor()))
                return false;
            b.editor()->viewport()->repaint();
            return true;
        });
        const double opened = ms(total);
        const double longestEvent = app.longestEventMs;
        const double touched = firstTouch(b.editor());
        const QString text = QString::fromUtf8(s.bytes);
        if (b.editor()->text() != text)
            std::printf("\n%s: the window shows other text\n", s.what);
        b.clear();
        QElapsedTimer bare;
        bare.start();
        b.openPlain(text);
        const double bareMs = ms(bare);
        const double bareTouched = firstTouch(b.plain.get());
        std::printf("\nlongest gap in the event loop while %s: %.0f ms (open took %.0f ms); "
                    "bare widget, answering nothing meanwhile: %.0f ms; ratio %.3f\n"
                    "the idle event loop's longest gap over 5 s just before: %.0f ms\n",
                    s.what, longest, opened, bareMs, longest / bareMs, idle);
        std::printf("the most the window's thread spent on one event meanwhile, in its own CPU "
                    "time: %.1f ms; idle: %.1f ms\n",
                    longestEvent, idleEvent);
        std::printf("then the first focus, Right key and paint: %.0f ms; bare widget: %.0f ms; "
                    "ratio %.2f\n",
                    touched, bareTouched, touched / bareTouched);
    }

    // A click on another snippet while the 50 MB one is loading, and once it has loaded: from
    // the click until the clicked snippet is shown, against opening it with the editor empty.
    if (runs("switch") && b.entry("fifty")) {
        const auto percentLoaded = [&b] {
            const QString panel = ui(*b.window).statusPanels[0]->text();
            return panel.startsWith(QLatin1String("Loading: "))
                       ? panel.mid(9).chopped(1).toInt()
                       : (stillLoading(b.editor()) ? 0 : 100);
        };
        double alone = 1e100, whileReading = 1e100, whileLoading = 1e100, afterLoading = 1e100;
        for (int i = 0; i < 3; ++i) {
            b.clear();
            QElapsedTimer timer;
            timer.start();
            b.open("small");
            alone = std::min(alone, ms(timer));
        }
        for (int i = 0; i < 2; ++i) {
            // The second click comes 10 ms after the first, while the file is being read: it is
            // timed from when it was made, however long the window takes to get to it.
            b.clear();
            double shownAt = -1;
            QElapsedTimer since;
            since.start();
            QTimer::singleShot(0, [&b] {
                b.select("fifty");
                b.window->lstCode_ItemClick();
            });
            QTimer::singleShot(10, [&] {
                b.open("small");
                shownAt = ms(since);
            });
            while (shownAt < 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            whileReading = std::min(whileReading, shownAt - 10);

            b.clear();
            b.select("fifty");
            b.window->lstCode_ItemClick();
            while (stillLoading(b.editor()) && percentLoaded() < 50)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QElapsedTimer timer;
            timer.start();
            b.open("small");
            whileLoading = std::min(whileLoading, ms(timer));
            b.open("fifty");
            timer.start();
            b.open("small");
            afterLoading = std::min(afterLoading, ms(timer));
        }
        std::printf("\n%-44s %10s %10s %7s\n", "click on a 4 KB snippet, click to shown", "ms",
                    "alone ms", "ratio");
        std::printf("%-44s %10.0f %10.1f %7.1f\n", "while 50 MB is being read", whileReading, alone,
                    whileReading / alone);
        std::printf("%-44s %10.0f %10.1f %7.1f\n", "while 50 MB is half loaded", whileLoading,
                    alone, whileLoading / alone);
        std::printf("%-44s %10.0f %10.1f %7.1f\n", "after 50 MB has loaded", afterLoading, alone,
                    afterLoading / alone);
    }

    // A click on a 4 KB snippet while the 50 MB one is shown: the long text's document is let go
    // of and deleted a moment later. The longest the window's thread is held over the second
    // after the click, against the bare widget given the 4 KB text in place of the 50 MB one,
    // which empties its document in that one step.
    if (runs("dispose") && b.entry("fifty")) {
        const auto textOf = [&b](const char* name) {
            for (const Snippet& s : b.snippets)
                if (QByteArray(s.name) == name)
                    return QString::fromUtf8(s.bytes);
            return QString();
        };
        const QString fifty = textOf("fifty");
        const QString small = textOf("small");
        b.clear();
        b.open("fifty");
        QCoreApplication::processEvents();
        const std::pair<double, double> quiet = idleFloor(1000);
        const double idle = quiet.first;
        const double idleEvent = quiet.second;
        QElapsedTimer since;
        QTimer::singleShot(0, [&] {
            since.start();
            b.open("small");
        });
        const double longest =
            BenchSupport::longestWait([&] { return since.isValid() && since.elapsed() >= 1000; });
        const double longestEvent = app.longestEventMs;
        b.clear();
        b.openPlain(fifty);
        QElapsedTimer bare;
        bare.start();
        b.openPlain(small);
        const double bareMs = ms(bare);
        std::printf("\nlongest gap in the event loop over the second after a click on a 4 KB "
                    "snippet while 50 MB is shown: %.0f ms; bare widget given the 4 KB text in "
                    "its place: %.0f ms; ratio %.3f\n"
                    "the idle event loop's longest gap over 1 s just before: %.0f ms\n",
                    longest, bareMs, longest / bareMs, idle);
        std::printf("the most the window's thread spent on one event meanwhile, in its own CPU "
                    "time: %.1f ms; idle: %.1f ms\n",
                    longestEvent, idleEvent);
    }

    // What a screen reader asks at each caret move: the line at an offset in the middle of the
    // 10 MB snippet, against Qt's own answer, which copies the whole text each time.
    // On the 10 MB single line, shown split, Qt's own answer is the display line's.
    if (runs("reader") && b.entry("ten")) {
        std::printf("\n%-44s %10s %10s %7s\n", "screen reader: the line at an offset", "ms",
                    "Qt's ms", "ratio");
        for (const char* name : {"ten", "line"}) {
            b.clear();
            b.open(name);
            QAccessibleTextInterface* reader =
                QAccessible::queryAccessibleInterface(b.editor())->textInterface();
            const int middle = reader->characterCount() / 2;
            double ours = 1e100, qts = 1e100;
            QString line, qtLine;
            for (int i = 0; i < 5; ++i) {
                int start = 0, end = 0;
                QElapsedTimer timer;
                timer.start();
                line = reader->textAtOffset(middle, QAccessible::LineBoundary, &start, &end);
                ours = std::min(ours, ms(timer));
                timer.start();
                qtLine = reader->QAccessibleTextInterface::textAtOffset(
                    middle, QAccessible::LineBoundary, &start, &end);
                qts = std::min(qts, ms(timer));
            }
            std::printf("%-44s %10.3f %10.1f %7.4f%s\n",
                        name == QByteArray("ten") ? "10 MB snippet, middle line"
                                                  : "10 MB single line, middle stretch",
                        ours, qts, ours / qts, line == qtLine ? "" : "  (answers differ)");
        }
    }

    if (!only.isEmpty())
        return 0;
    // Peak memory, each case in a process of its own so that freed memory is not reused.
    std::printf("\n%-44s %10s %10s %7s\n", "peak memory above the start", "window MB", "bare MB",
                "ratio");
    for (const char* name : {"ten", "fifty"}) {
        double above[2] = {0, 0};
        const char* modes[2] = {"--peak-window", "--peak-plain"};
        for (int m = 0; m < 2; ++m) {
            QProcess self;
            self.start(QCoreApplication::applicationFilePath(),
                       {QLatin1String(modes[m]), QLatin1String(name)});
            self.waitForFinished(-1);
            const QList<QByteArray> kb = self.readAllStandardOutput().trimmed().split(' ');
            above[m] = kb.size() == 2 ? kb[0].toDouble() / 1024 : -1;
        }
        const double mb = name == QByteArray("ten") ? 10 : 50;
        std::printf("open and colour %-28s %10.0f %10.0f %7.2f   (%.1fx / %.1fx the file)\n",
                    name == QByteArray("ten") ? "10 MB" : "50 MB", above[0], above[1],
                    above[0] / above[1], above[0] / mb, above[1] / mb);
    }
    return 0;
}
