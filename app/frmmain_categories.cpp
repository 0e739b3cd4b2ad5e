// SPDX-License-Identifier: MIT
// The category tree: loading it, its nodes and their folders, adding and removing categories, and
// the tree's pop-up menu.
#include "app/frmmain.h"

#include "app/categorykeys.h"
#include "library/names.h"

#include <QMenu>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {
constexpr int KeyRole = Qt::UserRole;
const QString RootKey = QStringLiteral("root");
} // namespace

void frmMain::AddCat() {
    const QString name =
        dialogs().input(tr("Enter a category name."), tr("Add Category"), tr("Blah"));
    if (name.isEmpty())
        return;

    QTreeWidgetItem* parent = selectedNode();
    if (!parent)
        return;
    if (!isRoot(parent) && !isCategory(parent)) {
        dialogs().message({tr("Cannot created Sub-Subdirectories in this version. Sorry."),
                           QString(), Dialogs::Icon::Information, Dialogs::Buttons::Ok,
                           Dialogs::Button::Ok});
        return;
    }
    // A name must not reach outside the library folder or name a folder twice.
    if (Names::isForbidden(name)) {
        dialogs().message({Names::categoryRefusalText(), tr("Create Category"),
                           Dialogs::Icon::Error, Dialogs::Buttons::Ok, Dialogs::Button::Ok});
        return;
    }

    const bool underRoot = isRoot(parent);
    const QString folder =
        underRoot ? fs().categoryFolder(name) : fs().subCategoryFolder(parent->text(0), name);
    const LibraryFs::Create created = fs().createCategoryFolder(folder);
    m_index->folderChanged(folder);
    switch (created.outcome) {
    case LibraryFs::CreateOutcome::AlreadyExists:
        return;
    case LibraryFs::CreateOutcome::Failed:
        dialogs().error(failureText(QStringLiteral("category folder"), created.result.path,
                                    QStringLiteral("created"), created.result.reason));
        return;
    case LibraryFs::CreateOutcome::Created:
        break;
    }
    record(History::Action::AddCategory, folder);
    // addNode finds a key of its own when the wanted one is taken, so the folder always has a node.
    addNode(parent, underRoot ? name : parent->text(0) + name, name);
}

namespace {

// Why a category cannot be removed as it stands; empty when nothing stands in the way.
QString removalRefusal(const QString& folder, const LibraryFs::Remove& check) {
    using Outcome = LibraryFs::RemoveOutcome;
    switch (check.outcome) {
    case Outcome::HasSubfolders:
        return frmMain::tr("The category \"%1\" still holds sub-categories or other "
                           "folders. Remove them first; nothing was deleted.")
            .arg(folder);
    case Outcome::HasOtherFiles: {
        constexpr int Named = 5;
        QStringList names = check.others.mid(0, Named);
        for (QString& name : names)
            name = QStringLiteral("\"%1\"").arg(name);
        QString list = names.join(QStringLiteral(", "));
        if (check.others.size() > Named)
            list += frmMain::tr(" and %1 more").arg(check.others.size() - Named);
        return frmMain::tr("The category \"%1\" holds files that are not code snippets: %2. "
                           "Move or delete them first; nothing was deleted.")
            .arg(folder, list);
    }
    case Outcome::Outside:
        return frmMain::tr("The category \"%1\" lies outside the library folder, so it is "
                           "not removed; nothing was deleted.")
            .arg(folder);
    case Outcome::Removed:
    case Outcome::Missing:
    case Outcome::Failed:
        break;
    }
    return QString();
}

} // namespace

