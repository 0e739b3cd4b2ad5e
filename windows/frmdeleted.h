// SPDX-License-Identifier: MIT
#pragma once

#include "history/history.h"
#include "windows/historyloader.h"

#include <QDialog>
#include <QList>
#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;

// "Deleted Snippets": the snippets and categories the library lost, newest first, with where they
// were and when. Owned by the main window and not modal; Escape hides it.
class frmDeleted : public QDialog {
    Q_OBJECT
public:
    frmDeleted(const QString& gitFolder, QWidget* owner);
    ~frmDeleted() override;

    // Reads the history again, off the window's thread; the chosen entry stays chosen while it
    // is listed.
    void refresh();
    // Whether a read asked for has not been shown yet.
    bool isReading() const { return m_shown != m_asked; }
    const QList<DeletedEntry>& entries() const { return m_entries; }

    QTreeWidget* lstDeleted = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdClose = nullptr;

signals:
    void restoreRequested(const DeletedEntry& entry);
    void entriesShown();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void takeEntries();

private:
    void restoreChosen();

    QString m_gitFolder;
    QList<DeletedEntry> m_entries;
    struct Listing {
        quint64 asked = 0;
        bool open = false;
        QList<DeletedEntry> entries;
    };
    quint64 m_asked = 0;
    quint64 m_shown = 0;
    std::unique_ptr<HistoryLoader<Listing>> m_loader; // last: its thread goes first
};
