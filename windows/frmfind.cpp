// SPDX-License-Identifier: MIT
#include "windows/frmfind.h"

#include "windows/foundlinedelegate.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QString countText(int total, int listed) {
    if (total == 0)
        return frmFind::tr("No snippets match");
    QString text =
        total == 1 ? frmFind::tr("1 snippet matches") : frmFind::tr("%1 snippets match").arg(total);
    if (listed < total)
        text += frmFind::tr("; the first %1 are listed").arg(listed);
    return text;
}
} // namespace

frmFind::frmFind(SnippetIndex& index, QWidget* owner) : QDialog(owner), m_index(index) {
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(tr("Find Snippets"));
    setModal(false);
    setSizeGripEnabled(true);

    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setAccessibleName(tr("Find"));
    txtFind->setClearButtonEnabled(true);

    lstResults = new QTreeWidget(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setAccessibleName(tr("Snippets found"));
    lstResults->setHeaderLabels({tr("Category"), tr("Sub-category"), tr("Name"), tr("Line")});
    lstResults->setRootIsDecorated(false);
    lstResults->setUniformRowHeights(true);
    lstResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->header()->setStretchLastSection(true);
    lstResults->setColumnWidth(0, 120);
    lstResults->setColumnWidth(1, 100);
    lstResults->setColumnWidth(2, 140);
    m_lineDelegate = new FoundLineDelegate(lstResults);
    lstResults->setItemDelegateForColumn(3, m_lineDelegate);
    lstResults->installEventFilter(this);
    txtFind->installEventFilter(this);

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

    connect(txtFind, &QLineEdit::textChanged, this, [this] {
        m_openWhenAnswered = false;
        search();
    });
    connect(txtFind, &QLineEdit::returnPressed, this, &frmFind::openFirstResult);
    connect(lstResults, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openResult(lstResults->indexOfTopLevelItem(item)); });
    // What a pass publishes is part of the answer, but a pass publishes many times a second:
    // the list is searched again at most every RefreshMilliseconds.
    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(RefreshMilliseconds);
    connect(m_refresh, &QTimer::timeout, this, [this] {
        if (isVisible() && !SnippetIndex::words(txtFind->text()).isEmpty())
            search();
    });
    connect(&m_index, &SnippetIndex::changed, this, [this] {
        if (!isVisible())
            return;
        showProgress();
        if (!m_refresh->isActive())
            m_refresh->start();
    });
    m_searcher = std::thread([this] { searchThread(); });
    search();
}

frmFind::~frmFind() {
    {
        const std::lock_guard lock(m_handOver);
        m_stopping = true;
        m_question.reset();
    }
    m_asking.notify_one();
    m_searcher.join();
}

void frmFind::searchThread() {
    for (;;) {
        Question question;
        {
            std::unique_lock lock(m_handOver);
            m_asking.wait(lock, [this] { return m_stopping || m_question; });
            if (m_stopping)
                return;
            question = std::move(*m_question);
            m_question.reset();
        }
        SnippetIndex::Results results = m_index.find(question.query, ListLimit);
        {
            const std::lock_guard lock(m_handOver);
            if (m_stopping)
                return;
            m_answer = Answer{question.asked, std::move(question.query), std::move(results)};
        }
        // Only a wake-up: the answer itself crosses under the mutex. The window cannot go before
        // this returns, since its destructor joins this thread.
        QMetaObject::invokeMethod(this, "takeAnswer", Qt::QueuedConnection);
    }
}

void frmFind::search() {
    m_refresh->stop();
    const QString query = txtFind->text();
    if (SnippetIndex::words(query).isEmpty()) {
        {
            const std::lock_guard lock(m_handOver);
            m_question.reset();
        }
        showResults(++m_asked, query, {});
        return;
    }
    // Keys typed while a search runs replace what was asked before; only the last is searched.
    {
        const std::lock_guard lock(m_handOver);
        m_question = Question{++m_asked, query};
    }
    m_asking.notify_one();
}

