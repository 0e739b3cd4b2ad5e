// SPDX-License-Identifier: MIT
#include "windows/frmfind.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString countText(int total, int listed) {
    if (total == 0)
        return QStringLiteral("No snippets match");
    QString text = total == 1 ? QStringLiteral("1 snippet matches")
                              : QStringLiteral("%1 snippets match").arg(total);
    if (listed < total)
        text += QStringLiteral("; the first %1 are listed").arg(listed);
    return text;
}
} // namespace

frmFind::frmFind(SnippetIndex& index, QWidget* owner) : QDialog(owner), m_index(index) {
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find Snippets"));
    setModal(false);
    setSizeGripEnabled(true);

    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setAccessibleName(QStringLiteral("Find"));
    txtFind->setClearButtonEnabled(true);

    lstResults = new QTreeWidget(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setAccessibleName(QStringLiteral("Snippets found"));
    lstResults->setHeaderLabels({QStringLiteral("Category"), QStringLiteral("Sub-category"),
                                 QStringLiteral("Name"), QStringLiteral("Line")});
    lstResults->setRootIsDecorated(false);
    lstResults->setUniformRowHeights(true);
    lstResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->header()->setStretchLastSection(true);
    lstResults->setColumnWidth(0, 120);
    lstResults->setColumnWidth(1, 100);
    lstResults->setColumnWidth(2, 140);
    lstResults->installEventFilter(this);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblIndexing = new QLabel(this);
    lblIndexing->setObjectName(QStringLiteral("lblIndexing"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtFind);
    layout->addWidget(lstResults, 1);
    layout->addWidget(lblCount);
    layout->addWidget(lblIndexing);
    resize(640, 400);

    connect(txtFind, &QLineEdit::textChanged, this, &frmFind::runQuery);
    connect(txtFind, &QLineEdit::returnPressed, this, [this] { openResult(0); });
    connect(lstResults, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openResult(lstResults->indexOfTopLevelItem(item)); });
    connect(&m_index, &SnippetIndex::changed, this, [this] {
        if (!isVisible())
            return;
        showProgress();
        // What a pass has published since is part of the answer.
        if (!txtFind->text().trimmed().isEmpty())
            runQuery();
    });
    runQuery();
}

void frmFind::runQuery() {
    const SnippetIndex::Results results = m_index.find(txtFind->text(), ListLimit);
    m_hits = results.listed;
    QList<QTreeWidgetItem*> items;
    items.reserve(m_hits.size());
    for (const SnippetIndex::Hit& hit : m_hits) {
        const QString line =
            hit.line > 0 ? QStringLiteral("%1: %2").arg(hit.line).arg(hit.lineText) : QString();
        items.append(
            new QTreeWidgetItem(QStringList{hit.category, hit.subCategory, hit.name, line}));
    }
    lstResults->setUpdatesEnabled(false);
    lstResults->clear();
    lstResults->addTopLevelItems(items);
    lstResults->setUpdatesEnabled(true);
    lblCount->setText(SnippetIndex::words(txtFind->text()).isEmpty()
                          ? QString()
                          : countText(results.total, int(m_hits.size())));
    showProgress();
}

void frmFind::openResult(int row) {
    if (row < 0 || row >= m_hits.size())
        return;
    emit openRequested(m_hits.at(row), SnippetIndex::words(txtFind->text()));
}

void frmFind::showProgress() {
    const SnippetIndex::Progress progress = m_index.progress();
    lblIndexing->setVisible(progress.running);
    if (progress.running)
        lblIndexing->setText(
            QStringLiteral("Indexing %1 of %2 snippets").arg(progress.done).arg(progress.total));
}

void frmFind::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Other programs may have changed the library since the last look.
    m_index.refresh();
    showProgress();
    txtFind->setFocus();
    txtFind->selectAll();
}

bool frmFind::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstResults && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (QTreeWidgetItem* item = lstResults->currentItem())
                openResult(lstResults->indexOfTopLevelItem(item));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
