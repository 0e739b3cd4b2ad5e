// SPDX-License-Identifier: MIT
// Opening a Python snippet coloured by its grammar against the same snippet coloured by the word
// list, side by side in one window: time to the text shown, to fully coloured, the window's
// longest wait and the most CPU time its thread spent on one event meanwhile, a key press in the
// middle, and the memory held once the snippet is open (each in a process of its own).
#include "app/frmmain.h"
#include "bench/benchapplication.h"
#include "bench/benchsupport.h"
#include "editor/codeeditor.h"
#include "editor/highlightquery.h"
#include "library/languagechoices.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

using BenchSupport::ms;

namespace {

double blockingWait(const std::function<bool()>& done) {
    return BenchSupport::longestWait(done, true);
}

// The CPU time of the calling thread: what the window's thread spent, not the colouring's.
QByteArray pythonCode(qint64 size) {
    QByteArray out;
    for (int n = 0; out.size() < size; ++n) {
        out += "def function_" + QByteArray::number(n) + "(value, other=42):\n";
        out += "    # it's comment number " + QByteArray::number(n) + "\n";
        out += "    text = \"it's " + QByteArray::number(n) + "\" + 'x'\n";
        out += "    if value > " + QByteArray::number(n) + ".5:\n";
        out += "        return [value, other, None, True]\n";
        out += "    return text\n\n";
    }
    return out;
}

using BenchSupport::Application;
using BenchSupport::threadCpuMs;

struct Bench {
    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;
    // Found once: the waits ask for it after every event, and looking the window's parts up by
    // name would count as the window's own work.
    CodeEditor* m_editor = nullptr;
    CodeEditor* editor() const { return m_editor; }

    void setUp() {
        const QString library = dir.path() + QStringLiteral("/Code/");
        for (const char* category : {"Python", "WordList"}) {
            QDir().mkpath(library + QLatin1String(category));
            for (auto [name, size] : {std::pair{"one", qint64(1) << 20}, {"ten", qint64(10) << 20}})
                BenchSupport::writeFile(library +
                                            QStringLiteral("%1/%2.code")
                                                .arg(QLatin1String(category), QLatin1String(name)),
                                        pythonCode(size));
        }
        BenchSupport::writeFile(library + LanguageChoices::FileName, "python\tPython\n");
        BenchSupport::writeFile(dir.path() + QStringLiteral("/wordlist.dat"), "def\nreturn\nif\n");
        window = std::make_unique<frmMain>(dir.path(), std::make_unique<ScriptedDialogs>());
        window->resize(1000, 800);
        window->show();
        QCoreApplication::processEvents();
        m_editor = ui(*window).txtCodeFile;
    }

    void select(const char* category, const char* name) {
        ui(*window).tvwFolders->setCurrentItem(window->nodeByKey(QLatin1String(category)));
        QCoreApplication::processEvents();
        const QSignalBlocker quiet(ui(*window).lstCode);
        QTreeWidget* list = ui(*window).lstCode;
        list->clearSelection();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(0) == QLatin1String(name))
                list->setCurrentItem(list->topLevelItem(i));
    }

    // Whether the last string of the text has its colour: the last thing a parse reaches. Only
    // the last lines are read (no line here is split for display, so a document position is a
    // text offset): a copy of the whole text at each look would be the longest wait measured.
    bool coloured(bool byGrammar) const {
        for (QTextBlock block = editor()->document()->lastBlock(); block.isValid();
             block = block.previous()) {
            if (const qsizetype found = block.text().lastIndexOf(QStringLiteral("\"it's"));
                found >= 0) {
                const int at = block.position() + int(found);
                return !byGrammar || editor()->colourAt(at) == SyntaxColours::String;
            }
        }
        return false;
    }

    struct Open {
        double shown = 0, coloured = 0, longest = 0, longestEvent = 0;
    };
    Open open(const char* category, const char* name, bool byGrammar) {
        editor()->setText(QString());
        QCoreApplication::processEvents();
        select(category, name);
        Open result;
        QElapsedTimer clock;
        clock.start();
        window->lstCode_ItemClick();
        bool shownYet = false;
        auto* app = static_cast<Application*>(QCoreApplication::instance());
        app->longestEventMs = 0;
        result.longest = BenchSupport::longestWait([&] {
            if (!shownYet && !editor()->isLoading()) {
                shownYet = true;
                result.shown = ms(clock.nsecsElapsed());
            }
            return shownYet && coloured(byGrammar);
        });
        result.coloured = ms(clock.nsecsElapsed());
        result.longestEvent = app->longestEventMs;
        editor()->viewport()->repaint();
        return result;
    }

    struct Key {
        double event = 0, recoloured = 0, longest = 0, windowThread = 0;
    };
    // A '#' typed before a keyword in the middle: the rest of the line becomes a comment.
    Key keyInMiddle(bool byGrammar) {
        const int middle = int(editor()->text().indexOf(QStringLiteral("    return text"),
                                                        editor()->textLength() / 2)) +
                           4;
        editor()->setSelectionStart(middle);
        editor()->viewport()->repaint();
        QCoreApplication::processEvents();
        Key result;
        QElapsedTimer clock;
        clock.start();
        const double cpu = threadCpuMs();
        QTest::keyClick(editor(), '#');
        result.event = ms(clock.nsecsElapsed());
        result.longest = blockingWait(
            [&] { return !byGrammar || editor()->colourAt(middle + 1) == Colours::Comment; });
        result.recoloured = ms(clock.nsecsElapsed());
        // The paint that shows it, in both.
        QCoreApplication::processEvents();
        result.windowThread = threadCpuMs() - cpu;
        return result;
    }
};