void frmFind::takeAnswer() {
    std::optional<Answer> answer;
    {
        const std::lock_guard lock(m_handOver);
        answer.swap(m_answer);
    }
    if (answer)
        showResults(answer->asked, answer->query, answer->results);
}

bool frmFind::resultsCurrent() const {
    return m_shown == m_asked && m_shownQuery == txtFind->text();
}

void frmFind::openFirstResult() {
    m_openWhenAnswered = false;
    // Enter opens what was typed, not what the list showed a moment ago.
    if (resultsCurrent())
        openResult(0);
    else
        m_openWhenAnswered = true;
}

void frmFind::showResults(quint64 asked, const QString& query,
                          const SnippetIndex::Results& results) {
    // A search that ends after a later one was shown has nothing newer to say.
    if (asked < m_shown)
        return;
    m_shown = asked;
    m_shownQuery = query;
    // The result the user stands on stays selected when a pass adds to the list.
    const int current = lstResults->indexOfTopLevelItem(lstResults->currentItem());
    const std::optional<SnippetIndex::Hit> kept =
        current >= 0 && current < m_hits.size() ? std::optional(m_hits.at(current)) : std::nullopt;
    m_hits = results.listed;
    QList<QTreeWidgetItem*> items;
    items.reserve(m_hits.size());
    for (const SnippetIndex::Hit& hit : m_hits) {
        const QString number = hit.line > 0 ? QStringLiteral("%1: ").arg(hit.line) : QString();
        auto* item =
            new QTreeWidgetItem(QStringList{hit.category, hit.subCategory, hit.name,
                                            hit.line > 0 ? number + hit.lineText : QString()});
        item->setData(3, FoundLineDelegate::TextStartRole, int(number.size()));
        items.append(item);
    }
    m_lineDelegate->setWords(SnippetIndex::words(query));
    lstResults->setUpdatesEnabled(false);
    lstResults->clear();
    lstResults->addTopLevelItems(items);
    if (kept) {
        const auto same = [&kept](const SnippetIndex::Hit& hit) {
            return hit.name == kept->name && hit.category == kept->category &&
                   hit.subCategory == kept->subCategory;
        };
        if (const auto at = std::find_if(m_hits.cbegin(), m_hits.cend(), same); at != m_hits.cend())
            lstResults->setCurrentItem(lstResults->topLevelItem(int(at - m_hits.cbegin())));
    }
    lstResults->setUpdatesEnabled(true);
    lblCount->setText(SnippetIndex::words(query).isEmpty()
                          ? QString()
                          : countText(results.total, int(m_hits.size())));
    showProgress();
    emit resultsShown();
    // Enter was pressed for this text while it was being searched. In another of the program's
    // windows now, the user has moved on, and the main window may be in a command or a box.
    if (m_openWhenAnswered && resultsCurrent()) {
        m_openWhenAnswered = false;
        const QWidget* active = QApplication::activeWindow();
        if (isVisible() && (!active || active == this))
            openResult(0);
    }
}

void frmFind::openResult(int row) {
    if (row < 0 || row >= m_hits.size())
        return;
    // Opening runs events (and may show a box), and an answer shown meanwhile replaces m_hits.
    const SnippetIndex::Hit hit = m_hits.at(row);
    const QStringList words = SnippetIndex::words(m_shownQuery);
    emit openRequested(hit, words);
}

void frmFind::showProgress() {
    const SnippetIndex::Progress progress = m_index.progress();
    lblIndexing->setVisible(progress.running);
    if (progress.running)
        lblIndexing->setText(
            tr("Indexing %1 of %2 snippets").arg(progress.done).arg(progress.total));
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
    // Down from the query field goes on to the results, as in a search field anywhere.
    if (watched == txtFind && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && lstResults->topLevelItemCount()) {
        lstResults->setFocus();
        if (!lstResults->currentItem())
            lstResults->setCurrentItem(lstResults->topLevelItem(0));
        return true;
    }
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
