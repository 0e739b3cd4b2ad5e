// Adding and removing categories, and the tree's pop-up menu.
#include "frmmain.h"

#include "names.h"

#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

void frmMain::AddCat() {
    const QString name = dialogs().input(QStringLiteral("Enter a category name."),
                                         QStringLiteral("Add Category"), QStringLiteral("Blah"));
    if (name.isEmpty())
        return;

    QTreeWidgetItem* parent = selectedNode();
    if (!parent)
        return;
    if (!isRoot(parent) && !isCategory(parent)) {
        dialogs().message(
            {QStringLiteral("Cannot created Sub-Subdirectories in this version. Sorry."), QString(),
             Dialogs::Icon::Information, Dialogs::Buttons::Ok, Dialogs::Button::Ok});
        return;
    }
    // A name must not reach outside the library folder or name a folder twice.
    if (Names::isForbidden(name)) {
        dialogs().message({Names::categoryRefusalText(), QStringLiteral("Create Category"),
                           Dialogs::Icon::Error, Dialogs::Buttons::Ok, Dialogs::Button::Ok});
        return;
    }

    const bool underRoot = isRoot(parent);
    const QString folder =
        underRoot ? fs().categoryFolder(name) : fs().subCategoryFolder(parent->text(0), name);
    const LibraryFs::Create created = fs().createFolder(folder);
    switch (created.outcome) {
    case LibraryFs::CreateOutcome::AlreadyExists:
        return;
    case LibraryFs::CreateOutcome::Failed:
        dialogs().error(QStringLiteral("The category folder \"%1\" cannot be created: %2.")
                            .arg(native(created.result.path), created.result.reason));
        return;
    case LibraryFs::CreateOutcome::Created:
        break;
    }
    // addNode finds a key of its own when the wanted one is taken, so the folder always has a node.
    addNode(parent, underRoot ? name : parent->text(0) + name, name);
}

void frmMain::RemoveCat() {
    QTreeWidgetItem* node = selectedNode();
    if (isRoot(node)) {
        dialogs().message({QStringLiteral("Cannot delete the root folder."),
                           QStringLiteral("Error"), Dialogs::Icon::Error, Dialogs::Buttons::Ok,
                           Dialogs::Button::Ok});
        return;
    }
    const Dialogs::Button answer = dialogs().message(
        {QStringLiteral(
             "Are you sure you want to delete this category and all the code snippets within?"),
         QStringLiteral("Delete Category"), Dialogs::Icon::Question, Dialogs::Buttons::YesNo,
         Dialogs::Button::Yes});
    if (answer == Dialogs::Button::No)
        return;

    const QString folder = folderOfNode(node);
    const LibraryFs::Remove removed = fs().removeCategoryFolder(folder);

    auto dropNode = [this, node] {
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
        dropNode();
        return;
    case LibraryFs::RemoveOutcome::Missing:
        dropNode();
        dialogs().error(QStringLiteral("The category folder \"%1\" no longer exists (%2), so the "
                                       "category has been removed from the tree.")
                            .arg(native(folder), removed.result.reason));
        return;
    case LibraryFs::RemoveOutcome::HasSubfolders:
        dialogs().error(QStringLiteral("The category \"%1\" still holds sub-categories or other "
                                       "folders. Remove them first; nothing was deleted.")
                            .arg(native(folder)));
        return;
    case LibraryFs::RemoveOutcome::Failed:
        break;
    }

    if (removed.result.path == folder)
        dialogs().error(QStringLiteral("The category folder \"%1\" cannot be removed: %2.")
                            .arg(native(folder), removed.result.reason));
    else
        dialogs().error(
            QStringLiteral("The category \"%1\" cannot be removed: \"%2\" cannot be "
                           "deleted: %3.")
                .arg(native(folder), native(removed.result.path), removed.result.reason));
    if (!fs().folderExists(folder) && !fs().isSymbolicLink(folder)) {
        dropNode();
        return;
    }
    // Files deleted before the failure are gone; the list shows what is left.
    if (m_listFolder == folder)
        tvwFolders_NodeClick(node);
}

void frmMain::tvwFolders_MouseUp(int button) {
    if (button != 2)
        return;
    mnuRemoveCategory->setEnabled(!isRoot(selectedNode()));
    mnuFolderPopup->popup(QCursor::pos());
}
