// SPDX-License-Identifier: MIT
// The snippet list, opening, saving, deleting and colouring.
#include "app/frmmain.h"

#include "app/savetarget.h"
#include "editor/codeeditor.h"
#include "editor/keywordlist.h"
#include "editor/languages.h"
#include "library/names.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

using Names::SnippetEnding;
const char* const NoCategoryReason = QT_TRANSLATE_NOOP("frmMain", "no category is selected");
// Longer snippets load in slices, each short enough that the window keeps answering: a piece is
// a millisecond or two of the document's work (ten, now and then, when the document grows its
// own buffers), and a slice ends with the first piece past its time.
constexpr qsizetype LoadInOneGo = 1 << 20;
constexpr qsizetype PieceBytes = 16 * 1024;
constexpr qint64 SliceMilliseconds = 5;
constexpr int ReadPollMilliseconds = 10;
// A keyword list is a few KB; a larger file is no list, and colouring goes on without one.
constexpr qint64 KeywordListLimit = qint64(16) << 20;
const char* const WaitText =
    QT_TRANSLATE_NOOP("frmMain", "Loading and processing code file... Please wait.");
const char* const ListOfOtherFolderReason =
    QT_TRANSLATE_NOOP("frmMain", "the list no longer shows the snippets of the selected category");

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
        return tr(NoCategoryReason);
    if (folderOfNode(node) != m_listFolder)
        return tr(ListOfOtherFolderReason);
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
    // A Ctrl+click or Ctrl+Space takes the selection away; the tree never leaves the categories
    // without one, so the node the click left current stays selected.
    if (QTreeWidgetItem* current = tvwFolders->currentItem();
        current && tvwFolders->selectedItems().isEmpty()) {
        const QSignalBlocker quiet(tvwFolders);
        current->setSelected(true);
        tvwFolders->viewport()->update();
    }
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
    // Already being opened, by the click this selection came from.
    if (m_loading && m_loading->folder == m_listFolder && m_loading->name == entry->text(0))
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
    keepDiscardedText();
    m_syntaxOn = false; // the new text is coloured when asked, by its own category's choice
    txtCodeFile->setText(text);
    m_textEncoding = SnippetCodec::NewTextEncoding;
    m_textLineEnd = SnippetCodec::NewTextLineEnd;
}

// A long file is read, and its encoding settled, on a thread of its own. The window looks for the
// result between event passes and takes it from under the mutex: nothing crosses the threads
// through Qt.
struct frmMain::BackgroundRead {
    std::atomic<bool> cancel = false;
    std::atomic<bool> done = false;
    std::mutex mutex;
    LibraryFs::Read read;                              // guarded by mutex
    std::optional<SnippetCodec::PieceDecoder> decoder; // guarded by mutex
    std::thread thread;

    ~BackgroundRead() {
        cancel.store(true, std::memory_order_release);
        if (thread.joinable())
            thread.join();
    }
};

