// SPDX-License-Identifier: MIT
#pragma once

// What several benchmarks need: the large generated library and the process's memory figures.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace BenchSupport {

inline double ms(qint64 ns) {
    return double(ns) / 1e6;
}

// The CPU time the calling thread has used.
inline double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Runs the event loop until `done`, with a 5 ms timer: the longest gap between its ticks, the
// window's thread busy elsewhere for all of it. `sleeping` lets the loop wait for each event
// rather than ask again at once, so that the thread's CPU time is the window's work alone.
inline double longestWait(const std::function<bool()>& done, bool sleeping = false) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    while (!done()) {
        if (sleeping)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return ms(longest);
}

// The large library: 2,000 categories with 5 sub-categories each, one category "Big" of 20,000
// snippets, 100,000 snippets in all.
inline constexpr int Categories = 2000;
inline constexpr int SubsPerCategory = 5;
inline constexpr int BigCategorySnippets = 20000;
inline constexpr int TotalSnippets = 100000;

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// Writes the large library into `library` (which ends with '/'), snippet n holding
// `snippet(n)`; returns the bytes written.
inline qint64 writeLargeLibrary(const QString& library,
                                const std::function<QByteArray(int)>& snippet) {
    qint64 bytes = 0;
    int written = 0;
    auto add = [&](const QString& path) {
        const QByteArray b = snippet(written++);
        bytes += b.size();
        writeFile(path, b);
    };
    QDir().mkpath(library + QStringLiteral("Big"));
    for (int i = 0; i < BigCategorySnippets; ++i)
        add(library + QStringLiteral("Big/snippet %1.code").arg(i, 5, 10, QLatin1Char('0')));
    const int perFolder =
        (TotalSnippets - BigCategorySnippets) / (Categories * (SubsPerCategory + 1)) + 1;
    for (int c = 0; c < Categories && written < TotalSnippets; ++c) {
        const QString cat = library + QStringLiteral("Category %1").arg(c, 4, 10, QLatin1Char('0'));
        QStringList folders{cat};
        for (int s = 0; s < SubsPerCategory; ++s)
            folders.append(cat + QStringLiteral("/Sub %1").arg(s));
        for (const QString& folder : folders) {
            QDir().mkpath(folder);
            for (int n = 0; n < perFolder && written < TotalSnippets; ++n)
                add(folder + QStringLiteral("/s%1.code").arg(n));
        }
    }
    return bytes;
}

// A figure of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Lets the peak resident size start again from the current one.
inline void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Prints the rise of the peak resident size over `work`, and the resident size before it, in KB,
// for a parent process to read.
inline int measurePeak(const std::function<void()>& work) {
    QCoreApplication::processEvents();
    resetPeak();
    const long before = statusKb("VmRSS");
    work();
    std::printf("%ld %ld\n", statusKb("VmHWM") - before, before);
    return 0;
}

} // namespace BenchSupport
