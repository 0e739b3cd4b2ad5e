// SPDX-License-Identifier: MIT
#pragma once

#include "history/history.h"
#include "windows/historyloader.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

class CodeEditor;
class LibraryFs;
class QLabel;
class QPushButton;
class QTreeWidget;

// "History of NAME": the versions of one snippet, newest first, the chosen one shown read-only in
// the editor's colours with the lines that differ from the snippet's file as it is now marked.
// Owned by the main window and not modal; Escape hides it.
class frmHistory : public QDialog {
    Q_OBJECT
public:
    frmHistory(LibraryFs& fs, const QString& gitFolder, QWidget* owner);
    ~frmHistory() override;

    // The snippet at `path` (relative to the library), listed in the main window as `name`.
    void showSnippet(const QString& path, const QString& name);
    QString snippetPath() const { return m_path; }
    // Reads the versions again, off the window's thread; the chosen version stays chosen.
    void refresh();
    // Whether a read asked for has not been shown yet.
    bool isReading() const { return m_shown != m_asked; }
    // What a version was, in the list's words.
    static QString whatText(const HistoryVersion& version);

    QTreeWidget* lstVersions = nullptr;
    CodeEditor* txtVersion = nullptr;
    QLabel* lblDifferences = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;

signals:
    // `bytes` is the chosen version's text as it was stored.
    void restoreRequested(const QString& path, const QByteArray& bytes);
    void versionsShown();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void takeVersions();

private:
    void showChosen();
    void restoreChosen();
    void copyChosen();
    // The chosen version's stored text; none for a deletion or when it cannot be read.
    std::optional<QByteArray> chosenBytes() const;
    int chosenRow() const;

    LibraryFs& m_fs;
    QString m_gitFolder;
    std::unique_ptr<HistoryReader> m_reader;
    QString m_path;
    QString m_name;
    QList<HistoryVersion> m_versions;
    QString m_shownText;  // of the chosen version, as the editor shows it
    QList<bool> m_marked; // per line of it: not in the snippet's file now
    QColor m_background;  // the editor's, painted by the window beneath the marks
    struct Listing {
        quint64 asked = 0;
        QString path;
        bool open = false;
        QList<HistoryVersion> versions;
    };
    quint64 m_asked = 0;
    quint64 m_shown = 0;
    std::unique_ptr<HistoryLoader<Listing>> m_loader; // last: its thread goes first
};
