// SPDX-License-Identifier: MIT
// The sync over the large library (100,000 snippets), each figure beside git's command line
// doing the same on copies of the same repositories, in the same process: a sync with one change
// on each side against `git fetch` + `git merge` + `git push`; the first push of the whole
// history to an empty bare repository against `git push`.
#include "bench/benchsupport.h"
#include "history/history.h"
#include "history/sync.h"
#include "library/libraryfs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

const QString Root = QStringLiteral("/tmp/quillary-bench-sync");
const QString Start = Root + QStringLiteral("/start");
const QString Work = Root + QStringLiteral("/work");

QByteArray quoted(const QString& path) {
    return '\'' + QFile::encodeName(path) + '\'';
}

bool shell(const QByteArray& command) {
    const bool ok = std::system((command + " >/dev/null 2>&1").constData()) == 0;
    if (!ok)
        std::printf("failed: %s\n", command.constData());
    return ok;
}

QByteArray git(const QString& side) {
    return "git -c user.name=bench -c user.email=bench@quillary --git-dir=" +
           quoted(side + QStringLiteral("/history.git")) +
           " --work-tree=" + quoted(side + QStringLiteral("/Code"));
}

double ms(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Changes one snippet on a side and lets its history record it.
void change(const QString& side, const QString& path, const QByteArray& bytes) {
    BenchSupport::writeFile(side + QStringLiteral("/Code/") + path, bytes);
    History history(side + QStringLiteral("/Code/"), side + QStringLiteral("/history.git"));
    (void)history.waitForIdle(600000);
    history.noticeOutsideChanges();
    (void)history.waitForIdle(600000);
}

SyncOutcome sync(const QString& side, const QString& remote) {
    LibraryFs fs(LibraryLocations{side + QStringLiteral("/Code/"), {}});
    LibrarySync syncing(side + QStringLiteral("/history.git"), fs);
    const std::atomic<bool> cancel = false;
    return syncing.run(remote, cancel);
}

QString fileUrl(const QString& path) {
    return QStringLiteral("file://") + path;
}

// The first push of the whole history to an empty bare repository.
void firstPush(const QString& a) {
    std::vector<double> syncPush;
    std::vector<double> gitPush;
    for (int run = 0; run < 3; ++run) {
        const QString bare = Root + QStringLiteral("/first%1.git").arg(run);
        const QString gitBare = Root + QStringLiteral("/first-git%1.git").arg(run);
        shell("git init -q --bare " + quoted(bare) + " && git init -q --bare " + quoted(gitBare));
        QElapsedTimer timer;
        timer.start();
        shell(git(a) + " push -q " + quoted(fileUrl(gitBare)) + " main:main");
        gitPush.push_back(ms(timer));
        timer.start();
        const SyncOutcome pushed = sync(a, fileUrl(bare));
        syncPush.push_back(ms(timer));
        if (!pushed.ok())
            std::printf("sync failed: %s\n", qPrintable(pushed.failure));
        QDir(bare).removeRecursively();
        QDir(gitBare).removeRecursively();
    }
    std::printf("first push:        %9.0f ms   git push %7.0f ms   ratio %.2f\n", median(syncPush),
                median(gitPush), median(syncPush) / median(gitPush));
}

// Resident memory of this process, in MB.
double residentMb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return double(fields.value(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// Syncs with nothing to do, again and again, as a clock every few minutes would all day: what
// the process holds after 500 beside after 10, with 30 aliases in the user's git settings.
void memoryOverSyncs() {
    const QString side = Root + QStringLiteral("/memory");
    const QString home = Root + QStringLiteral("/home");
    QDir().mkpath(side + QStringLiteral("/Code/S"));
    QDir().mkpath(home);
    QByteArray aliases = "[alias]\n";
    for (int i = 0; i < 30; ++i)
        aliases +=
            "    a" + QByteArray::number(i) + " = log --oneline -" + QByteArray::number(i) + "\n";
    BenchSupport::writeFile(home + QStringLiteral("/.gitconfig"), aliases);
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    for (int i = 0; i < 10; ++i)
        BenchSupport::writeFile(side + QStringLiteral("/Code/S/s%1.code").arg(i), "text\r\n");
    change(side, QStringLiteral("S/s0.code"), "first\r\n");
    const QString remote = Root + QStringLiteral("/memory.git");
    shell("git init -q --bare " + quoted(remote));
    double afterTen = 0;
    QElapsedTimer timer;
    timer.start();
    for (int run = 1; run <= 500; ++run) {
        if (!sync(side, fileUrl(remote)).ok())
            std::printf("sync %d failed\n", run);
        if (run == 10)
            afterTen = residentMb();
    }
    const double afterAll = residentMb();
    std::printf("memory: %.1f MB after 10 syncs, %.1f MB after 500 (grew %.1f MB); %.1f ms a "
                "sync with nothing to do\n",
                afterTen, afterAll, afterAll - afterTen, ms(timer) / 500);
    qputenv("HOME", oldHome);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QDir(Root).removeRecursively();
    const bool onlyFirstPush = qEnvironmentVariableIsSet("QUILLARY_BENCH_ONLY_FIRST_PUSH");
    if (!onlyFirstPush)
        memoryOverSyncs();
    if (qEnvironmentVariableIsSet("QUILLARY_BENCH_ONLY_MEMORY"))
        return 0;
    const QString a = Start + QStringLiteral("/a");
    const QString b = Start + QStringLiteral("/b");
    const QString remote = Start + QStringLiteral("/remote.git");
    QDir().mkpath(a + QStringLiteral("/Code"));
    BenchSupport::writeLargeLibrary(a + QStringLiteral("/Code/"), [](int n) {
        QByteArray text = "Sub Snippet" + QByteArray::number(n) + "()\r\n";
        for (int line = 0; line < 6; ++line)
            text += "    Print \"line " + QByteArray::number(line * n) + "\" ' note\r\n";
        return text + "End Sub\r\n";
    });
    change(a, QStringLiteral("Big/snippet 00000.code"), "first\r\n");

    if (!qEnvironmentVariableIsSet("QUILLARY_BENCH_SKIP_FIRST_PUSH"))
        firstPush(a);
    if (onlyFirstPush) {
        QDir(Root).removeRecursively();
        return 0;
    }

    // One change on each side: B's reaches the remote first, then A syncs. Each run works on
    // copies of A's history and of the remote; the library itself is shared, the one file the
    // merge writes put back after each.
    const QString theirs = QStringLiteral("Category 0007/Sub 2/s3.code");
    QFile original(a + QStringLiteral("/Code/") + theirs);
    (void)original.open(QIODevice::ReadOnly);
    const QByteArray originalBytes = original.readAll();
    original.close();
    shell("git init -q --bare " + quoted(remote));
    (void)sync(a, remote);
    shell("cp -a " + quoted(a) + ' ' + quoted(b));
    shell(git(b) + " config core.worktree " + quoted(b + QStringLiteral("/Code")));
    change(b, theirs, "theirs\r\n");
    if (!sync(b, remote).ok())
        std::printf("B's sync failed\n");
    QDir(b).removeRecursively();
    change(a, QStringLiteral("Category 1500/s1.code"), "mine\r\n");
    shell(git(a) + " update-index -q --refresh");

    std::vector<double> syncOnce;
    std::vector<double> gitOnce;
    QDir().mkpath(Work);
    for (int run = 0; run < 6; ++run) {
        const QString history = Work + QStringLiteral("/history%1.git").arg(run);
        const QString copy = Work + QStringLiteral("/remote%1.git").arg(run);
        shell("cp -a " + quoted(a + QStringLiteral("/history.git")) + ' ' + quoted(history) +
              " && cp -a " + quoted(remote) + ' ' + quoted(copy) + " && git config --file " +
              quoted(history + QStringLiteral("/config")) + " core.worktree " +
              quoted(a + QStringLiteral("/Code")));
        QElapsedTimer timer;
        timer.start();
        if (run % 2 == 0) {
            LibraryFs fs(LibraryLocations{a + QStringLiteral("/Code/"), {}});
            LibrarySync syncing(history, fs);
            const std::atomic<bool> cancel = false;
            const SyncOutcome synced = syncing.run(fileUrl(copy), cancel);
            syncOnce.push_back(ms(timer));
            if (!synced.ok() || synced.written.size() != 1)
                std::printf("sync: %s, %lld written\n", qPrintable(synced.failure),
                            qlonglong(synced.written.size()));
        } else {
            const QByteArray command = "git -c user.name=bench -c user.email=bench@quillary "
                                       "--git-dir=" +
                                       quoted(history) +
                                       " --work-tree=" + quoted(a + QStringLiteral("/Code"));
            shell(command + " fetch -q " + quoted(fileUrl(copy)) + " main && " + command +
                  " merge -q --no-edit FETCH_HEAD && " + command + " push -q " +
                  quoted(fileUrl(copy)) + " main:main");
            gitOnce.push_back(ms(timer));
        }
        BenchSupport::writeFile(a + QStringLiteral("/Code/") + theirs, originalBytes);
        QDir(history).removeRecursively();
        QDir(copy).removeRecursively();
    }
    std::printf("one change a side: %9.0f ms   git fetch + merge + push %7.0f ms   ratio %.2f\n",
                median(syncOnce), median(gitOnce), median(syncOnce) / median(gitOnce));
    QDir(Root).removeRecursively();
    return 0;
}
