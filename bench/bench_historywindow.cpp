// SPDX-License-Identifier: MIT
// The Snippet History window's event loop while the user chooses versions of a million-line
// snippet, three choices 30 ms apart and then a refresh as after a commit: the longest wait between
// two turns of the loop, against the same work done on the window's thread as the window once did
// it (read, decode, show, colour, read the file and compare), side by side in one process. Run
// with QT_QPA_PLATFORM=offscreen where there is no display.
#include "bench/benchsupport.h"
#include "editor/codeeditor.h"
#include "editor/keywordlist.h"
#include "history/history.h"
#include "history/linediff.h"
#include "library/libraryfs.h"
#include "library/snippetcodec.h"
#include "tests/support/faults.h"
#include "windows/frmhistory.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

namespace {

using BenchSupport::longestWait;
using BenchSupport::ms;

constexpr int Lines = 1000000;
constexpr int Versions = 4;
constexpr int Rounds = 3;

// Version v changes a line in every thousand, a different one in each version.
QByteArray version(int v) {
    QByteArray text;
    text.reserve(Lines * 28);
    for (int i = 0; i < Lines; ++i) {
        text += i % 1000 == v ? "  Print \"changed\" ' version " : "  x = x + 1 ' line ";
        text += QByteArray::number(i);
        text += '\n';
    }
    return text;
}

// What the window did on its own thread when a version was chosen.
void showOnWindowThread(CodeEditor* editor, const HistoryReader& reader, LibraryFs& fs,
                        const QString& path, const QString& blob) {
    const std::optional<QByteArray> bytes = reader.text(blob);
    if (!bytes)
        return;
    const QString text = SnippetCodec::decode(*bytes).text;
    editor->setText(text);
    QStringList keywords;
    if (const LibraryFs::Read list = fs.readFile(fs.keywordFilePath()); list.result.ok)
        keywords = KeywordList::parse(SnippetCodec::decodeText(list.bytes));
    editor->colourAll(keywords);
    const LibraryFs::Read current =
        fs.readFile(fs.libraryPath() + path, LibraryFs::SnippetReadLimit);
    const QStringList currentLines = current.result.ok
                                         ? LineDiff::lines(SnippetCodec::decode(current.bytes).text)
                                         : QStringList();
    const LineDiff::Marks marks = LineDiff::compare(LineDiff::lines(text), currentLines);
    if (marks.countOld() < 0)
        std::printf("never\n");
    editor->viewport()->update();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("GIT_CONFIG_NOSYSTEM", "1");
    qputenv("GIT_CONFIG_GLOBAL", "/dev/null");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const LibraryLocations where = LibraryLocations::beside(dir.path());
    const QString path = QStringLiteral("Bench/Long.code");
    QDir().mkpath(where.library + QStringLiteral("Bench"));
    QFile shipped(QCoreApplication::applicationDirPath() + QStringLiteral("/../wordlist.dat"));
    QFile list(where.keywordFile);
    if (shipped.open(QIODevice::ReadOnly) && list.open(QIODevice::WriteOnly))
        list.write(shipped.readAll());
    list.close();
    const QStringList git{QStringLiteral("--git-dir=") + where.historyFolder(),
                          QStringLiteral("--work-tree=") + where.library,
                          QStringLiteral("-c"),
                          QStringLiteral("user.name=Bench"),
                          QStringLiteral("-c"),
                          QStringLiteral("user.email=bench@example.org")};
    run(QStringLiteral("git"), git + QStringList{QStringLiteral("init"), QStringLiteral("-q"),
                                                 QStringLiteral("-b"), QStringLiteral("main")});
    for (int v = 0; v < Versions; ++v) {
        QFile file(where.library + path);
        if (!file.open(QIODevice::WriteOnly) || file.write(version(v)) < 0)
            return 1;
        file.close();
        const bool done =
            run(QStringLiteral("git"),
                git + QStringList{QStringLiteral("add"), QStringLiteral("-A")}) &&
            run(QStringLiteral("git"),
                git + QStringList{QStringLiteral("commit"), QStringLiteral("-q"),
                                  QStringLiteral("-m"), QStringLiteral("save ") + path,
                                  QStringLiteral("-m"),
                                  QStringLiteral("Quillary-Action: save\nQuillary-Path: ") + path});
        if (!done)
            return 1;
    }

    LibraryFs fs(where);
    QDialog owner;
    frmHistory window(fs, where.historyFolder(), &owner);
    window.show();
    window.showSnippet(path, QStringLiteral("Long"));
    longestWait([&] { return !window.isReading(); });
    if (window.lstVersions->topLevelItemCount() != Versions) {
        std::printf("the window lists %d versions, not %d\n",
                    window.lstVersions->topLevelItemCount(), Versions);
        return 1;
    }

    // The same work on the window's thread, in an editor of the same size.
    const HistoryReader reader(where.historyFolder());
    const QList<HistoryVersion> versions = reader.versions(path);
    QDialog bareWindow;
    CodeEditor bare(&bareWindow);
    bare.setWordWrapOff();
    bare.resize(window.txtVersion->size());
    bareWindow.show();

    // Choices at 0, 30 and 60 ms, the last one waited for; then a refresh.
    const QList<int> rows{1, 2, 3};
    double windowChoose = 1e100, windowRefresh = 1e100, windowShown = 1e100;
    double bareChoose = 1e100, bareRefresh = 1e100, bareShown = 1e100;
    for (int round = 0; round < Rounds; ++round) {
        window.lstVersions->setCurrentItem(window.lstVersions->topLevelItem(0));
        longestWait([&] { return !window.isReading(); });
        int made = 0;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < rows.size(); ++i) {
            QTimer::singleShot(30 * i, [&, i] {
                window.lstVersions->setCurrentItem(window.lstVersions->topLevelItem(rows[i]));
                ++made;
            });
        }
        windowChoose = std::min(
            windowChoose, longestWait([&] { return made == rows.size() && !window.isReading(); }));
        windowShown = std::min(windowShown, ms(timer.nsecsElapsed()));
        const QString expected = SnippetCodec::decode(version(Versions - 1 - rows.last())).text;
        if (window.txtVersion->text() != expected)
            std::printf("the window shows another version\n");
        window.refresh();
        windowRefresh = std::min(windowRefresh, longestWait([&] { return !window.isReading(); }));

        bare.setText(QString());
        made = 0;
        timer.start();
        for (int i = 0; i < rows.size(); ++i) {
            QTimer::singleShot(30 * i, [&, i] {
                showOnWindowThread(&bare, reader, fs, path, versions.at(rows[i]).blob);
                ++made;
            });
        }
        bareChoose = std::min(bareChoose, longestWait([&] { return made == rows.size(); }));
        bareShown = std::min(bareShown, ms(timer.nsecsElapsed()));
        if (bare.text() != expected)
            std::printf("the baseline shows another version\n");
        bool refreshed = false;
        QTimer::singleShot(0, [&] {
            showOnWindowThread(&bare, reader, fs, path, versions.at(rows.last()).blob);
            refreshed = true;
        });
        bareRefresh = std::min(bareRefresh, longestWait([&] { return refreshed; }));
    }

    // The floor on this machine: the same loop with nothing to do, for as long.
    double idle = 1e100;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        idle = std::min(idle, longestWait([&] { return ms(timer.nsecsElapsed()) >= windowShown; }));
    }

    std::printf("a snippet of %d lines (%.1f MB), %d versions; best of %d rounds\n", Lines,
                double(version(0).size()) / (1 << 20), Versions, Rounds);
    std::printf("%-46s %10s %12s %7s\n", "longest wait of the event loop", "window ms", "before ms",
                "ratio");
    std::printf("%-46s %10.1f %12.1f %7.3f\n", "three choices 30 ms apart", windowChoose,
                bareChoose, windowChoose / bareChoose);
    std::printf("%-46s %10.1f %12.1f %7.3f\n", "refresh after a commit", windowRefresh, bareRefresh,
                windowRefresh / bareRefresh);
    std::printf("%-46s %10.1f %12s %7s\n", "the loop idle, as long as the window took", idle, "",
                "");
    std::printf("%-46s %10.1f %12.1f %7.3f\n", "first choice until the last one is shown",
                windowShown, bareShown, windowShown / bareShown);
    return 0;
}
