// SPDX-License-Identifier: MIT
// The library's history: the menu items, the Snippet History and Deleted Snippets windows, and
// restoring what they show.
#include "app/frmmain.h"

#include "history/history.h"
#include "library/names.h"
#include "windows/frmdeleted.h"
#include "windows/frmhistory.h"

#include <QMenu>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

// Where a snippet of the history goes: its category, perhaps a sub-category, its file's name.
struct Place {
    QString category;
    QString subCategory; // empty for a snippet of the category itself
    QString fileName;
};

// Paths read from the history are checked as names the user typed would be: none may reach
// outside its folder.
std::optional<Place> placeOf(const QString& path, bool category) {
    const QStringList parts = path.split(QLatin1Char('/'));
    const qsizetype folders = category ? parts.size() : parts.size() - 1;
    if (folders < 1 || folders > 2)
        return std::nullopt;
    for (const QString& part : parts) {
        if (part.isEmpty() || Names::isForbidden(part))
            return std::nullopt;
    }
    Place place{parts[0], folders == 2 ? parts[1] : QString(), QString()};
    if (!category) {
        place.fileName = parts.last();
        if (Names::snippetNameOfFile(place.fileName).isNull())
            return std::nullopt;
    }
    return place;
}

} // namespace

void frmMain::createHistoryMenus() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption,
                      void (frmMain::*command)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    mnuEditPopup->addSeparator()->setObjectName(QStringLiteral("sepHistory"));
    mnuHistory = add(mnuEditPopup, "mnuHistory", tr("Snippet &History..."), &frmMain::ShowHistory);
    // Free in the menus, the editor and the tree and list.
    mnuHistory->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    // D is Delete's in the Edit menu and Delete Code File's in the list's pop-up.
    mnuDeletedSnippets =
        add(mnuEditPopup, "mnuDeletedSnippets", tr("Delet&ed Snippets..."), &frmMain::ShowDeleted);
    mnuCodePopup->addSeparator()->setObjectName(QStringLiteral("sepCodeHistory"));
    mnuCodeHistory =
        add(mnuCodePopup, "mnuCodeHistory", tr("Snippet &History..."), &frmMain::ShowHistory);
    mnuCodeHistory->setShortcut(mnuHistory->shortcut());
    // One action owns the key; the pop-up's item only shows it.
    mnuCodeHistory->setShortcutContext(Qt::WidgetShortcut);
    mnuCodeDeletedSnippets = add(mnuCodePopup, "mnuCodeDeletedSnippets", tr("Delet&ed Snippets..."),
                                 &frmMain::ShowDeleted);
}

namespace {

// A window shown reads the history again once the history has written something.
template <typename Window> void refreshOnRecord(History* history, Window* window) {
    if (!history)
        return;
    QObject::connect(
        history, &History::recorded, window,
        [window] {
            if (window->isVisible())
                window->refresh();
        },
        Qt::QueuedConnection);
}

} // namespace

void frmMain::ShowHistory() {
    const QTreeWidgetItem* entry = selectedEntry();
    if (!entry) {
        dialogs().error(tr("No code file is selected in the list, so no history is shown."));
        return;
    }
    // An entry always belongs to the folder the list was filled from.
    const QString name = entry->text(0);
    const QString file = LibraryFs::fileInFolder(m_listFolder, Names::snippetFileName(name));
    showHistoryOf(historyPath(file), name);
}

