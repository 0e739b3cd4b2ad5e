// SPDX-License-Identifier: MIT
// The snippet list, opening, saving, deleting and colouring.
#include "app/frmmain.h"

#include "app/savetarget.h"
#include "editor/codeeditor.h"
#include "editor/keywordlist.h"
#include "library/names.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

namespace {

using Names::SnippetEnding;
const QString NoCategoryReason = QStringLiteral("no category is selected");
// Longer snippets load in slices, each short enough that the window keeps answering.
constexpr qsizetype LoadInOneGo = 1 << 20;
constexpr qsizetype PieceBytes = 256 * 1024;
constexpr qint64 SliceMilliseconds = 40;
const QString ListOfOtherFolderReason =
    QStringLiteral("the list no longer shows the snippets of the selected category");

} // namespace

// List ----------------------------------------------------------------------------------------

QTreeWidgetItem* frmMain::selectedEntry() const {
    const auto selected = lstCode->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

bool frmMain::hasEntry(const QString& text) const {
    for (int i = 0; i < lstCode->topLevelItemCount(); ++i) {
        if (lstCode->topLevelItem(i)->text(0) == text)
            return true;
    }
    return false;
}

QString frmMain::listMismatch(const QTreeWidgetItem* node) const {
    if (isRoot(node))
        return NoCategoryReason;
    if (folderOfNode(node) != m_listFolder)
        return ListOfOtherFolderReason;
    return QString();
}

QString frmMain::entryRefusal(const QTreeWidgetItem* node, const QString& fileName,
                              const QString& action) const {
    const QString mismatch = listMismatch(node);
    if (mismatch.isEmpty())
        return QString();
    // The entry belongs to the folder the list was filled from, whatever node is selected now.
    const QString named =
        m_listFolder.isEmpty() ? fileName : LibraryFs::fileInFolder(m_listFolder, fileName);
    return failureText(QStringLiteral("code file"), named, action, mismatch);
}

void frmMain::addListEntry(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setIcon(0, m_pageIcon);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    const QSignalBlocker quiet(lstCode);
    lstCode->addTopLevelItem(item);
}

void frmMain::tvwFolders_NodeClick(QTreeWidgetItem* node) {
    // Clearing also drops the current entry, so nothing is selected after a refill and Save never
    // guesses its target.
    {
        const QSignalBlocker quiet(lstCode);
        lstCode->clear();
    }
    if (isRoot(node)) {
        m_listFolder.clear();
        return;
    }
    const QString folder = folderOfNode(node);
    m_listFolder = folder;
    const LibraryFs::Listing files = fs().listFiles(folder);
    if (!files.result.ok) {
        dialogs().error(failureText(QStringLiteral("category folder"), files.result.path,
                                    QStringLiteral("read"), files.result.reason));
        return;
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(files.names.size());
    for (const QString& file : files.names) {
        const QString name = Names::snippetNameOfFile(file);
        if (name.isNull())
            continue;
        auto* item = new QTreeWidgetItem(QStringList{name});
        item->setIcon(0, m_pageIcon);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        items.append(item);
    }
    // One insertion keeps a large folder quick to show.
    const QSignalBlocker quiet(lstCode);
    lstCode->setUpdatesEnabled(false);
    lstCode->addTopLevelItems(items);
    lstCode->setUpdatesEnabled(true);
}

// The selection rule ------------------------------------------------------------------------

void frmMain::setHeld(const QString& folder, const QString& name) {
    m_held = {folder, name};
}

QString frmMain::heldFile() const {
    if (m_held.name.isNull())
        return QString();
    return LibraryFs::fileInFolder(m_held.folder, m_held.name + SnippetEnding);
}

void frmMain::clearListSelection() {
    const QSignalBlocker quiet(lstCode);
    lstCode->clearSelection();
}

void frmMain::syncListToTree() {
    if (!m_loaded || m_treeMouseDown)
        return;
    const QTreeWidgetItem* node = selectedNode();
    const bool listed = isRoot(node) ? m_listFolder.isEmpty() && lstCode->topLevelItemCount() == 0
                                     : folderOfNode(node) == m_listFolder;
    if (!listed)
        tvwFolders_NodeClick(const_cast<QTreeWidgetItem*>(node));
}

void frmMain::syncEditorToList() {
    if (!m_loaded || m_listMouseDown)
        return;
    const QTreeWidgetItem* entry = selectedEntry();
    if (!entry)
        return;
    if (m_held.folder == m_listFolder && m_held.name == entry->text(0) && !m_held.name.isNull())
        return;
    lstCode_ItemClick();
}

bool frmMain::selectAndOpen(QTreeWidgetItem* node, const QString& snippetName) {
    if (!node)
        return false;
    tvwFolders->scrollToItem(node);
    tvwFolders->setCurrentItem(node);
    // A click on the node that is already selected lists its folder again, as the search wants.
    tvwFolders_NodeClick(node);
    for (int i = 0; i < lstCode->topLevelItemCount(); ++i) {
        QTreeWidgetItem* entry = lstCode->topLevelItem(i);
        if (entry->text(0) != snippetName)
            continue;
        {
            const QSignalBlocker quiet(lstCode);
            lstCode->setCurrentItem(entry);
        }
        lstCode->scrollToItem(entry);
        lstCode_ItemClick();
        return selectedEntry() == entry && m_held.name == snippetName;
    }
    return false;
}

// Opening -------------------------------------------------------------------------------------

void frmMain::setNewText(const QString& text) {
    txtCodeFile->setText(text);
    m_textEncoding = SnippetCodec::NewTextEncoding;
    m_textLineEnd = SnippetCodec::NewTextLineEnd;
}

void frmMain::lstCode_ItemClick() {
    const QTreeWidgetItem* entry = selectedEntry();
    if (!entry)
        return;
    const QString name = entry->text(0);
    const QString fileName = name + SnippetEnding;
    const QTreeWidgetItem* node = selectedNode();
    if (const QString refusal = entryRefusal(node, fileName, QStringLiteral("opened"));
        !refusal.isEmpty()) {
        // Nothing was read, so the editor keeps its text; the entry it did not open goes.
        clearListSelection();
        dialogs().error(refusal);
        return;
    }
    const QString folder = folderOfNode(node);
    const QString path = LibraryFs::fileInFolder(folder, fileName);

    const quint64 thisOpen = ++m_openCount;
    abandonLoading();
    setHeld(QString(), QString());
    txtCodeFile->setText(QStringLiteral("Loading and processing code file... Please wait."));
    txtCodeFile->viewport()->repaint();
    QCoreApplication::processEvents();
    // A click handled in that pass has opened something newer, or changed what is selected.
    if (thisOpen != m_openCount)
        return;
    if (selectedEntry() != entry || selectedNode() != node || !listMismatch(node).isEmpty()) {
        setNewText(QString());
        return;
    }

    const LibraryFs::Read read = fs().readFile(path);
    if (!read.result.ok) {
        setNewText(QString());
        clearListSelection();
        dialogs().error(failureText(QStringLiteral("code file"), path, QStringLiteral("opened"),
                                    read.result.reason));
        return;
    }
    txtCodeFile->beginLoading(read.bytes.size() > LoadInOneGo);
    m_loading.emplace(Loading{thisOpen, folder, name, SnippetCodec::PieceDecoder(read.bytes)});
    m_panelTextBeforeLoading = statusPanels[0]->text();
    if (!m_loadTimer) {
        m_loadTimer = new QTimer(this);
        m_loadTimer->setSingleShot(true);
        m_loadTimer->setInterval(0);
        connect(m_loadTimer, &QTimer::timeout, this, &frmMain::loadSlice);
    }
    loadSlice();
}

void frmMain::loadSlice() {
    if (!m_loading)
        return;
    Loading& load = *m_loading;
    const QTreeWidgetItem* entry = selectedEntry();
    if (m_closing || load.open != m_openCount || !entry || entry->text(0) != load.name ||
        m_listFolder != load.folder || !listMismatch(selectedNode()).isEmpty()) {
        // Whatever took the selection away has been done; the half-loaded text goes.
        abandonLoading();
        if (!m_closing)
            setNewText(QString());
        return;
    }
    QElapsedTimer slice;
    slice.start();
    const bool inOneGo = load.decoder.size() <= LoadInOneGo;
    while (!load.decoder.atEnd() && (inOneGo || slice.elapsed() < SliceMilliseconds)) {
        txtCodeFile->appendLoadedText(load.decoder.next(PieceBytes));
    }
    if (!load.decoder.atEnd()) {
        const int percent =
            int(load.decoder.position() * 100 / std::max<qsizetype>(1, load.decoder.size()));
        statusPanels[0]->setText(QStringLiteral("Loading: %1%").arg(percent));
        m_loadTimer->start();
        return;
    }
    m_textEncoding = load.decoder.encoding();
    m_textLineEnd = load.decoder.lineEnd();
    const Held held{load.folder, load.name};
    abandonLoading();
    setHeld(held.folder, held.name);
    ColorCode();
    placeFoundCaret();
}

void frmMain::abandonLoading() {
    if (!m_loading)
        return;
    m_loading.reset();
    m_loadTimer->stop();
    statusPanels[0]->setText(m_panelTextBeforeLoading);
}

bool frmMain::refusedWhileLoading(const QString& action) {
    if (!m_loading)
        return false;
    dialogs().error(
        QStringLiteral("The code cannot be %1: the code file \"%2\" is still being opened.")
            .arg(action,
                 LibraryFs::fileInFolder(m_loading->folder, m_loading->name + SnippetEnding)));
    return true;
}

// Saving --------------------------------------------------------------------------------------

namespace {

SaveTarget::Selections selectionsOf(const QTreeWidget* list, const QTreeWidgetItem* node,
                                    const QTreeWidgetItem* entry, const QString& listMismatch,
                                    const QString& heldEntry) {
    SaveTarget::Selections s;
    s.listHasEntries = list->topLevelItemCount() > 0;
    s.rootSelected = frmMain::isRoot(node);
    s.listOfOtherFolder = !s.rootSelected && !listMismatch.isEmpty();
    if (entry)
        s.selectedEntry = entry->text(0);
    s.heldEntry = heldEntry;
    return s;
}

} // namespace

void frmMain::Save() {
    if (refusedWhileLoading(QStringLiteral("saved")))
        return;
    const QTreeWidgetItem* node = selectedNode();
    const QTreeWidgetItem* entry = selectedEntry();
    const QString held = m_held.folder == m_listFolder ? m_held.name : QString();
    const auto decision =
        SaveTarget::forSave(selectionsOf(lstCode, node, entry, listMismatch(node), held));
    if (!entry || decision == SaveTarget::Decision::AskName ||
        decision == SaveTarget::Decision::RefuseRoot) {
        SaveAs();
        return;
    }
    switch (decision) {
    case SaveTarget::Decision::AskName:
    case SaveTarget::Decision::RefuseRoot:
        return;
    case SaveTarget::Decision::RefuseOtherList:
        dialogs().error(
            entryRefusal(node, entry->text(0) + SnippetEnding, QStringLiteral("saved")));
        return;
    case SaveTarget::Decision::RefuseNotHeld:
        dialogs().error(failureText(
            QStringLiteral("code file"),
            LibraryFs::fileInFolder(m_listFolder, entry->text(0) + SnippetEnding),
            QStringLiteral("saved"), QStringLiteral("the editor does not show that snippet")));
        return;
    case SaveTarget::Decision::WriteSelected:
        break;
    }
    const QString path = heldFile();
    const LibraryFs::Result written = fs().writeSnippet(
        path, SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd));
    m_index->fileChanged(path);
    if (!written.ok) {
        dialogs().error(failureText(QStringLiteral("code file"), written.path,
                                    QStringLiteral("saved"), written.reason));
    }
}

void frmMain::SaveAs() {
    if (refusedWhileLoading(QStringLiteral("saved")))
        return;
    const QTreeWidgetItem* node = selectedNode();
    const QString mismatch = listMismatch(node);
    switch (SaveTarget::forSaveAs(selectionsOf(lstCode, node, nullptr, mismatch, QString()))) {
    case SaveTarget::Decision::RefuseRoot:
        dialogs().message({QStringLiteral("You cannot save code in the root directory."),
                           QStringLiteral("Error"), Dialogs::Icon::Information});
        return;
    case SaveTarget::Decision::RefuseOtherList:
        dialogs().error(QStringLiteral("The code cannot be saved into \"%1\": %2.")
                            .arg(folderOfNode(node), mismatch));
        return;
    default:
        break;
    }
    const QString folder = folderOfNode(node);
    const QString answer =
        dialogs().input(QStringLiteral("Enter a filename: "), QStringLiteral("Save Code"),
                        QStringLiteral("untitled.code"));
    if (answer.isEmpty())
        return;
    const QString fileName = Names::fileNameForAnswer(answer);
    if (Names::isForbidden(answer) || Names::isForbidden(fileName)) {
        dialogs().message(
            {Names::snippetRefusalText(), QStringLiteral("Save Code"), Dialogs::Icon::Error});
        return;
    }
    const QString path = LibraryFs::fileInFolder(folder, fileName);
    if (fs().fileExists(path)) {
        const Dialogs::Button answerReplace = dialogs().message(
            {QStringLiteral("%1 already exists. Do you want to replace it?").arg(fileName),
             QStringLiteral("Save Code"), Dialogs::Icon::Warning, Dialogs::Buttons::YesNo,
             Dialogs::Button::No});
        if (answerReplace == Dialogs::Button::No)
            return;
    }
    const LibraryFs::Result written = fs().writeSnippet(
        path, SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd));
    m_index->fileChanged(path);
    if (!written.ok) {
        dialogs().error(failureText(QStringLiteral("code file"), written.path,
                                    QStringLiteral("saved"), written.reason));
        return;
    }
    const QString entryText = Names::entryTextForFileName(fileName);
    if (!hasEntry(entryText))
        addListEntry(entryText);
    // The user just named this file: the next Save must write it, not the entry opened before.
    setHeld(folder, entryText);
    const QSignalBlocker quiet(lstCode);
    for (int i = 0; i < lstCode->topLevelItemCount(); ++i) {
        if (QTreeWidgetItem* item = lstCode->topLevelItem(i); item->text(0) == entryText) {
            lstCode->setCurrentItem(item);
            lstCode->scrollToItem(item);
            break;
        }
    }
}