bool frmMain::stillSelected(const QString& folder, const QString& name) const {
    // By name, not by item: an event pass or a box may have deleted and remade the items.
    const QTreeWidgetItem* entry = selectedEntry();
    const QTreeWidgetItem* node = selectedNode();
    return entry && entry->text(0) == name && m_listFolder == folder &&
           folderOfNode(node) == folder && listMismatch(node).isEmpty();
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

    keepDiscardedText();
    const quint64 thisOpen = ++m_openCount;
    abandonLoading();
    setHeld(QString(), QString());
    // The load starts with the click: from here on commands refuse, or find nothing to act on,
    // rather than take the wait text for the snippet.
    m_panelTextBeforeLoading = statusPanels[0]->text();
    m_loading.emplace(Loading{thisOpen, folder, name, std::nullopt, nullptr});
    txtCodeFile->showWaitText(tr(WaitText));
    txtCodeFile->viewport()->repaint();
    QCoreApplication::processEvents();
    // Anything handled in that pass that opened something newer, closed the window or changed
    // what is selected has ended this load or makes it moot.
    if (thisOpen != m_openCount || !m_loading || m_loading->open != thisOpen)
        return;
    if (m_closing || !stillSelected(folder, name)) {
        abandonLoading();
        if (!m_closing)
            setNewText(QString());
        return;
    }

    const LibraryFs::Stamp stamp = fs().stamp(path);
    if (stamp.regular && stamp.size > LoadInOneGo && stamp.size <= LibraryFs::SnippetReadLimit) {
        // Reading and checking 50 MB takes the better part of a second, longer from a cold disk.
        auto reading = std::make_shared<BackgroundRead>();
        BackgroundRead* shared = reading.get();
        m_loading->reading = std::move(reading);
        statusPanels[0]->setText(tr("Loading: 0%"));
        LibraryFs* disk = &fs();
        shared->thread =
            std::thread([shared, disk, ownPath = QString(path.constData(), path.size())] {
                LibraryFs::Read read =
                    disk->readFile(ownPath, LibraryFs::SnippetReadLimit, &shared->cancel);
                std::optional<SnippetCodec::PieceDecoder> decoder;
                // Bytes few enough to colour by a language stay for the parse ahead of showing.
                if (read.result.ok && !shared->cancel.load(std::memory_order_acquire))
                    decoder.emplace(read.bytes.size() <= 3 * qsizetype(Languages::SizeLimit)
                                        ? read.bytes
                                        : std::exchange(read.bytes, QByteArray()));
                const std::lock_guard lock(shared->mutex);
                shared->read = std::move(read);
                shared->decoder = std::move(decoder);
                shared->done.store(true, std::memory_order_release);
            });
        loadTimer()->start(ReadPollMilliseconds);
        return;
    }
    openRead(fs().readFile(path, LibraryFs::SnippetReadLimit), std::nullopt);
}

QTimer* frmMain::loadTimer() {
    if (!m_loadTimer) {
        m_loadTimer = new QTimer(this);
        m_loadTimer->setSingleShot(true);
        connect(m_loadTimer, &QTimer::timeout, this, &frmMain::loadSlice);
    }
    return m_loadTimer;
}

void frmMain::openRead(LibraryFs::Read read, std::optional<SnippetCodec::PieceDecoder> decoder) {
    Loading& load = *m_loading;
    if (m_closing || !stillSelected(load.folder, load.name)) {
        abandonLoading();
        if (!m_closing)
            setNewText(QString());
        return;
    }
    if (!read.result.ok) {
        const QString path = LibraryFs::fileInFolder(load.folder, load.name + SnippetEnding);
        abandonLoading();
        setNewText(QString());
        clearListSelection();
        dialogs().error(failureText(QStringLiteral("code file"), path, QStringLiteral("opened"),
                                    read.result.reason));
        return;
    }
    load.syntaxAhead = parseSyntaxAhead(load.folder, read.bytes);
    if (!decoder)
        decoder.emplace(std::move(read.bytes));
    read.bytes = QByteArray();
    txtCodeFile->beginLoading(decoder->size() > LoadInOneGo);
    load.decoder = std::move(decoder);
    loadSlice();
}

void frmMain::loadSlice() {
    if (!m_loading)
        return;
    Loading& load = *m_loading;
    if (m_closing || load.open != m_openCount || !stillSelected(load.folder, load.name)) {
        // Whatever took the selection away has been done; a read stops, the half-loaded text
        // goes.
        abandonLoading();
        if (!m_closing)
            setNewText(QString());
        return;
    }
    if (!load.decoder) {
        if (!load.reading)
            return;
        if (!load.reading->done.load(std::memory_order_acquire)) {
            m_loadTimer->start(ReadPollMilliseconds);
            return;
        }
        LibraryFs::Read read;
        std::optional<SnippetCodec::PieceDecoder> arrived;
        {
            const std::lock_guard lock(load.reading->mutex);
            read = std::move(load.reading->read);
            arrived = std::move(load.reading->decoder);
        }
        load.reading.reset();
        openRead(std::move(read), std::move(arrived));
        return;
    }
    SnippetCodec::PieceDecoder& decoder = *load.decoder;
    QElapsedTimer slice;
    slice.start();
    const bool inOneGo = decoder.size() <= LoadInOneGo;
    bool appended = false;
    while (!decoder.atEnd() && (inOneGo || slice.elapsed() < SliceMilliseconds)) {
        txtCodeFile->appendLoadedText(decoder.next(PieceBytes));
        appended = true;
    }
    // The end of the load, colouring and showing the text, gets an event pass of its own.
    if (!decoder.atEnd() || (appended && !inOneGo)) {
        const int percent = int(decoder.position() * 100 / std::max<qsizetype>(1, decoder.size()));
        statusPanels[0]->setText(tr("Loading: %1%").arg(percent));
        loadTimer()->start(0);
        return;
    }
    m_textEncoding = decoder.encoding();
    m_textLineEnd = decoder.lineEnd();
    const Held held{load.folder, load.name};
    const quint64 ahead = load.syntaxAhead;
    abandonLoading();
    setHeld(held.folder, held.name);
    m_syntaxAhead = ahead;
    ColorCode();
    m_syntaxAhead = 0;
    placeFoundCaret();
}

