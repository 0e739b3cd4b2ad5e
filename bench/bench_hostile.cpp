// SPDX-License-Identifier: MIT
// How long the window's handlers take on hostile inputs: a 50 MB snippet, a 10 MB single line,
// a keyword list of 100,000 entries. Each figure is one handler, click to painted; the limit
// is a second on this machine. The baseline is QPlainTextEdit::setPlainText of the same text.
#include "app/frmmain.h"
#include "editor/codeeditor.h"
#include "tests/support/basiccode.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

double timedMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

QTreeWidgetItem* entry(frmMain& w, const QString& text) {
    for (int i = 0; i < ui(w).lstCode->topLevelItemCount(); ++i)
        if (ui(w).lstCode->topLevelItem(i)->text(0) == text)
            return ui(w).lstCode->topLevelItem(i);
    return nullptr;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString lib = dir.path() + QStringLiteral("/Code/Cat/");
    QDir().mkpath(lib);
    const QByteArray huge = BasicCode::repeatedLines(50 * 1024 * 1024);
    QByteArray line(10 * 1024 * 1024, 'x');
    writeFile(lib + QStringLiteral("huge.code"), huge);
    writeFile(lib + QStringLiteral("line.code"), line);
    QByteArray keywords;
    for (int i = 0; i < 100000; ++i)
        keywords += "kw" + QByteArray::number(i) + "\r\n";
    keywords += "dim\r\nas\r\ninteger\r\nfor\r\nto\r\nnext\r\nif\r\nthen\r\nelse\r\nprint\r\n";
    writeFile(dir.path() + QStringLiteral("/wordlist.dat"), keywords);

    frmMain w(dir.path(), std::make_unique<ScriptedDialogs>());
    w.resize(1000, 700);
    w.show();
    (void)QTest::qWaitForWindowExposed(&w);
    QTreeWidgetItem* cat = w.nodeByKey(QStringLiteral("Cat"));
    ui(w).tvwFolders->setCurrentItem(cat);
    w.tvwFolders_NodeClick(cat);

    std::printf("%-46s %10s %10s %8s\n", "handler", "ours ms", "base ms", "ratio");
    for (const auto& [name, bytes] :
         {std::pair{QStringLiteral("huge"), huge}, std::pair{QStringLiteral("line"), line}}) {
        const QString text = QString::fromLatin1(bytes);
        QPlainTextEdit plain;
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        plain.resize(800, 600);
        plain.show();
        const double base = timedMs([&] {
            plain.setPlainText(text);
            plain.viewport()->repaint();
        });
        const double open = timedMs([&] {
            ui(w).lstCode->setCurrentItem(entry(w, name));
            w.lstCode_ItemClick();
            while (ui(w).txtCodeFile->isLoading())
                QCoreApplication::processEvents();
            ui(w).txtCodeFile->viewport()->repaint();
        });
        const double colour = timedMs([&] {
            w.ColorCode();
            ui(w).txtCodeFile->viewport()->repaint();
        });
        const double save = timedMs([&] { w.Save(); });
        std::printf("%-46s %10.0f %10.0f %8.2f\n", qPrintable(QStringLiteral("open ") + name), open,
                    base, open / base);
        std::printf("%-46s %10.0f %10s %8s\n",
                    qPrintable(QStringLiteral("colour ") + name + " (100,010 keywords)"), colour,
                    "", "");
        std::printf("%-46s %10.0f %10s %8s\n", qPrintable(QStringLiteral("save ") + name), save, "",
                    "");
    }
    return 0;
}