void frmMain::showHistoryOf(const QString& path, const QString& name) {
    if (!m_historyWindow) {
        m_historyWindow = new frmHistory(fs(), m_locations.historyFolder(), this);
        connect(m_historyWindow, &frmHistory::restoreRequested, this,
                [this](const QString& restored, const QByteArray& bytes) {
                    restoreVersion(restored, bytes);
                });
        refreshOnRecord(history(), m_historyWindow.data());
    }
    m_historyWindow->showSnippet(path, name);
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void frmMain::ShowDeleted() {
    if (!m_deletedWindow) {
        m_deletedWindow = new frmDeleted(m_locations.historyFolder(), this);
        connect(m_deletedWindow, &frmDeleted::restoreRequested, this,
                [this](const DeletedEntry& entry) { restoreDeleted(entry); });
        refreshOnRecord(history(), m_deletedWindow.data());
    } else {
        m_deletedWindow->refresh();
    }
    m_deletedWindow->show();
    m_deletedWindow->raise();
    m_deletedWindow->activateWindow();
}

frmHistory* frmMain::historyWindow() const {
    return m_historyWindow;
}

frmDeleted* frmMain::deletedWindow() const {
    return m_deletedWindow;
}

namespace {

// The folders of a place, the category's first.
QStringList foldersOf(LibraryFs& fs, const Place& place) {
    QStringList folders{fs.categoryFolder(place.category)};
    if (!place.subCategory.isEmpty())
        folders.append(fs.subCategoryFolder(place.category, place.subCategory));
    return folders;
}

} // namespace

bool frmMain::restoreVersion(const QString& restored, const QByteArray& bytes) {
    // Boxes and the open run events: nothing the caller holds is trusted across them.
    const QString path = restored;
    // The one file outside a category the window shows; it is written to its own place alone.
    if (path == LanguageChoices::FileName)
        return restoreLanguageChoices(bytes);
    const std::optional<Place> place = placeOf(path, false);
    if (!place) {
        dialogs().error(failureText(QStringLiteral("code file"), fs().libraryPath() + path,
                                    QStringLiteral("restored"),
                                    tr("it does not lie in a category")));
        return false;
    }
    const QStringList folders = foldersOf(fs(), *place);
    bool created = false;
    for (const QString& folder : folders) {
        if (fs().folderExists(folder))
            continue;
        const LibraryFs::Create made = fs().createCategoryFolder(folder);
        m_index->folderChanged(folder);
        if (made.outcome == LibraryFs::CreateOutcome::Failed) {
            dialogs().error(failureText(QStringLiteral("category folder"), made.result.path,
                                        QStringLiteral("created"), made.result.reason));
            if (created)
                reloadTree();
            return false;
        }
        created = true;
    }
    const QString file = LibraryFs::fileInFolder(folders.last(), place->fileName);
    keepOnDisk(file);
    const LibraryFs::Result written = fs().writeSnippet(file, bytes);
    m_index->fileChanged(file);
    if (created)
        reloadTree();
    if (!written.ok) {
        dialogs().error(failureText(QStringLiteral("code file"), written.path,
                                    QStringLiteral("restored"), written.reason));
        return false;
    }
    if (History* kept = history())
        kept->recordCommand(History::Action::Restore, historyPath(file), bytes);
    QTreeWidgetItem* node = childWithText(rootNode(), place->category);
    if (node && !place->subCategory.isEmpty())
        node = childWithText(node, place->subCategory);
    selectAndOpen(node, Names::snippetNameOfFile(place->fileName));
    return true;
}

bool frmMain::restoreDeleted(const DeletedEntry& deleted) {
    // Boxes run events, and the window that asked may refresh its entries meanwhile.
    const DeletedEntry entry = deleted;
    const QString gitFolder = m_locations.historyFolder();
    const HistoryReader reader(gitFolder);
    if (!reader.isOpen()) {
        dialogs().error(failureText(QStringLiteral("history folder"), gitFolder,
                                    QStringLiteral("read"), tr("it is not a readable repository")));
        return false;
    }
    const QString what =
        entry.category ? QStringLiteral("category folder") : QStringLiteral("code file");
    const std::optional<Place> where = placeOf(entry.path, entry.category);
    if (!where || entry.files.size() != entry.blobs.size()) {
        dialogs().error(failureText(what, fs().libraryPath() + entry.path,
                                    QStringLiteral("restored"),
                                    tr("the history does not place it in a category")));
        return false;
    }

    // Every name and text is settled before anything is written, so a cancelled box leaves the
    // library as it was.
    struct Target {
        Place place;
        QString file;
        QByteArray bytes;
    };
    QList<Target> targets;
    for (qsizetype i = 0; i < entry.files.size(); ++i) {
        std::optional<Place> place = placeOf(entry.files[i], false);
        const std::optional<QByteArray> bytes = reader.text(entry.blobs[i]);
        if (!place || !bytes) {
            dialogs().error(failureText(QStringLiteral("code file"),
                                        fs().libraryPath() + entry.files[i],
                                        QStringLiteral("restored"),
                                        place ? tr("its text is missing from the history")
                                              : tr("the history does not place it in a category")));
            return false;
        }
        const QString folder = foldersOf(fs(), *place).last();
        QString file = LibraryFs::fileInFolder(folder, place->fileName);
        const auto taken = [this, &targets](const QString& candidate) {
            return fs().fileExists(candidate) ||
                   std::any_of(targets.cbegin(), targets.cend(),
                               [&candidate](const Target& t) { return t.file == candidate; });
        };
        // A name taken meanwhile is asked for again, with Save As's rules.
        while (taken(file)) {
            const QString answer =
                dialogs().input(tr("Enter a filename: "), tr("Save Code"), place->fileName);
            if (answer.isEmpty())
                return false;
            const QString fileName = Names::fileNameForAnswer(answer);
            if (Names::isForbidden(answer) || Names::isForbidden(fileName)) {
                dialogs().message(
                    {Names::snippetRefusalText(), tr("Save Code"), Dialogs::Icon::Error});
                return false;
            }
            place->fileName = fileName;
            file = LibraryFs::fileInFolder(folder, fileName);
        }
        targets.append({*place, file, *bytes});
    }

    QStringList folders = foldersOf(fs(), *where);
    for (const Target& target : std::as_const(targets)) {
        for (const QString& folder : foldersOf(fs(), target.place)) {
            if (!folders.contains(folder))
                folders.append(folder);
        }
    }
    bool changed = false;
    const auto finish = [this, &changed] {
        if (changed)
            reloadTree();
    };
    for (const QString& folder : std::as_const(folders)) {
        if (fs().folderExists(folder))
            continue;
        const LibraryFs::Create made = fs().createCategoryFolder(folder);
        m_index->folderChanged(folder);
        if (made.outcome == LibraryFs::CreateOutcome::Failed) {
            finish();
            dialogs().error(failureText(QStringLiteral("category folder"), made.result.path,
                                        QStringLiteral("created"), made.result.reason));
            return false;
        }
        changed = true;
    }
    QStringList paths;
    QList<QByteArray> written;
    for (const Target& target : std::as_const(targets)) {
        keepOnDisk(target.file);
        const LibraryFs::Result result = fs().writeSnippet(target.file, target.bytes);
        m_index->fileChanged(target.file);
        if (!result.ok) {
            // What was written before stays: it is back, and the history is told so.
            if (History* kept = history(); kept && !paths.isEmpty())
                kept->recordRestore(paths, written);
            finish();
            dialogs().error(failureText(QStringLiteral("code file"), result.path,
                                        QStringLiteral("restored"), result.reason));
            return false;
        }
        paths.append(historyPath(target.file));
        written.append(target.bytes);
    }
    if (History* kept = history(); kept && !paths.isEmpty())
        kept->recordRestore(paths, written);
    else if (entry.category && targets.isEmpty())
        record(History::Action::AddCategory, foldersOf(fs(), *where).last()); // an empty one
    reloadTree();

    QTreeWidgetItem* node = childWithText(rootNode(), where->category);
    if (node && !where->subCategory.isEmpty())
        node = childWithText(node, where->subCategory);
    if (entry.category) {
        if (node) {
            tvwFolders->scrollToItem(node);
            tvwFolders->setCurrentItem(node);
        }
    } else if (!targets.isEmpty()) {
        selectAndOpen(node, Names::snippetNameOfFile(targets.first().place.fileName));
    }
    return true;
}

void frmMain::reloadTree() {
    // Folders made again may hold categories the tree never showed; the tree is read afresh,
    // opened where it was.
    QStringList expanded;
    const QTreeWidgetItem* root = rootNode();
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (root->child(i)->isExpanded())
            expanded.append(root->child(i)->text(0));
    }
    const QSignalBlocker quiet(tvwFolders);
    m_nodesByKey.clear();
    tvwFolders->clear();
    LoadCodeTree();
    QTreeWidgetItem* fresh = rootNode();
    for (int i = 0; fresh && i < fresh->childCount(); ++i) {
        if (expanded.contains(fresh->child(i)->text(0)))
            fresh->child(i)->setExpanded(true);
    }
}
