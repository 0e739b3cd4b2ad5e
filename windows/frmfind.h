// SPDX-License-Identifier: MIT
#pragma once

#include "search/snippetindex.h"

#include <QDialog>
#include <QList>
#include <QThreadPool>

class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// "Find Snippets": a query field, the snippets that match it and how many they are. Owned by the
// main window and not modal; Escape hides it and keeps the query for next time.
class frmFind : public QDialog {
    Q_OBJECT
public:
    frmFind(SnippetIndex& index, QWidget* owner);
    ~frmFind() override;

    // At most this many results are listed; the count line counts all.
    static constexpr int ListLimit = 500;
    static constexpr int RefreshMilliseconds = 300;

    QLineEdit* txtFind = nullptr;
    QTreeWidget* lstResults = nullptr;
    QLabel* lblCount = nullptr;
    QLabel* lblIndexing = nullptr;

    // Searches for the field's text on a thread of its own and lists what matches when it is
    // found; the window's thread never waits for a search.
    void search();
    // The list shows what matches the field's text as it is now, searched here if need be.
    void showCurrentResults();
    // Whether the list shows what matches the field's text.
    bool resultsCurrent() const;
    // Opens the listed result at `row` (from 0).
    void openResult(int row);

signals:
    void openRequested(const SnippetIndex::Hit& hit, const QStringList& words);
    void resultsShown(); // the list and the count line are filled

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showProgress();
    void showResults(quint64 asked, const QString& query, const SnippetIndex::Results& results);

    SnippetIndex& m_index;
    QTimer* m_refresh = nullptr;
    QThreadPool m_searcher;
    bool m_searching = false;
    bool m_searchAgain = false;
    quint64 m_asked = 0; // searches asked for, in order
    quint64 m_shown = 0; // the one the list shows
    QString m_shownQuery;
    QList<SnippetIndex::Hit> m_hits;
};
