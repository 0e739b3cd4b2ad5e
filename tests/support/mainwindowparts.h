// SPDX-License-Identifier: MIT
#pragma once

#include "app/frmmain.h"
#include "editor/codeeditor.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

// The main window's widgets and menu items, found by their object names, which are the
// program's own names for them: tests reach them as a user's tools would, not through members.
struct MainWindowParts {
    explicit MainWindowParts(const frmMain& w) {
        auto child = [&w]<typename T>(T*& into, const char* name) {
            into = w.findChild<T*>(QLatin1String(name));
            if (!into)
                qFatal("the main window has no %s", name);
        };
        child(tvwFolders, "tvwFolders");
        child(lstCode, "lstCode");
        child(txtCodeFile, "txtCodeFile");
        child(Toolbar1, "Toolbar1");
        child(StatusBar, "StatusBar");
        child(tmrEdit, "tmrEdit");
        for (int i = 1; i <= 5; ++i)
            statusPanels.append(w.findChild<QLabel*>(QStringLiteral("StatusBarPanel%1").arg(i)));
        for (int i = 1; i <= 8; ++i)
            toolbarButtons.append(w.findChild<QAction*>(QStringLiteral("Toolbar1Action%1").arg(i)));
        child(mnuFile, "mnuFile");
        child(mnuFolderPopup, "mnuFolderPopup");
        child(mnuCodePopup, "mnuCodePopup");
        child(mnuEditPopup, "mnuEditPopup");
        child(mnuComment, "mnuComment");
        child(mnuHelp, "mnuHelp");
        child(mnuSave, "mnuSave");
        child(mnuSaveAs, "mnuSaveAs");
        child(mnuAddCat, "mnuAddCat");
        child(mnuRemoveCat, "mnuRemoveCat");
        child(mnuQuit, "mnuQuit");
        child(mnuAddCategory, "mnuAddCategory");
        child(mnuRemoveCategory, "mnuRemoveCategory");
        child(mnuDeleteFile, "mnuDeleteFile");
        child(mnuUndo, "mnuUndo");
        child(mnuDelete, "mnuDelete");
        child(mnuCut, "mnuCut");
        child(mnuCopy, "mnuCopy");
        child(mnuPaste, "mnuPaste");
        child(mnuCommentSelected, "mnuCommentSelected");
        child(mnuCommentWholeLine, "mnuCommentWholeLine");
        child(mnuCommentFromHere, "mnuCommentFromHere");
        child(mnuContents, "mnuContents");
        child(mnuAbout, "mnuAbout");
        child(mnuFind, "mnuFind");
    }

    QTreeWidget* tvwFolders = nullptr;
    QTreeWidget* lstCode = nullptr;
    CodeEditor* txtCodeFile = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QStatusBar* StatusBar = nullptr;
    QTimer* tmrEdit = nullptr;
    QList<QLabel*> statusPanels;    // panels 1 to 5 at indices 0 to 4
    QList<QAction*> toolbarButtons; // positions 1 to 8, separators included
    QMenu* mnuFile = nullptr;
    QMenu* mnuFolderPopup = nullptr;
    QMenu* mnuCodePopup = nullptr;
    QMenu* mnuEditPopup = nullptr;
    QMenu* mnuComment = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuAddCat = nullptr;
    QAction* mnuRemoveCat = nullptr;
    QAction* mnuQuit = nullptr;
    QAction* mnuAddCategory = nullptr;
    QAction* mnuRemoveCategory = nullptr;
    QAction* mnuDeleteFile = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuDelete = nullptr;
    QAction* mnuCut = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QAction* mnuCommentSelected = nullptr;
    QAction* mnuCommentWholeLine = nullptr;
    QAction* mnuCommentFromHere = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuFind = nullptr;
};

inline MainWindowParts ui(const frmMain& w) {
    return MainWindowParts(w);
}