void frmMain::abandonLoading() {
    if (!m_loading)
        return;
    // A read still running stops at its next block; the thread is joined here.
    m_loading.reset();
    if (m_loadTimer)
        m_loadTimer->stop();
    statusPanels[0]->setText(m_panelTextBeforeLoading);
}

bool frmMain::refusedWhileLoading(const QString& action) {
    if (!m_loading)
        return false;
    dialogs().error(
        //: %1 what could not be done ("saved"), %2 the file's path
        tr("The code cannot be %1: the code file \"%2\" is still being opened.")
            .arg(failurePart(action),
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
        dialogs().error(
            failureText(QStringLiteral("code file"),
                        LibraryFs::fileInFolder(m_listFolder, entry->text(0) + SnippetEnding),
                        QStringLiteral("saved"), tr("the editor does not show that snippet")));
        return;
    case SaveTarget::Decision::WriteSelected:
        break;
    }
    const QString path = heldFile();
    const QByteArray bytes =
        SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd);
    keepOnDisk(path);
    const LibraryFs::Result written = fs().writeSnippet(path, bytes);
    m_index->fileChanged(path);
    if (!written.ok) {
        dialogs().error(failureText(QStringLiteral("code file"), written.path,
                                    QStringLiteral("saved"), written.reason));
        return;
    }
    record(History::Action::Save, path, bytes);
    txtCodeFile->markClean();
}

void frmMain::SaveAs() {
    if (refusedWhileLoading(QStringLiteral("saved")))
        return;
    const QTreeWidgetItem* node = selectedNode();
    const QString mismatch = listMismatch(node);
    switch (SaveTarget::forSaveAs(selectionsOf(lstCode, node, nullptr, mismatch, QString()))) {
    case SaveTarget::Decision::RefuseRoot:
        dialogs().message({tr("You cannot save code in the root directory."), tr("Error"),
                           Dialogs::Icon::Information});
        return;
    case SaveTarget::Decision::RefuseOtherList:
        dialogs().error(
            tr("The code cannot be saved into \"%1\": %2.").arg(folderOfNode(node), mismatch));
        return;
    default:
        break;
    }
    const QString folder = folderOfNode(node);
    const QString answer =
        dialogs().input(tr("Enter a filename: "), tr("Save Code"), tr("untitled.code"));
    if (answer.isEmpty())
        return;
    const QString fileName = Names::fileNameForAnswer(answer);
    if (Names::isForbidden(answer) || Names::isForbidden(fileName)) {
        dialogs().message({Names::snippetRefusalText(), tr("Save Code"), Dialogs::Icon::Error});
        return;
    }
    const QString path = LibraryFs::fileInFolder(folder, fileName);
    if (fs().fileExists(path)) {
        const Dialogs::Button answerReplace = dialogs().message(
            {tr("%1 already exists. Do you want to replace it?").arg(fileName), tr("Save Code"),
             Dialogs::Icon::Warning, Dialogs::Buttons::YesNo, Dialogs::Button::No});
        if (answerReplace == Dialogs::Button::No)
            return;
    }
    const QByteArray bytes =
        SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd);
    keepOnDisk(path);
    const LibraryFs::Result written = fs().writeSnippet(path, bytes);
    m_index->fileChanged(path);
    if (!written.ok) {
        dialogs().error(failureText(QStringLiteral("code file"), written.path,
                                    QStringLiteral("saved"), written.reason));
        return;
    }
    record(History::Action::SaveAs, path, bytes);
    txtCodeFile->markClean();
    const QString entryText = Names::entryTextForFileName(fileName);
    // The user just named this file: the next Save must write it, not the entry opened before.
    setHeld(folder, entryText);
    // The boxes ran an event loop: only a list that still shows the folder gains the entry.
    if (m_listFolder != folder)
        return;
    if (!hasEntry(entryText))
        addListEntry(entryText);
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

