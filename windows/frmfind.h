// SPDX-License-Identifier: MIT
#pragma once

#include "search/snippetindex.h"

#include <QDialog>
#include <QList>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class FoundLineDelegate;
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
    // Waits for at most the one search under way; asked ones are dropped.
    ~frmFind() override;

    // At most this many results are listed; the count line counts all.
    static constexpr int ListLimit = 500;
    static constexpr int RefreshMilliseconds = 300;

    QLineEdit* txtFind = nullptr;
    QTreeWidget* lstResults = nullptr;
    QLabel* lblCount = nullptr;
    QLabel* lblIndexing = nullptr;

    // Asks the search thread for the field's text; the list shows what matches when it answers.
    // The window's thread never searches and never waits for a search.
    void search();
    // Enter: opens the first result for the field's text, at once when the list shows them,
    // otherwise when the search thread answers, unless the text has changed or another of the
    // program's windows is active by then.
    void openFirstResult();
    // Whether the list shows what matches the field's text.
    bool resultsCurrent() const;
    // Opens the listed result at `row` (from 0).
    void openResult(int row);

signals:
    // The hit and words are the window's own copies, valid while the signal is handled.
    void openRequested(const SnippetIndex::Hit& hit, const QStringList& words);
    void resultsShown(); // the list and the count line are filled

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void takeAnswer();

private:
    void showProgress();
    void showResults(quint64 asked, const QString& query, const SnippetIndex::Results& results);
    void searchThread();

    SnippetIndex& m_index;
    QTimer* m_refresh = nullptr;
    FoundLineDelegate* m_lineDelegate = nullptr;
    quint64 m_asked = 0; // searches asked for, in order
    quint64 m_shown = 0; // the one the list shows
    QString m_shownQuery;
    QList<SnippetIndex::Hit> m_hits;
    bool m_openWhenAnswered = false;

    // Handed between the window's thread and the search thread, under m_handOver.
    struct Question {
        quint64 asked = 0;
        QString query;
    };
    struct Answer {
        quint64 asked = 0;
        QString query;
        SnippetIndex::Results results;
    };
    std::mutex m_handOver;
    std::condition_variable m_asking;
    std::optional<Question> m_question; // the latest not yet taken; older ones are dropped
    std::optional<Answer> m_answer;     // the latest not yet shown
    bool m_stopping = false;
    std::thread m_searcher; // last: started once everything it uses exists
};