void frmMain::RemoveCat() {
    QTreeWidgetItem* node = selectedNode();
    if (isRoot(node)) {
        dialogs().message({tr("Cannot delete the root folder."), tr("Error"), Dialogs::Icon::Error,
                           Dialogs::Buttons::Ok, Dialogs::Button::Ok});
        return;
    }
    const QString folder = folderOfNode(node);
    // A command that will refuse says so before it asks anything.
    if (const QString refusal = removalRefusal(folder, fs().checkCategoryRemoval(folder));
        !refusal.isEmpty()) {
        dialogs().error(refusal);
        return;
    }
    const Dialogs::Button answer = dialogs().message(
        {tr("Are you sure you want to delete this category and all the code snippets within?"),
         tr("Delete Category"), Dialogs::Icon::Question, Dialogs::Buttons::YesNo,
         Dialogs::Button::Yes});
    if (answer == Dialogs::Button::No)
        return;
    // The box ran events: the node is looked up again rather than trusted.
    const QString key = nodeKey(node);
    node = nodeByKey(key);
    if (!node || folderOfNode(node) != folder)
        return;

    keepOnDisk(folder, true);
    const LibraryFs::Remove removed = fs().removeCategoryFolder(folder);
    m_index->folderChanged(folder);

    auto dropNode = [this, &node] {
        QTreeWidgetItem* parent = node->parent();
        {
            // Selecting the parent first means the view never moves a selection of its own
            // away from the node that goes.
            const QSignalBlocker quiet(tvwFolders);
            tvwFolders->setCurrentItem(parent);
        }
        removeNode(node);
        // The parent is selected now, so the list shows its snippets, as a click on it would;
        // the editor keeps its text and nothing in the list claims it.
        tvwFolders_NodeClick(parent);
    };

    switch (removed.outcome) {
    case LibraryFs::RemoveOutcome::Removed:
        record(History::Action::RemoveCategory, folder);
        dropLanguageChoice(folder);
        dropNode();
        return;
    case LibraryFs::RemoveOutcome::Missing:
        dropNode();
        dialogs().error(tr("The category folder \"%1\" no longer exists (%2), so the "
                           "category has been removed from the tree.")
                            .arg(folder, removed.result.reason));
        return;
    case LibraryFs::RemoveOutcome::HasSubfolders:
    case LibraryFs::RemoveOutcome::HasOtherFiles:
    case LibraryFs::RemoveOutcome::Outside:
        // Changed between the question and the answer.
        dialogs().error(removalRefusal(folder, removed));
        return;
    case LibraryFs::RemoveOutcome::Failed:
        // Some snippets may have gone before the failure: the history looks at what is left.
        if (History* kept = history())
            kept->noticeOutsideChanges();
        break;
    }

    if (removed.result.path == folder)
        dialogs().error(failureText(QStringLiteral("category folder"), folder,
                                    QStringLiteral("removed"), removed.result.reason));
    else
        dialogs().error(tr("The category \"%1\" cannot be removed: \"%2\" cannot be "
                           "deleted: %3.")
                            .arg(folder, removed.result.path, removed.result.reason));
    node = nodeByKey(key);
    if (!node)
        return;
    if (!fs().folderExists(folder) && !fs().isSymbolicLink(folder)) {
        dropNode();
        return;
    }
    // Files deleted before the failure are gone; the list shows what is left.
    if (m_listFolder == folder)
        tvwFolders_NodeClick(node);
}

void frmMain::tvwFolders_MouseUp(int button, std::optional<QPoint> at) {
    if (button != 2)
        return;
    // The pop-up acts on the node under the pointer, chosen as a left click would choose it, so
    // Remove Category never takes another node than the one the user pointed at.
    if (QTreeWidgetItem* node = at ? tvwFolders->itemAt(*at) : nullptr;
        node && !node->isSelected()) {
        {
            const QSignalBlocker quiet(tvwFolders);
            tvwFolders->setCurrentItem(node);
        }
        tvwFolders_NodeClick(node);
    }
    mnuRemoveCategory->setEnabled(!isRoot(selectedNode()));
    mnuFolderPopup->popup(popupPoint());
}

// Tree nodes ----------------------------------------------------------------------------------

QString frmMain::nodeKey(const QTreeWidgetItem* node) {
    return node ? node->data(0, KeyRole).toString() : QString();
}

