// SPDX-License-Identifier: MIT
// Opening and colouring snippets in the main window, against a plain QPlainTextEdit given the
// same text, side by side in one process. Prints best-of-3 times, their ratios, the parts the
// window's time is made of, and the peak memory of opening and colouring a 10 MB snippet.
// Run with QT_QPA_PLATFORM=offscreen where there is no display.

#include "app/frmmain.h"
#include "bench/benchsupport.h"
#include "editor/codeeditor.h"
#include "editor/colouring.h"
#include "editor/keywordlist.h"
#include "library/snippetcodec.h"
#include "tests/support/basiccode.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalBlocker>
#include <QSyntaxHighlighter>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {
using BenchSupport::measurePeak;

const char* const fallbackKeywords =
    "as\r\nboolean\r\nbyval\r\ncall\r\ndim\r\nelse\r\nend\r\nend if\r\nend sub\r\nfor\r\n"
    "function\r\nif\r\ninteger\r\nlong\r\nnew\r\nnext\r\nprivate\r\npublic\r\nset\r\nstring\r\n"
    "sub\r\nthen\r\nto\r\ntrim\r\n";

double bestOf3(const std::function<void()>& prepare, const std::function<void()>& work) {
    double best = 1e100;
    for (int i = 0; i < 3; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

void baselineRun(QPlainTextEdit& plain, const QString& text) {
    plain.setPlainText(text);
    plain.viewport()->repaint();
}

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;
    QTreeWidgetItem* entry(const QString& name) const {
        for (int i = 0; i < ui(*window).lstCode->topLevelItemCount(); ++i)
            if (ui(*window).lstCode->topLevelItem(i)->text(0) == name)
                return ui(*window).lstCode->topLevelItem(i);
        return nullptr;
    }
    // As a click on the entry does: select it, which opens it; then paint.
    void open(const QString& name) {
        {
            const QSignalBlocker quiet(ui(*window).lstCode);
            ui(*window).lstCode->clearSelection();
            ui(*window).lstCode->setCurrentItem(entry(name));
        }
        window->lstCode_ItemClick();
        while (ui(*window).txtCodeFile->isLoading())
            QCoreApplication::processEvents();
        ui(*window).txtCodeFile->viewport()->repaint();
    }
};

constexpr int ManyEntries = 20000;

// Gives every line one coloured range, as a highlighter that paints colours does.
class LineFormats : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString& text) override {
        QTextCharFormat format;
        format.setForeground(Qt::darkGreen);
        setFormat(0, std::min<int>(3, int(text.size())), format);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Opening is measured here; the search index's own memory and time are bench_find's.
    frmMain::setIndexingAtStart(false);

    Window w;
    const QString program = w.dir.path();
    QDir().mkpath(program + QStringLiteral("/Code/Bench"));
    QFile shipped(QCoreApplication::applicationDirPath() + QStringLiteral("/../wordlist.dat"));
    QByteArray wordList = shipped.open(QIODevice::ReadOnly) ? shipped.readAll() : QByteArray();
    const bool shippedList = !wordList.isEmpty();
    if (!shippedList)
        wordList = fallbackKeywords;
    {
        QFile list(program + QStringLiteral("/wordlist.dat"));
        list.open(QIODevice::WriteOnly);
        list.write(wordList);
    }
    const QByteArray small = BasicCode::basicCode(1 << 20, 1).toUtf8();
    const QByteArray large = BasicCode::basicCode(10 << 20, 2).toUtf8();
    for (const auto& [name, bytes] :
         {std::pair{"one.code", &small}, std::pair{"ten.code", &large}}) {
        QFile file(program + QStringLiteral("/Code/Bench/") + QLatin1String(name));
        file.open(QIODevice::WriteOnly);
        file.write(*bytes);
    }
    QDir().mkpath(program + QStringLiteral("/Code/Many"));
    for (int i = 0; i < ManyEntries; ++i) {
        QFile file(program + QStringLiteral("/Code/Many/snippet %1.code").arg(i));
        file.open(QIODevice::WriteOnly);
    }
    const QString smallText = QString::fromUtf8(small);
    const QString largeText = QString::fromUtf8(large);
    const int keywordCount = int(KeywordList::parse(SnippetCodec::decodeText(wordList)).size());

