// The snippet list, opening, saving, deleting and colouring.
#include "frmmain.h"

#include "codeeditor.h"
#include "colouring.h"
#include "keywordlist.h"
#include "names.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QTreeWidget>

namespace {

const QString SnippetEnding = QStringLiteral(".code");
const QString NoCategoryReason = QStringLiteral("no category is selected");
const QString ListOfOtherFolderReason =
    QStringLiteral("the list no longer shows the snippets of the selected category");

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

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
    return QStringLiteral("The code file \"%1\" cannot be %2: %3.")
        .arg(native(named), action, mismatch);
}

void frmMain::addListEntry(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setIcon(0, m_pageIcon);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    lstCode->addTopLevelItem(item);
}

void frmMain::tvwFolders_NodeClick(QTreeWidgetItem* node) {
    // Clearing also drops the current entry, so nothing is selected after a refill and Save never
    // guesses its target.
    lstCode->clear();
    if (isRoot(node)) {
        m_listFolder.clear();
        return;
    }
    const QString folder = folderOfNode(node);
    m_listFolder = folder;
    const LibraryFs::Listing files = fs().listFiles(folder);
    if (!files.result.ok) {
        dialogs().error(QStringLiteral("The category folder \"%1\" cannot be read: %2.")
                            .arg(native(files.result.path), files.result.reason));
        return;
    }
    const QIcon page = m_pageIcon;
    QList<QTreeWidgetItem*> items;
    items.reserve(files.names.size());
    for (const QString& file : files.names) {
        const QString name = Names::snippetNameOfFile(file);
        if (name.isNull())
            continue;
        auto* item = new QTreeWidgetItem(QStringList{name});
        item->setIcon(0, page);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        items.append(item);
    }
    // One insertion keeps a large folder quick to show.
    lstCode->setUpdatesEnabled(false);
    lstCode->addTopLevelItems(items);
    lstCode->setUpdatesEnabled(true);
}

// Opening -------------------------------------------------------------------------------------

void frmMain::setEditorFromFile(const SnippetCodec::Decoded& decoded) {
    txtCodeFile->setText(decoded.text);
    m_textEncoding = decoded.encoding;
    m_textLineEnd = decoded.lineEnd;
}

void frmMain::setNewText(const QString& text) {
    txtCodeFile->setText(text);
    m_textEncoding = SnippetCodec::NewTextEncoding;
    m_textLineEnd = SnippetCodec::NewTextLineEnd;
}

void frmMain::lstCode_ItemClick() {
    const QTreeWidgetItem* entry = selectedEntry();
    if (!entry)
        return;
    const QString fileName = entry->text(0) + SnippetEnding;
    const QTreeWidgetItem* node = selectedNode();
    if (const QString refusal = entryRefusal(node, fileName, QStringLiteral("opened"));
        !refusal.isEmpty()) {
        setNewText(QString());
        dialogs().error(refusal);
        return;
    }
    const QString path = LibraryFs::fileInFolder(folderOfNode(node), fileName);

    const quint64 thisOpen = ++m_openCount;
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
        dialogs().error(QStringLiteral("The code file \"%1\" cannot be opened: %2.")
                            .arg(native(path), read.result.reason));
        return;
    }
    txtCodeFile->suspendPainting();
    setEditorFromFile(SnippetCodec::decode(read.bytes));
    ColorCode();
    txtCodeFile->resumePainting();
}

// Saving --------------------------------------------------------------------------------------

void frmMain::Save() {
    if (lstCode->topLevelItemCount() == 0) {
        SaveAs();
        return;
    }
    const QTreeWidgetItem* node = selectedNode();
    if (isRoot(node)) {
        dialogs().message({QStringLiteral("You cannot save code in the root directory."),
                           QStringLiteral("Error"), Dialogs::Icon::Information});
        return;
    }
    const QTreeWidgetItem* entry = selectedEntry();
    if (!entry) {
        SaveAs();
        return;
    }
    const QString fileName = entry->text(0) + SnippetEnding;
    if (const QString refusal = entryRefusal(node, fileName, QStringLiteral("saved"));
        !refusal.isEmpty()) {
        dialogs().error(refusal);
        return;
    }
    const QString path = LibraryFs::fileInFolder(folderOfNode(node), fileName);
    const LibraryFs::Result written = fs().writeFileAtomically(
        path, SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd));
    if (!written.ok) {
        dialogs().error(QStringLiteral("The code file \"%1\" cannot be saved: %2.")
                            .arg(native(written.path), written.reason));
    }
}

void frmMain::SaveAs() {
    const QTreeWidgetItem* node = selectedNode();
    if (isRoot(node)) {
        dialogs().message({QStringLiteral("You cannot save code in the root directory."),
                           QStringLiteral("Error"), Dialogs::Icon::Information});
        return;
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
    if (folder != m_listFolder) {
        dialogs().error(QStringLiteral("The code file \"%1\" cannot be saved: %2.")
                            .arg(native(path), ListOfOtherFolderReason));
        return;
    }
    if (fs().fileExists(path)) {
        const Dialogs::Button answerReplace = dialogs().message(
            {QStringLiteral("%1 already exists. Do you want to replace it?").arg(fileName),
             QStringLiteral("Save Code"), Dialogs::Icon::Warning, Dialogs::Buttons::YesNo,
             Dialogs::Button::No});
        if (answerReplace == Dialogs::Button::No)
            return;
    }
    const LibraryFs::Result written = fs().writeFileAtomically(
        path, SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd));
    if (!written.ok) {
        dialogs().error(QStringLiteral("The code file \"%1\" cannot be saved: %2.")
                            .arg(native(written.path), written.reason));
        return;
    }
    const QString entryText = Names::entryTextForFileName(fileName);
    if (!hasEntry(entryText))
        addListEntry(entryText);
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
    const LibraryFs::Result removed = fs().removeFile(path);
    if (!removed.ok) {
        dialogs().error(QStringLiteral("The code file \"%1\" cannot be deleted: %2.")
                            .arg(native(removed.path), removed.reason));
        return;
    }
    delete entry;
    setNewText(QString());
}

// Colouring -----------------------------------------------------------------------------------

void frmMain::ColorCode() {
    // Read at every colouring, so an edited list takes effect at once; without it, comments only.
    QStringList keywords;
    const LibraryFs::Read list = fs().readFile(fs().keywordFilePath());
    if (list.result.ok)
        keywords = KeywordList::parse(SnippetCodec::decodeText(list.bytes));
    txtCodeFile->suspendPainting();
    const QString text = txtCodeFile->text();
    txtCodeFile->applyColours(Colouring::colour(text, keywords));
    txtCodeFile->setSelectionStart(text.isEmpty() ? 0 : 1);
    txtCodeFile->resumePainting();
}

void frmMain::HighlightText(const QString& sKeyword, quint32 iColour) {
    ColourMap colours = txtCodeFile->colours();
    const auto runs = Colouring::keywordRuns(txtCodeFile->text(), sKeyword, iColour);
    if (runs.isEmpty())
        return;
    for (const ColourRun& run : runs)
        colours.setRange(run.start, run.length, run.colour);
    txtCodeFile->applyColours(colours.runsIn(0, colours.length()));
}
