// SPDX-License-Identifier: MIT
#pragma once

#include "history/history.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;
class QTreeWidget;

// "Deleted Snippets": the snippets and categories the library lost, newest first, with where they
// were and when. Owned by the main window and not modal; Escape hides it.
class frmDeleted : public QDialog {
    Q_OBJECT
public:
    frmDeleted(const QString& gitFolder, QWidget* owner);

    // Reads the history again; the chosen entry stays chosen while it is listed.
    void refresh();
    const QList<DeletedEntry>& entries() const { return m_entries; }

    QTreeWidget* lstDeleted = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdClose = nullptr;

signals:
    void restoreRequested(const DeletedEntry& entry);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void restoreChosen();

    QString m_gitFolder;
    QList<DeletedEntry> m_entries;
};
