// SPDX-License-Identifier: MIT
#pragma once

#include "search/snippetindex.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// "Find Snippets": a query field, the snippets that match it and how many they are. Owned by the
// main window and not modal; Escape hides it and keeps the query for next time.
class frmFind : public QDialog {
    Q_OBJECT
public:
    frmFind(SnippetIndex& index, QWidget* owner);

    // At most this many results are listed; the count line counts all.
    static constexpr int ListLimit = 500;

    QLineEdit* txtFind = nullptr;
    QTreeWidget* lstResults = nullptr;
    QLabel* lblCount = nullptr;
    QLabel* lblIndexing = nullptr;

    // Searches for the field's text and lists what matches.
    void runQuery();
    // Opens the listed result at `row` (from 0).
    void openResult(int row);

signals:
    void openRequested(const SnippetIndex::Hit& hit, const QStringList& words);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showProgress();

    SnippetIndex& m_index;
    QList<SnippetIndex::Hit> m_hits;
};