// The resident memory a process holds after opening one snippet until it is fully coloured, above
// what it held before, and the peak above it, in kB.
int memoryAfterOpening(Bench& b, const char* category, const char* name) {
    const bool byGrammar = QByteArray(category) == "Python" && QByteArray(name) == "one";
    QCoreApplication::processEvents();
    BenchSupport::resetPeak();
    const long before = BenchSupport::statusKb("VmRSS");
    b.open(category, name, byGrammar);
    std::printf("%ld %ld\n", BenchSupport::statusKb("VmRSS") - before,
                BenchSupport::statusKb("VmHWM") - before);
    return 0;
}

// Runs memoryAfterOpening in a process of its own, so that memory one case freed is not reused
// by the next: after and peak, in MB.
std::pair<double, double> memoryInChild(const char* category, const char* name) {
    QProcess self;
    self.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--memory"), QLatin1String(category), QLatin1String(name)});
    self.waitForFinished(-1);
    const QList<QByteArray> kb = self.readAllStandardOutput().trimmed().split(' ');
    if (kb.size() != 2)
        return {-1, -1};
    return {kb[0].toDouble() / 1024, kb[1].toDouble() / 1024};
}

constexpr int Rounds = 3;

void best(Bench::Open& kept, const Bench::Open& round) {
    kept = {std::min(kept.shown, round.shown), std::min(kept.coloured, round.coloured),
            std::min(kept.longest, round.longest), std::max(kept.longestEvent, round.longestEvent)};
}

void best(Bench::Key& kept, const Bench::Key& round) {
    kept = {std::min(kept.event, round.event), std::min(kept.recoloured, round.recoloured),
            std::min(kept.longest, round.longest), std::min(kept.windowThread, round.windowThread)};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    frmMain::setIndexingAtStart(false);
    frmMain::setHistoryAtStart(false);
    Bench b;
    b.setUp();
    if (argc > 3 && QByteArray(argv[1]) == "--memory")
        return memoryAfterOpening(b, argv[2], argv[3]);
    // The query of a language is read on first use; once, as at the first snippet of a session.
    b.open("Python", "one", true);

    std::printf("%-30s %12s %12s %7s\n", "", "Python ms", "word list ms", "ratio");
    for (const char* name : {"one", "ten"}) {
        const bool byGrammar = QByteArray(name) == "one"; // ten is over the size limit
        // Rounds side by side, the best of each kept: the machine's own load only adds.
        Bench::Open grammar{1e100, 1e100, 1e100, 0}, words{1e100, 1e100, 1e100, 0};
        for (int round = 0; round < Rounds; ++round) {
            best(grammar, b.open("Python", name, byGrammar));
            best(words, b.open("WordList", name, false));
        }
        const char* size = QByteArray(name) == "one" ? "1 MB" : "10 MB";
        std::printf("%-5s %-24s %12.0f %12.0f %7.2f\n", size, "text shown", grammar.shown,
                    words.shown, grammar.shown / words.shown);
        std::printf("%-5s %-24s %12.0f %12.0f %7.2f\n", size, "fully coloured", grammar.coloured,
                    words.coloured, grammar.coloured / words.coloured);
        std::printf("%-5s %-24s %12.0f %12.0f %7.2f\n", size, "longest window wait",
                    grammar.longest, words.longest, grammar.longest / words.longest);
        // The most of all rounds: the window's own longest step.
        std::printf("%-5s %-24s %12.1f %12.1f %7.2f\n", size, "longest event, CPU",
                    grammar.longestEvent, words.longestEvent,
                    grammar.longestEvent / words.longestEvent);
    }
    Bench::Key grammarKey{1e100, 1e100, 1e100, 1e100}, wordsKey{1e100, 1e100, 1e100, 1e100};
    for (int round = 0; round < Rounds; ++round) {
        b.open("Python", "one", true);
        best(grammarKey, b.keyInMiddle(true));
        b.open("WordList", "one", false);
        best(wordsKey, b.keyInMiddle(false));
    }
    std::printf("%-30s %12.1f %12.1f %7.2f\n", "1 MB key: key event", grammarKey.event,
                wordsKey.event, grammarKey.event / wordsKey.event);
    std::printf("%-30s %12.1f %12.1f %7.2f\n", "1 MB key: longest window wait", grammarKey.longest,
                wordsKey.longest, grammarKey.longest / wordsKey.longest);
    std::printf("%-30s %12.1f %12.1f %7.2f\n", "1 MB key: window thread CPU",
                grammarKey.windowThread, wordsKey.windowThread,
                grammarKey.windowThread / wordsKey.windowThread);
    std::printf("%-30s %12.1f %12.1f\n", "1 MB key: to recoloured", grammarKey.recoloured,
                wordsKey.recoloured);

    std::printf("\n%-30s %12s %12s %7s\n", "memory above the start", "Python MB", "word list MB",
                "ratio");
    for (const char* name : {"one", "ten"}) {
        const auto grammar = memoryInChild("Python", name);
        const auto words = memoryInChild("WordList", name);
        const char* size = QByteArray(name) == "one" ? "1 MB" : "10 MB";
        std::printf("%-5s %-24s %12.1f %12.1f %7.2f\n", size, "resident after opening",
                    grammar.first, words.first, grammar.first / words.first);
        std::printf("%-5s %-24s %12.1f %12.1f %7.2f\n", size, "peak while opening", grammar.second,
                    words.second, grammar.second / words.second);
    }
    return 0;
}
