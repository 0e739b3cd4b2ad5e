// SPDX-License-Identifier: MIT
#include "windows/frmdeleted.h"

#include "library/names.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int EntryRole = Qt::UserRole; // index into the entries read

// "Strings/Reverse.code" is "Reverse" in "Strings"; a category "Graphics/Icons" is "Icons" in
// "Graphics".
std::pair<QString, QString> nameAndPlace(const DeletedEntry& entry) {
    const qsizetype slash = entry.path.lastIndexOf(QLatin1Char('/'));
    const QString last = entry.path.mid(slash + 1);
    const QString place = slash < 0 ? QString() : entry.path.left(slash);
    if (entry.category)
        return {last, place};
    const QString name = Names::snippetNameOfFile(last);
    return {name.isNull() ? last : name, place};
}

} // namespace

frmDeleted::frmDeleted(const QString& gitFolder, QWidget* owner)
    : QDialog(owner), m_gitFolder(gitFolder) {
    setObjectName(QStringLiteral("frmDeleted"));
    setWindowTitle(tr("Deleted Snippets"));
    setModal(false);
    setSizeGripEnabled(true);

    lstDeleted = new QTreeWidget(this);
    lstDeleted->setObjectName(QStringLiteral("lstDeleted"));
    lstDeleted->setAccessibleName(tr("Deleted snippets and categories"));
    lstDeleted->setAccessibleDescription(tr("Newest first"));
    lstDeleted->setHeaderLabels({tr("Name"), tr("What"), tr("Where"), tr("When")});
    lstDeleted->setRootIsDecorated(false);
    lstDeleted->setUniformRowHeights(true);
    lstDeleted->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDeleted->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstDeleted->header()->setStretchLastSection(true);
    lstDeleted->setColumnWidth(0, 160);
    lstDeleted->setColumnWidth(1, 150);
    lstDeleted->setColumnWidth(2, 140);
    auto* lblList = new QLabel(tr("&Deleted:"), this);
    lblList->setBuddy(lstDeleted);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    cmdRestore = new QPushButton(tr("&Restore"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->setAccessibleDescription(
        tr("Puts the chosen snippet or category back into the library"));
    cmdClose = new QPushButton(tr("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdRestore->setDefault(true);
    cmdClose->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdRestore, QDialogButtonBox::ActionRole);
    buttons->addButton(cmdClose, QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblList);
    layout->addWidget(lstDeleted, 1);
    layout->addWidget(lblCount);
    layout->addWidget(buttons);
    resize(640, 380);

    setTabOrder(lstDeleted, cmdRestore);
    setTabOrder(cmdRestore, cmdClose);

    connect(lstDeleted, &QTreeWidget::currentItemChanged, this,
            [this] { cmdRestore->setEnabled(lstDeleted->currentItem() != nullptr); });
    connect(cmdRestore, &QPushButton::clicked, this, &frmDeleted::restoreChosen);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    cmdRestore->setEnabled(false);
    lblCount->setText(tr("Reading the history..."));
    refresh();
}

frmDeleted::~frmDeleted() {
    // The loader's thread is joined before anything it could wake goes.
    m_loader.reset();
}

void frmDeleted::refresh() {
    if (!m_loader)
        m_loader = std::make_unique<HistoryLoader<Listing>>(m_gitFolder, this, "takeEntries");
    const quint64 asked = ++m_asked;
    m_loader->ask([asked](const HistoryReader& reader) {
        return Listing{asked, reader.isOpen(),
                       reader.isOpen() ? reader.deleted() : QList<DeletedEntry>()};
    });
}

void frmDeleted::takeEntries() {
    std::optional<Listing> listing = m_loader->take();
    if (!listing || listing->asked < m_shown)
        return;
    m_shown = listing->asked;
    const QTreeWidgetItem* current = lstDeleted->currentItem();
    const int row = current ? current->data(0, EntryRole).toInt() : -1;
    const QString chosen = row >= 0 && row < m_entries.size()
                               ? m_entries.at(row).commit + m_entries.at(row).path
                               : QString();
    m_entries = std::move(listing->entries);

    QList<QTreeWidgetItem*> items;
    int keep = 0;
    for (int i = 0; i < m_entries.size(); ++i) {
        const DeletedEntry& entry = m_entries.at(i);
        const auto [name, place] = nameAndPlace(entry);
        QString what = tr("snippet");
        if (entry.category)
            what = entry.files.size() == 1 ? tr("category, 1 snippet")
                                           : tr("category, %1 snippets").arg(entry.files.size());
        auto* item = new QTreeWidgetItem(
            QStringList{name, what, place,
                        entry.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        item->setData(0, EntryRole, i);
        items.append(item);
        if (entry.commit + entry.path == chosen)
            keep = i;
    }
    {
        const QSignalBlocker quiet(lstDeleted);
        lstDeleted->clear();
        lstDeleted->addTopLevelItems(items);
        if (!items.isEmpty())
            lstDeleted->setCurrentItem(items.at(keep));
    }
    cmdRestore->setEnabled(!items.isEmpty());
    if (!listing->open)
        lblCount->setText(tr("The history of the library cannot be read."));
    else if (items.isEmpty())
        lblCount->setText(tr("No deleted snippets or categories to restore."));
    else
        lblCount->setText(items.size() == 1 ? tr("1 entry") : tr("%1 entries").arg(items.size()));
    emit entriesShown();
}

void frmDeleted::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    lstDeleted->setFocus();
}

void frmDeleted::restoreChosen() {
    const QTreeWidgetItem* current = lstDeleted->currentItem();
    const int row = current ? current->data(0, EntryRole).toInt() : -1;
    if (row < 0 || row >= m_entries.size())
        return;
    // The main window's restore runs boxes and events, and a refresh may replace m_entries.
    const DeletedEntry entry = m_entries.at(row);
    emit restoreRequested(entry);
}
