// SPDX-License-Identifier: MIT
// Finding snippets: the menu item, the index kept fresh, the window, opening what it found.
#include "app/frmmain.h"

#include "editor/codeeditor.h"
#include "library/names.h"
#include "windows/frmfind.h"

#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

namespace {

QTreeWidgetItem* childWithText(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    }
    return nullptr;
}

bool indexingAtStart = true;
constexpr int StartDelayMs = 1000;

} // namespace

void frmMain::setIndexingAtStart(bool on) {
    indexingAtStart = on;
}

void frmMain::createFind() {
    mnuEditPopup->addSeparator()->setObjectName(QStringLiteral("sepFind"));
    mnuFind = mnuEditPopup->addAction(QStringLiteral("&Find Snippets..."));
    mnuFind->setObjectName(QStringLiteral("mnuFind"));
    mnuFind->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    connect(mnuFind, &QAction::triggered, this, &frmMain::ShowFind);

    m_index = std::make_unique<SnippetIndex>(m_locations);
    // Once start-up is over: the pass runs on its own thread, the window is usable meanwhile,
    // and the first Find Snippets window starts it at once if it comes earlier.
    if (indexingAtStart)
        QTimer::singleShot(StartDelayMs, m_index.get(), [this] { m_index->refresh(); });
}

void frmMain::ShowFind() {
    if (!m_find) {
        m_find = new frmFind(*m_index, this);
        connect(m_find, &frmFind::openRequested, this,
                [this](const SnippetIndex::Hit& hit, const QStringList& words) {
                    openFound(hit, words);
                });
    }
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
}

void frmMain::openFound(const SnippetIndex::Hit& hit, const QStringList& words) {
    QTreeWidgetItem* node = childWithText(rootNode(), hit.category);
    if (node && !hit.subCategory.isEmpty())
        node = childWithText(node, hit.subCategory);
    if (node && selectAndOpen(node, hit.name)) {
        const QString text = txtCodeFile->text();
        qsizetype first = -1;
        for (const QString& word : words) {
            const qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive);
            if (at >= 0 && (first < 0 || at < first))
                first = at;
        }
        txtCodeFile->setSelectionStart(int(qMax<qsizetype>(first, 0)));
        txtCodeFile->ensureCursorVisible();
        return;
    }
    // Listed but not opened: the open has said why. Not listed: the file has gone since it was
    // indexed, and opening it fails as opening a vanished entry does.
    const QString folder = hit.subCategory.isEmpty()
                               ? fs().categoryFolder(hit.category)
                               : fs().subCategoryFolder(hit.category, hit.subCategory);
    const QString path = LibraryFs::fileInFolder(folder, Names::snippetFileName(hit.name));
    if (!node || !hasEntry(hit.name)) {
        const LibraryFs::Read read = fs().readFile(path);
        dialogs().error(failureText(QStringLiteral("code file"), path, QStringLiteral("opened"),
                                    read.result.ok ? QStringLiteral("it is no longer listed")
                                                   : read.result.reason));
    }
    m_index->fileChanged(path);
}

frmFind* frmMain::findWindow() const {
    return m_find;
}
