// SPDX-License-Identifier: MIT
// Finding snippets: the menu item, the index kept fresh, the window, opening what it found.
#include "app/frmmain.h"

#include "editor/codeeditor.h"
#include "library/names.h"
#include "windows/frmfind.h"

#include <QLineEdit>
#include <QMenu>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>

namespace {

// The text offset of the first of `words` from the display line `block` on, -1 for none; only
// through the end of the text's line holding it unless `onward`. A line split for display is
// read a chunk at a time, each with the end of the one before, so a word across a split is found.
int firstFrom(const CodeEditor& editor, QTextBlock block, bool onward, const QStringList& words) {
    qsizetype reach = 0;
    for (const QString& word : words)
        reach = std::max(reach, word.size() - 1);
    QString carried;
    for (; block.isValid(); block = block.next()) {
        const QString text = carried + block.text();
        qsizetype first = -1;
        for (const QString& word : words) {
            const qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive);
            if (at >= 0 && (first < 0 || at < first))
                first = at;
        }
        const int start = editor.textOffset(block.position());
        if (first >= 0)
            return start - int(carried.size()) + int(first);
        // A split leaves no character between chunks: the text's offset does not move over it.
        const int end = block.position() + block.length() - 1;
        const bool split = editor.textOffset(end + 1) == editor.textOffset(end);
        if (!split && !onward)
            return -1;
        carried = split ? text.right(reach) : QString();
    }
    return -1;
}

// Where the caret goes in a found snippet: the first of `words` on the line the index named, or,
// for a name match or a file changed since, on the first line that holds one; 0 when there is
// none. The line is the text's, however the editor splits it for display.
int firstMatch(const CodeEditor& editor, int line, const QStringList& words) {
    const QTextDocument& document = *editor.document();
    if (line > 0 && editor.lineStart(line - 1) < editor.textLength()) {
        const QTextBlock named =
            document.findBlock(editor.documentPosition(editor.lineStart(line - 1)));
        if (const int at = firstFrom(editor, named, false, words); at >= 0)
            return at;
    }
    return std::max(0, firstFrom(editor, document.begin(), true, words));
}

bool indexingAtStart = true;
constexpr int StartDelayMs = 1000;

} // namespace

void frmMain::setIndexingAtStart(bool on) {
    indexingAtStart = on;
}

void frmMain::createFind() {
    mnuEditPopup->addSeparator()->setObjectName(QStringLiteral("sepFind"));
    mnuFind = mnuEditPopup->addAction(tr("&Find Snippets..."));
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
    // Left open behind the main window by an open, it comes back ready for the next query.
    const bool wasVisible = m_find->isVisible();
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
    if (wasVisible) {
        m_find->txtFind->setFocus(Qt::ShortcutFocusReason);
        m_find->txtFind->selectAll();
    }
}

void frmMain::openFound(const SnippetIndex::Hit& found, const QStringList& words) {
    // The open runs events and may show boxes, and whatever `found` lies in may go meanwhile;
    // the same goes for tree and list items, so none is held across it.
    const SnippetIndex::Hit hit = found;
    const QString folder = hit.subCategory.isEmpty()
                               ? fs().categoryFolder(hit.category)
                               : fs().subCategoryFolder(hit.category, hit.subCategory);
    const QString path = LibraryFs::fileInFolder(folder, Names::snippetFileName(hit.name));
    QTreeWidgetItem* node = childWithText(rootNode(), hit.category);
    if (node && !hit.subCategory.isEmpty())
        node = childWithText(node, hit.subCategory);
    const bool listed = node != nullptr;
    // A long snippet is still loading when the open returns: the end of the load places the caret.
    m_foundCaret = FoundCaret{folder, hit.name, hit.line, words};
    if (listed)
        selectAndOpen(node, hit.name);
    const QTreeWidgetItem* entry = selectedEntry();
    const bool selected = m_listFolder == folder && entry && entry->text(0) == hit.name;
    if ((m_held.folder == folder && m_held.name == hit.name) ||
        (selected && txtCodeFile->isLoading())) {
        // The user goes on in the snippet: keys typed now belong to it, not to the query.
        activateWindow();
        txtCodeFile->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_foundCaret.reset();
    // The open has said why it failed, or the user chose something else while it ran.
    if (listed && (m_listFolder != folder || hasEntry(hit.name)))
        return;
    // Gone since it was indexed: opening it fails as opening a vanished entry does. The file is
    // only opened, never read, to learn why.
    const LibraryFs::Read look = fs().readFile(path, 0);
    dialogs().error(
        failureText(QStringLiteral("code file"), path, QStringLiteral("opened"),
                    look.stamp.exists ? tr("it is no longer listed") : look.result.reason));
    if (!look.stamp.exists)
        m_index->fileChanged(path);
}

void frmMain::placeFoundCaret() {
    const std::optional<FoundCaret> found = std::exchange(m_foundCaret, std::nullopt);
    if (!found || m_held.folder != found->folder || m_held.name != found->name)
        return;
    txtCodeFile->setSelectionStart(firstMatch(*txtCodeFile, found->line, found->words));
    txtCodeFile->ensureCursorVisible();
}

frmFind* frmMain::findWindow() const {
    return m_find;
}
