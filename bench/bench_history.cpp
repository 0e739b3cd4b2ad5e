// SPDX-License-Identifier: MIT
// The history over the large library (100,000 snippets), each figure beside its baseline:
// the first recording against reading every file once; a command's commit against the save it
// records; start-up with the history against start-up without; a snippet's version list with
// 10,000 commits against `git log` asking the same; the repository's size against the library's.
#include "app/frmmain.h"
#include "bench/benchsupport.h"
#include "history/history.h"
#include "library/libraryfs.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

const QString Root = QStringLiteral("/tmp/quillary-bench-history");
const QString Library = Root + QStringLiteral("/Code/");
const QString Git = Root + QStringLiteral("/history.git");

double ms(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

QStringList allSnippets() {
    QStringList paths;
    QDirIterator it(Library, {QStringLiteral("*.code")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    std::sort(paths.begin(), paths.end());
    return paths;
}

qint64 bytesUnder(const QString& folder) {
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

double startUpMs() {
    QElapsedTimer timer;
    timer.start();
    frmMain window(Root, std::make_unique<ScriptedDialogs>());
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    QCoreApplication::processEvents();
    const double took = ms(timer);
    return took;
}

double wallMs(const QByteArray& command) {
    QElapsedTimer timer;
    timer.start();
    if (std::system(command.constData()) != 0)
        std::printf("failed: %s\n", command.constData());
    return ms(timer);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    {
        // Made afresh each run: the saves below change it.
        QDir(Root).removeRecursively();
        QDir().mkpath(Library);
        BenchSupport::writeLargeLibrary(Library, [](int n) {
            QByteArray text = "Sub Snippet" + QByteArray::number(n) + "()\r\n";
            for (int line = 0; line < 6; ++line)
                text += "    Print \"line " + QByteArray::number(line * n) + "\" ' note\r\n";
            return text + "End Sub\r\n";
        });
    }
    const QStringList paths = allSnippets();
    const qint64 libraryBytes = bytesUnder(Library);
    std::printf("library: %lld snippets, %.1f MB\n", qlonglong(paths.size()),
                double(libraryBytes) / 1e6);

    // The first recording, against reading every file once (both from a warm cache).
    LibraryFs fs(LibraryLocations::beside(Root));
    for (int warm = 0; warm < 2; ++warm) {
        for (const QString& path : paths)
            (void)fs.readFile(path);
    }
    QElapsedTimer timer;
    timer.start();
    qint64 read = 0;
    for (const QString& path : paths)
        read += fs.readFile(path).bytes.size();
    const double readAll = ms(timer);
    timer.start();
    double windowSide = 0;
    {
        QElapsedTimer told;
        told.start();
        History history(Library, Git);
        windowSide = ms(told);
        if (!history.waitForIdle(600000))
            std::printf("the first recording did not end\n");
    }
    const double firstRecording = ms(timer);
    std::printf("first recording:   %9.0f ms   reading every file once %7.0f ms   ratio %.2f "
                "(%.2f ms of it on the calling thread)\n",
                firstRecording, readAll, firstRecording / readAll, windowSide);

    // A look at the recorded library, finding nothing and finding one file changed by another
    // program, against git's own look at the same library (`git status`).
    {
        History history(Library, Git);
        (void)history.waitForIdle(600000);
        const QByteArray gitStatus = "git --git-dir='" + QFile::encodeName(Git) +
                                     "' --work-tree='" + QFile::encodeName(Library) +
                                     "' status --porcelain >/dev/null";
        std::vector<double> nothingMs;
        std::vector<double> oneMs;
        std::vector<double> statusMs;
        const qint64 before = bytesUnder(Git);
        for (int run = 0; run < 5; ++run) {
            timer.start();
            history.noticeOutsideChanges();
            (void)history.waitForIdle(600000);
            nothingMs.push_back(ms(timer));
            QFile outside(paths[run * 997]);
            if (outside.open(QIODevice::Append))
                outside.write("' changed outside " + QByteArray::number(run) + "\r\n");
            outside.close();
            timer.start();
            history.noticeOutsideChanges();
            (void)history.waitForIdle(600000);
            oneMs.push_back(ms(timer));
            statusMs.push_back(wallMs(gitStatus));
        }
        const double status = percentile(statusMs, 0.5);
        std::printf("a look, nothing:   %9.1f ms   git status %7.1f ms   ratio %.2f\n",
                    percentile(nothingMs, 0.5), status, percentile(nothingMs, 0.5) / status);
        std::printf("a look, one file:  %9.1f ms   git status %7.1f ms   ratio %.2f; the history "
                    "grew %.2f MB for 5 such looks\n",
                    percentile(oneMs, 0.5), status, percentile(oneMs, 0.5) / status,
                    double(bytesUnder(Git) - before) / 1e6);
    }
    if (app.arguments().contains(QStringLiteral("looks")))
        return 0;

    // Start-up, the library already recorded, with and without the history, alternating.
    std::vector<double> with;
    std::vector<double> without;
    for (int run = 0; run < 4; ++run) {
        frmMain::setHistoryAtStart(false);
        without.push_back(startUpMs());
        frmMain::setHistoryAtStart(true);
        with.push_back(startUpMs());
    }
    const double startWith = percentile(with, 0.5);
    const double startWithout = percentile(without, 0.5);
    std::printf("start-up:          %9.1f ms   without history %7.1f ms   ratio %.2f\n", startWith,
                startWithout, startWith / startWithout);

    // The floor of a save into Big as git stores any object: hashing its tree, which each such
    // commit writes anew, compressing it at zlib's fastest level (libgit2's own for loose
    // objects), then also writing it as a loose object's file. Measured right after each save
    // into Big, so both see the same machine.
    QByteArray bigTree;
    {
        QProcess cat;
        cat.start(QStringLiteral("git"),
                  {QStringLiteral("--git-dir=") + Git, QStringLiteral("cat-file"),
                   QStringLiteral("tree"), QStringLiteral("HEAD:Big")});
        cat.waitForFinished(60000);
        bigTree = cat.readAllStandardOutput();
    }
    const QString floorObjects = Root + QStringLiteral("/floor-objects/");
    std::vector<double> hashMs;
    std::vector<double> storeMs;
    const auto floorOnce = [&](int run) {
        // A different tree each time, as each commit's is.
        QByteArray tree = bigTree;
        const QByteArray mark = QByteArray::number(run);
        tree.replace(tree.size() - mark.size(), mark.size(), mark);
        const QByteArray header = "tree " + QByteArray::number(tree.size()) + '\0';
        QElapsedTimer floorTimer;
        floorTimer.start();
        QCryptographicHash sha(QCryptographicHash::Sha1);
        sha.addData(header);
        sha.addData(tree);
        const QByteArray id = sha.result().toHex();
        const QByteArray packed = qCompress(header + tree, 1);
        hashMs.push_back(ms(floorTimer));
        const QString fan = floorObjects + QString::fromLatin1(id.left(2));
        QDir().mkpath(fan);
        QFile file(fan + QStringLiteral("/tmp_object"));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(packed.constData() + 4, packed.size() - 4); // qCompress's size prefix
            file.close();
            (void)QFile::rename(file.fileName(),
                                fan + QLatin1Char('/') + QString::fromLatin1(id.mid(2)));
        }
        storeMs.push_back(ms(floorTimer));
    };

    // 10,000 saves spread over the library, each written as Save writes it, then recorded.
    constexpr int Saves = 10000;
    std::vector<double> saveMs;
    std::vector<double> tellMs;
    std::vector<double> commitMs;
    std::vector<double> crowdedMs; // the saves into Big, a fifth of them
    {
        History history(Library, Git);
        (void)history.waitForIdle(600000);
        // A commit is written when the history says so; git's index follows when commands pause.
        std::atomic<int> commits = 0;
        QObject::connect(
            &history, &History::recorded, &history, [&commits] { ++commits; },
            Qt::DirectConnection);
        for (int i = 0; i < Saves; ++i) {
            const QString path = paths[int((qint64(i) * 7919) % paths.size())];
            const QByteArray bytes =
                "' save " + QByteArray::number(i) + "\r\n" + fs.readFile(path).bytes;
            QElapsedTimer step;
            step.start();
            (void)fs.writeSnippet(path, bytes);
            saveMs.push_back(ms(step));
            step.start();
            history.recordCommand(History::Action::Save, path.mid(Library.size()), bytes);
            tellMs.push_back(ms(step));
            while (commits.load() <= i && step.elapsed() < 60000)
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            commitMs.push_back(ms(step));
            if (path.startsWith(Library + QStringLiteral("Big/"))) {
                crowdedMs.push_back(commitMs.back());
                floorOnce(i);
            }
        }
    }
    QDir(floorObjects).removeRecursively();
    const double saveMedian = percentile(saveMs, 0.5);
    std::printf("one command:       median %.2f ms, 99th percentile %.2f ms   the save itself "
                "%.2f ms   ratio %.2f; on the window's thread median %.4f ms, max %.3f ms\n",
                percentile(commitMs, 0.5), percentile(commitMs, 0.99), saveMedian,
                percentile(commitMs, 0.5) / saveMedian, percentile(tellMs, 0.5),
                percentile(tellMs, 1.0));
    const auto beside = [&](const char* what, const std::vector<double>& floor) {
        std::printf("  %-46s median %6.2f ms, 99th percentile %6.2f ms   ratios %.2f, %.2f\n", what,
                    percentile(floor, 0.5), percentile(floor, 0.99),
                    percentile(crowdedMs, 0.5) / percentile(floor, 0.5),
                    percentile(crowdedMs, 0.99) / percentile(floor, 0.99));
    };
    std::printf(
        "a save into Big:   median %.2f ms, 99th percentile %.2f ms (%zu saves); its %.2f MB "
        "tree, measured after each:\n",
        percentile(crowdedMs, 0.5), percentile(crowdedMs, 0.99), crowdedMs.size(),
        double(bigTree.size()) / 1e6);
    beside("hashing and compressing it", hashMs);
    beside("that, written as a loose object's file", storeMs);

    // A snippet's version list with the 10,000 commits in the history.
    const QString busiest = paths[0].mid(Library.size());
    HistoryReader reader(Git);
    std::vector<double> listMs;
    qsizetype versions = 0;
    for (int run = 0; run < 5; ++run) {
        timer.start();
        versions = reader.versions(busiest).size();
        listMs.push_back(ms(timer));
    }
    const QByteArray gitLog = "git --git-dir='" + QFile::encodeName(Git) +
                              "' log --format=%H -- '" + busiest.toUtf8() + "' >/dev/null";
    std::vector<double> gitMs;
    for (int run = 0; run < 5; ++run)
        gitMs.push_back(wallMs(gitLog));
    std::printf("version list:      %9.1f ms   git log -- path %7.1f ms   ratio %.2f (%lld "
                "versions, %d commits)\n",
                percentile(listMs, 0.5), percentile(gitMs, 0.5),
                percentile(listMs, 0.5) / percentile(gitMs, 0.5), qlonglong(versions),
                reader.commitCount());

    const qint64 historyBytes = bytesUnder(Git);
    std::printf("repository size:   %9.1f MB   library %.1f MB   ratio %.2f\n",
                double(historyBytes) / 1e6, double(libraryBytes) / 1e6,
                double(historyBytes) / double(libraryBytes));
    return 0;
}
