// SPDX-License-Identifier: MIT
#pragma once

#include "app/frmmain.h"
#include "editor/codeeditor.h"
#include "tests/support/gitcheck.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <memory>

// A temporary program folder and the real main window over it.
struct WindowFixture {
    QTemporaryDir dir;
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<frmMain> window;

    // Whatever the test did, the history the window wrote is a sound git repository.
    ~WindowFixture() {
        window.reset();
        const QString git = dir.path() + QStringLiteral("/history.git");
        // The work tree a test may have removed is not what fsck reads.
        if (QFile::exists(git + QStringLiteral("/HEAD")) && !fsckStrict(git, dir.path()))
            QTest::qFail("the history fails git fsck --strict", __FILE__, __LINE__);
    }
    WindowFixture() = default;
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    QString programFolder() const { return dir.path(); }
    QString library() const { return dir.path() + QStringLiteral("/Code/"); }
    QString path(const QString& relative) const { return library() + relative; }

    void makeFolder(const QString& relative) const { QVERIFY(QDir().mkpath(path(relative))); }
    void writeFile(const QString& relative, const QByteArray& bytes) const {
        QFile f(path(relative));
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(f.errorString()));
        f.write(bytes);
    }
    QByteArray readFile(const QString& relative) const {
        QFile f(path(relative));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray();
        return f.readAll();
    }
    void writeWordList(const QByteArray& bytes) const {
        QFile f(dir.path() + QStringLiteral("/wordlist.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Opens the window, with scripted dialogs and optionally an injected file-system object.
    frmMain& open(std::unique_ptr<LibraryFs> fs = nullptr,
                  const std::function<void(ScriptedDialogs&)>& script = {}) {
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        if (script)
            script(*scripted);
        window = std::make_unique<frmMain>(dir.path(), std::move(scripted), std::move(fs));
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("main window not exposed");
        return *window;
    }

    // The window's history, once it has written what it was told; a test of the history fails
    // here, never carries on without one.
    History* historyIdle(int milliseconds = 20000) const {
        History* history = window ? window->history() : nullptr;
        if (!history) {
            QTest::qFail("the window's history is off", __FILE__, __LINE__);
            return nullptr;
        }
        if (!history->waitForIdle(milliseconds)) {
            QTest::qFail("the window's history did not finish", __FILE__, __LINE__);
            return nullptr;
        }
        return history;
    }

    QTreeWidgetItem* node(const QString& key) const { return window->nodeByKey(key); }

    // A real click on a tree node (expanding its parents so it can be seen).
    void clickNode(const QString& key) const {
        QTreeWidgetItem* item = node(key);
        QVERIFY2(item, qPrintable(QStringLiteral("no node keyed ") + key));
        for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
            p->setExpanded(true);
        QTreeWidget* tree = ui(*window).tvwFolders;
        tree->scrollToItem(item);
        const QRect rect = tree->visualItemRect(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::processEvents();
    }

    QTreeWidgetItem* entry(const QString& text) const {
        QTreeWidget* list = ui(*window).lstCode;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(0) == text)
                return list->topLevelItem(i);
        return nullptr;
    }
    QStringList entries() const {
        QStringList out;
        QTreeWidget* list = ui(*window).lstCode;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out.append(list->topLevelItem(i)->text(0));
        return out;
    }
    // A real click on a list entry; by default it waits, as a user would, until a long snippet
    // has finished loading.
    void clickEntry(const QString& text, bool waitForText = true) const {
        QTreeWidgetItem* item = entry(text);
        QVERIFY2(item, qPrintable(QStringLiteral("no entry ") + text));
        QTreeWidget* list = ui(*window).lstCode;
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
        QCoreApplication::processEvents();
        if (waitForText)
            QTRY_VERIFY_WITH_TIMEOUT(!ui(*window).txtCodeFile->isLoading(), 120000);
    }
};
