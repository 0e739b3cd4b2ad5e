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
class QTimer;
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
    // Whether a read asked for, of the versions or of the chosen one, has not been shown yet.
    bool isReading() const;
    // What a version was, in the list's words.
    static QString whatText(const HistoryVersion& version);

    QTreeWidget* lstVersions = nullptr;
    CodeEditor* txtVersion = nullptr;
    QLabel* lblDifferences = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblText = nullptr;

signals:
    // `bytes` is the chosen version's text as it was stored.
    void restoreRequested(const QString& path, const QByteArray& bytes);
    void versionsShown();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void takeVersions();
    void takeChosen();

private:
    // The chosen version as a thread of its own prepares it: read, decoded and compared with the
    // snippet's file, which for a long snippet takes far longer than the window may wait.
    struct Prepared {
        quint64 asked = 0;
        QString path;
        QString key; // commit and blob
        std::optional<QByteArray> bytes;
        QString text;
        QStringList keywords;
        QList<bool> marked;
        bool currentRead = false;
        QString currentReason;
        bool exact = true;
        int countOld = 0;
        int countNew = 0;
    };
    // The texts that name the file whose versions are shown: a snippet's, or the language file.
    void nameTheFile();
    void showChosen();
    void dropShownText(); // the text goes a part at a time, nothing acts on it meanwhile
    void showWhyNone(const QString& why);
    void loadSlice();
    void finishShowing();
    void showMarks(const Prepared& prepared);
    void restoreChosen();
    void copyChosen();
    // The chosen version's stored text once shown; none for a deletion, when it cannot be read,
    // or while it is being prepared.
    std::optional<QByteArray> chosenBytes() const;
    int chosenRow() const;

    LibraryFs& m_fs;
    QString m_gitFolder;
    bool m_historyOpen = false;
    QString m_path;
    QString m_name;
    bool m_languageFile = false; // the versions are of the language file, not of a snippet
    QList<HistoryVersion> m_versions;
    QString m_shownKey;  // of the version the editor shows; empty for none
    QString m_shownText; // of the chosen version, as the editor shows it
    std::optional<QByteArray> m_shownBytes;
    QList<bool> m_marked;               // per line of it: not in the snippet's file now
    QColor m_background;                // the editor's, painted by the window beneath the marks
    std::optional<Prepared> m_arriving; // going into the editor a slice at a time
    qsizetype m_arrived = -1;           // of its text; -1 while the text before goes
    QTimer* m_sliceTimer = nullptr;
    struct Listing {
        quint64 asked = 0;
        QString path;
        bool open = false;
        QList<HistoryVersion> versions;
    };
    quint64 m_asked = 0;
    quint64 m_shown = 0;
    quint64 m_chosenAsked = 0;
    quint64 m_chosenShown = 0;
    // Last: their threads go first.
    std::unique_ptr<HistoryLoader<Listing>> m_loader;
    std::unique_ptr<HistoryLoader<Prepared>> m_preparer;
};