void frmMain::lstCode_MouseUp(int button, std::optional<QPoint> at) {
    if (button != 2)
        return;
    // The pop-up acts on the entry under the pointer: it is selected and opened as a left click
    // would, so the list's selection stays the snippet the editor holds. The open already
    // selected is left as it is, edits and all.
    if (QTreeWidgetItem* entry = at ? lstCode->itemAt(*at) : nullptr;
        entry && !entry->isSelected()) {
        const QString name = entry->text(0);
        {
            const QSignalBlocker quiet(lstCode);
            lstCode->setCurrentItem(entry);
        }
        lstCode_ItemClick();
        // The open runs events and may be refused; a pop-up for another entry would mislead.
        const QTreeWidgetItem* selected = selectedEntry();
        if (!selected || selected->text(0) != name)
            return;
    }
    mnuDeleteFile->setEnabled(lstCode->topLevelItemCount() > 0);
    mnuCodePopup->popup(popupPoint());
}

void frmMain::mnuDeleteFile_Click() {
    const QTreeWidgetItem* entry = selectedEntry();
    if (!entry) {
        dialogs().error(tr("No code file is selected in the list, so nothing was "
                           "deleted."));
        return;
    }
    const QString name = entry->text(0);
    const QString fileName = name + SnippetEnding;
    const QTreeWidgetItem* node = selectedNode();
    if (const QString refusal = entryRefusal(node, fileName, QStringLiteral("deleted"));
        !refusal.isEmpty()) {
        dialogs().error(refusal);
        return;
    }
    const QString folder = folderOfNode(node);
    const Dialogs::Button answer =
        dialogs().message({tr("Are you sure you want to delete this file?"), tr("Delete File"),
                           Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Button::Yes});
    if (answer == Dialogs::Button::No)
        return;
    const QString path = LibraryFs::fileInFolder(folder, fileName);
    keepOnDisk(path);
    const LibraryFs::Result removed = fs().deleteSnippet(path);
    m_index->fileChanged(path);
    if (!removed.ok) {
        dialogs().error(failureText(QStringLiteral("code file"), removed.path,
                                    QStringLiteral("deleted"), removed.reason));
        return;
    }
    record(History::Action::Delete, path);
    // An open of that file still under way has nothing left to show.
    if (m_loading && m_loading->folder == folder && m_loading->name == name)
        abandonLoading();
    {
        // The box ran an event loop, so the entry is found again by its name. The view would move
        // the selection to the next entry, which the editor does not hold.
        const QSignalBlocker quiet(lstCode);
        for (int i = 0; m_listFolder == folder && i < lstCode->topLevelItemCount(); ++i) {
            if (lstCode->topLevelItem(i)->text(0) == name) {
                delete lstCode->topLevelItem(i);
                break;
            }
        }
        lstCode->clearSelection();
    }
    // Kept under the name of the snippet it came from, before the editor lets go of it.
    keepDiscardedText();
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
    const LibraryFs::Read list = fs().readFile(fs().keywordFilePath(), KeywordListLimit);
    if (list.result.ok)
        keywords = KeywordList::parse(SnippetCodec::decodeText(list.bytes));
    txtCodeFile->suspendPainting();
    if (!colourBySyntax())
        txtCodeFile->colourAll(keywords);
    // A snippet that has just arrived is shown now, already in its colours.
    const int caret = txtCodeFile->textLength() == 0 ? 0 : 1;
    txtCodeFile->finishLoading(caret);
    // Placing the caret again would make Qt go over the whole of a long first line.
    if (txtCodeFile->selectionStart() != caret || txtCodeFile->selectionLength() != 0)
        txtCodeFile->setSelectionStart(caret);
    txtCodeFile->resumePainting();
}