// Deleting ------------------------------------------------------------------------------------

void frmMain::lstCode_MouseUp(int button) {
    if (button != 2)
        return;
    mnuDeleteFile->setEnabled(lstCode->topLevelItemCount() > 0);
    mnuCodePopup->popup(popupPoint());
}

void frmMain::mnuDeleteFile_Click() {
    QTreeWidgetItem* entry = selectedEntry();
    if (!entry) {
        dialogs().error(QStringLiteral("No code file is selected in the list, so nothing was "
                                       "deleted."));
        return;
    }
    const QString fileName = entry->text(0) + SnippetEnding;
    const QTreeWidgetItem* node = selectedNode();
    if (const QString refusal = entryRefusal(node, fileName, QStringLiteral("deleted"));
        !refusal.isEmpty()) {
        dialogs().error(refusal);
        return;
    }
    const Dialogs::Button answer =
        dialogs().message({QStringLiteral("Are you sure you want to delete this file?"),
                           QStringLiteral("Delete File"), Dialogs::Icon::Question,
                           Dialogs::Buttons::YesNo, Dialogs::Button::Yes});
    if (answer == Dialogs::Button::No)
        return;
    const QString path = LibraryFs::fileInFolder(folderOfNode(node), fileName);
    const LibraryFs::Result removed = fs().deleteSnippet(path);
    m_index->fileChanged(path);
    if (!removed.ok) {
        dialogs().error(failureText(QStringLiteral("code file"), removed.path,
                                    QStringLiteral("deleted"), removed.reason));
        return;
    }
    {
        // The view would move the selection to the next entry, which the editor does not hold.
        const QSignalBlocker quiet(lstCode);
        delete entry;
        lstCode->clearSelection();
    }
    setHeld(QString(), QString());
    setNewText(QString());
}

// Colouring -----------------------------------------------------------------------------------

void frmMain::ColorCode() {
    // A snippet still loading is coloured when it has arrived.
    if (m_loading)
        return;
    // Read at every colouring, so an edited list takes effect at once; without it, comments only.
    QStringList keywords;
    const LibraryFs::Read list = fs().readFile(fs().keywordFilePath());
    if (list.result.ok)
        keywords = KeywordList::parse(SnippetCodec::decodeText(list.bytes));
    txtCodeFile->suspendPainting();
    txtCodeFile->colourAll(keywords);
    // A snippet that has just arrived is shown now, already in its colours.
    txtCodeFile->finishLoading();
    txtCodeFile->setSelectionStart(txtCodeFile->textLength() == 0 ? 0 : 1);
    txtCodeFile->resumePainting();
}