    w.window = std::make_unique<frmMain>(program, std::make_unique<ScriptedDialogs>());
    w.window->resize(1000, 800);
    w.window->show();
    QCoreApplication::processEvents();
    ui(*w.window).tvwFolders->setCurrentItem(w.window->nodeByKey(QStringLiteral("Bench")));
    CodeEditor* editor = ui(*w.window).txtCodeFile;

    auto plain = std::make_unique<QPlainTextEdit>();
    plain->setFont(CodeEditor::codeFont());
    plain->setLineWrapMode(QPlainTextEdit::NoWrap);
    plain->resize(editor->size());
    plain->show();
    QCoreApplication::processEvents();

    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("--peak-window")) {
        return measurePeak([&] {
            w.open(QStringLiteral("ten"));
            w.window->ColorCode();
            editor->viewport()->repaint();
        });
    }
    if (mode == QLatin1String("--peak-plain")) {
        // As the window does: read the file and decode it, then show it.
        QFile file(program + QStringLiteral("/Code/Bench/ten.code"));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        return measurePeak([&] { baselineRun(*plain, QString::fromUtf8(file.readAll())); });
    }
    if (mode == QLatin1String("--peak-plain-formats")) {
        return measurePeak([&] {
            new LineFormats(plain->document());
            baselineRun(*plain, largeText);
        });
    }

    std::printf("keywords: %d (%s)\n", keywordCount, shippedList ? "shipped list" : "built-in");
    std::printf(
        "best of 3, milliseconds; ratio = window / plain QPlainTextEdit; target <= 3.0\n\n");

    // Opening 1 MB: click to coloured and painted.
    const auto clearEditor = [&] {
        editor->setText(QString());
        plain->clear();
        QCoreApplication::processEvents();
    };
    const double openMs = bestOf3(clearEditor, [&] { w.open(QStringLiteral("one")); });
    const double openBase = bestOf3(clearEditor, [&] { baselineRun(*plain, smallText); });
    std::printf("open 1 MB (%lld bytes)      window %8.1f   plain %8.1f   ratio %5.2f\n",
                qlonglong(small.size()), openMs, openBase, openMs / openBase);

    // Repainting a screen of that snippet in its colours, against the plain widget's black.
    w.open(QStringLiteral("one"));
    const auto hundredRepaints = [](QWidget* viewport) {
        for (int i = 0; i < 100; ++i)
            viewport->repaint();
    };
    const double repaintMs = bestOf3(nullptr, [&] { hundredRepaints(editor->viewport()); }) / 100;
    const double repaintBase = bestOf3(nullptr, [&] { hundredRepaints(plain->viewport()); }) / 100;
    std::printf("repaint a screen of it       window %8.2f   plain %8.2f   ratio %5.2f "
                "(reference only)\n",
                repaintMs, repaintBase, repaintMs / repaintBase);

    // Filling the list with 20,000 entries, against a tree widget given the same entries.
    QTreeWidget plainList;
    plainList.resize(ui(*w.window).lstCode->size());
    plainList.show();
    const auto showOther = [&] {
        ui(*w.window).tvwFolders->setCurrentItem(w.window->nodeByKey(QStringLiteral("Bench")));
        plainList.clear();
        QCoreApplication::processEvents();
    };
    const double fillMs = bestOf3(showOther, [&] {
        ui(*w.window).tvwFolders->setCurrentItem(w.window->nodeByKey(QStringLiteral("Many")));
        ui(*w.window).lstCode->viewport()->repaint();
    });
    const int filled = ui(*w.window).lstCode->topLevelItemCount();
    const double fillBase = bestOf3(showOther, [&] {
        QList<QTreeWidgetItem*> items;
        for (int i = 0; i < ManyEntries; ++i)
            items.append(new QTreeWidgetItem(QStringList{QStringLiteral("snippet %1").arg(i)}));
        plainList.addTopLevelItems(items);
        plainList.viewport()->repaint();
    });
    std::printf("list of %d entries         window %8.1f   plain %8.1f   ratio %5.2f "
                "(the window also reads the folder)\n",
                filled, fillMs, fillBase, fillMs / fillBase);
    const double listingMs =
        bestOf3(nullptr, [&] { w.window->fs().listFiles(program + QStringLiteral("/Code/Many")); });
    std::printf("  parts: listing the folder (read and sorted) %.1f\n", listingMs);
    ui(*w.window).tvwFolders->setCurrentItem(w.window->nodeByKey(QStringLiteral("Bench")));

    // Where the opening time goes.
    double readMs = 0, decodeMs = 0, setTextMs = 0, colourMs = 0, applyMs = 0, paintMs = 0;
    {
        SnippetCodec::Decoded decoded;
        QList<ColourRun> runs;
        const QStringList keywords = KeywordList::parse(SnippetCodec::decodeText(wordList));
        LibraryFs::Read read;
        const QString path = program + QStringLiteral("/Code/Bench/one.code");
        readMs = bestOf3(nullptr, [&] { read = w.window->fs().readFile(path); });
        decodeMs = bestOf3(nullptr, [&] { decoded = SnippetCodec::decode(read.bytes); });
        setTextMs = bestOf3(clearEditor, [&] { editor->setText(decoded.text); });
        colourMs = bestOf3(nullptr, [&] { runs = Colouring::colour(editor->text(), keywords); });
        applyMs = bestOf3(nullptr, [&] { editor->applyColours(runs); });
        paintMs = bestOf3(nullptr, [&] { editor->viewport()->repaint(); });
    }
    std::printf("  parts: read %.1f, decode %.1f, setText %.1f, colour (text + runs) %.1f, "
                "applyColours %.1f, paint %.1f\n\n",
                readMs, decodeMs, setTextMs, colourMs, applyMs, paintMs);

    // ColorCode on an open 10 MB text, painted.
    clearEditor();
    w.open(QStringLiteral("ten"));
    const double colourCodeMs = bestOf3(nullptr, [&] {
        w.window->ColorCode();
        editor->viewport()->repaint();
    });
    double applyLargeMs = 0, colourLargeMs = 0, textLargeMs = 0;
    {
        const QStringList keywords = KeywordList::parse(SnippetCodec::decodeText(wordList));
        QString text;
        QList<ColourRun> runs;
        textLargeMs = bestOf3(nullptr, [&] { text = editor->text(); });
        colourLargeMs = bestOf3(nullptr, [&] { runs = Colouring::colour(text, keywords); });
        applyLargeMs = bestOf3(nullptr, [&] {
            editor->applyColours(runs);
            editor->viewport()->repaint();
        });
    }
    editor->setText(QString());
    QCoreApplication::processEvents();
    const double colourBase =
        bestOf3([&] { plain->clear(); }, [&] { baselineRun(*plain, largeText); });
    std::printf("ColorCode 10 MB (%lld bytes) window %8.1f   plain %8.1f   ratio %5.2f\n",
                qlonglong(large.size()), colourCodeMs, colourBase, colourCodeMs / colourBase);
    std::printf("  parts: text() %.1f, colour (runs) %.1f, applyColours + paint %.1f\n\n",
                textLargeMs, colourLargeMs, applyLargeMs);

    // Peak memory, each case in a process of its own so that freed memory is not reused.
    const double mb = double(large.size()) / (1 << 20);
    const struct {
        const char* mode;
        const char* what;
    } cases[] = {{"--peak-window", "window: open the 10 MB snippet, ColorCode"},
                 {"--peak-plain", "plain QPlainTextEdit, read, decode, setPlainText"},
                 {"--peak-plain-formats", "plain QPlainTextEdit, one format range per line"}};
    for (const auto& c : cases) {
        QProcess self;
        self.start(QCoreApplication::applicationFilePath(), {QLatin1String(c.mode)});
        self.waitForFinished(-1);
        const QList<QByteArray> kb = self.readAllStandardOutput().trimmed().split(' ');
        if (kb.size() != 2) {
            std::printf("peak memory, %s: not measured\n", c.what);
            continue;
        }
        const double above = kb[0].toDouble() / 1024;
        std::printf("peak memory, %-48s %6.0f MB above the %.0f MB before (%.1fx the file)\n",
                    c.what, above, kb[1].toDouble() / 1024, above / mb);
    }
    return 0;
}