QTreeWidgetItem* frmMain::nodeByKey(const QString& key) const {
    return m_nodesByKey.value(key);
}

QTreeWidgetItem* frmMain::childWithText(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    }
    return nullptr;
}

QTreeWidgetItem* frmMain::rootNode() const {
    return tvwFolders->topLevelItem(0);
}

QTreeWidgetItem* frmMain::selectedNode() const {
    const auto selected = tvwFolders->selectedItems();
    // A current item that is not selected is not the user's choice: commands then act on the root.
    if (!selected.isEmpty())
        return selected.first();
    return rootNode();
}

bool frmMain::isRoot(const QTreeWidgetItem* node) {
    return !node || nodeKey(node) == RootKey;
}

bool frmMain::isCategory(const QTreeWidgetItem* node) {
    return node && node->parent() && nodeKey(node->parent()) == RootKey;
}

QString frmMain::folderOfNode(const QTreeWidgetItem* node) const {
    if (isRoot(node))
        return QString();
    LibraryFs& lib = fs();
    if (isCategory(node))
        return lib.categoryFolder(node->text(0));
    return lib.subCategoryFolder(node->parent()->text(0), node->text(0));
}

QTreeWidgetItem* frmMain::makeNode(const QString& wantedKey, const QString& text) {
    const QString key = CategoryKeys::unique(
        wantedKey, [this](const QString& k) { return m_nodesByKey.contains(k); });
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, KeyRole, key);
    node->setIcon(0, m_folderIcon);
    node->setFlags(node->flags() & ~Qt::ItemIsEditable);
    m_nodesByKey.insert(key, node);
    return node;
}

QTreeWidgetItem* frmMain::addNode(QTreeWidgetItem* parent, const QString& wantedKey,
                                  const QString& text) {
    QTreeWidgetItem* node = makeNode(wantedKey, text);
    if (parent)
        parent->addChild(node);
    else
        tvwFolders->addTopLevelItem(node);
    return node;
}

void frmMain::removeNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        m_nodesByKey.remove(nodeKey(node->child(i)));
    m_nodesByKey.remove(nodeKey(node));
    delete node;
}

void frmMain::LoadCodeTree() {
    const LibraryFs::Result created = fs().ensureLibraryFolder();
    QTreeWidgetItem* root = addNode(nullptr, RootKey, tr("Categories"));
    root->setExpanded(true);
    if (!created.ok) {
        dialogs().error(failureText(QStringLiteral("library folder"), created.path,
                                    QStringLiteral("created"), created.reason));
        return;
    }
    const LibraryFs::Listing categories = fs().listFolders(fs().libraryPath());
    if (!categories.result.ok) {
        dialogs().error(failureText(QStringLiteral("library folder"), categories.result.path,
                                    QStringLiteral("read"), categories.result.reason));
        return;
    }
    QStringList unreadable;
    // Nodes are built apart from the tree and added in one step: far cheaper for large libraries.
    QList<QTreeWidgetItem*> categoryNodes;
    categoryNodes.reserve(categories.names.size());
    for (const QString& name : categories.names) {
        QTreeWidgetItem* category = makeNode(name, name);
        categoryNodes.append(category);
        const LibraryFs::Listing subs = fs().listFolders(fs().categoryFolder(name));
        if (!subs.result.ok) {
            unreadable.append(
                QStringLiteral("\"%1\": %2").arg(subs.result.path, subs.result.reason));
            continue;
        }
        QList<QTreeWidgetItem*> subNodes;
        subNodes.reserve(subs.names.size());
        for (const QString& sub : subs.names)
            subNodes.append(makeNode(name + sub, sub));
        category->addChildren(subNodes);
    }
    root->addChildren(categoryNodes);
    if (!unreadable.isEmpty()) {
        dialogs().error(tr("These category folders cannot be read, so their "
                           "sub-categories are not shown:\n%1")
                            .arg(unreadable.join(QLatin1Char('\n'))));
    }
}
