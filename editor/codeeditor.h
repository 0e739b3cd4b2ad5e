// SPDX-License-Identifier: MIT
#pragma once

#include "editor/colourmap.h"
#include "editor/colours.h"

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextLayout>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The code editor both windows use. Text is exact (what was set is what is read, line breaks as
// '\n'); colours are display attributes kept outside the document, so they never enter the undo
// history and applying many of them costs little.
class QTimer;
class DocumentDeleter;

class CodeEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CodeEditor(QWidget* parent = nullptr);
    ~CodeEditor() override;

    static QFont codeFont();
    // A colour packed 0x00BBGGRR as the widget paints it.
    static QColor colourOf(quint32 bbggrr);

    QString text() const;
    // `text` as text() gives it back once loaded: the document breaks the line at a carriage
    // return and at a few other characters, which then read as a line feed.
    static QString asLoaded(QString text);
    void setText(const QString& text); // replaces all; nothing selected; all default colour
    int textLength() const;

    int selectionStart() const;
    int selectionLength() const;
    void setSelectionStart(int start);   // collapses the selection to a caret there
    bool setSelectionLength(int length); // selects from the start; refuses a negative length
    QString selectedText() const;
    void replaceSelection(const QString& text); // one undo step; caret after it, nothing selected

    quint32 colourAt(int position) const;
    // The runs that meet [start, start + length), clipped to it, default-coloured ones left out.
    QList<ColourRun> colourRuns(int start, int length) const;
    // All text default, then the runs, painted once.
    void applyColours(const QList<ColourRun>& runs);
    // The same for [start, start + length) alone; the rest keeps its colours.
    void applyColours(int start, int length, const QList<ColourRun>& runs);
    // Keyword and comment colours for the whole text with these lowered keywords. Each line's
    // colours are worked out from its text when it is painted or asked for, and kept only once
    // the line is edited, so colouring costs the same for any length of text.
    void colourAll(const QStringList& keywords);

    // A long text arrives in pieces: until finishLoading() the editor keeps showing what it showed
    // when loading began, ignores the keyboard and the mouse, and keeps no undo history.
    // `showPicture` false: the caller takes all pieces before anything can be painted.
    void beginLoading(bool showPicture = true);
    // Shows `text` until loading begins, ignoring the keyboard and the mouse and refusing edits
    // meanwhile, so nothing can act on it.
    void showWaitText(const QString& text);
    void appendLoadedText(const QString& piece);
    // The text is shown, caret at `caret`, in the colours given meanwhile.
    void finishLoading(int caret = 0);
    bool isLoading() const { return m_loading; }
    // Whether the user changed the text since it was set, loaded or marked clean (by a save).
    bool isEdited() const { return m_edited; }
    void markClean() { m_edited = false; }

    void setWordWrapOff();
    bool wordWrapOff() const;
    // Lines as the text has them: a line split for display counts once.
    int lineStartOfCaret() const;         // start of the line holding the selection start
    int lineFromChar(int position) const; // line index from 0
    int lineStart(int line) const;        // the text's length past the last line

    void suspendPainting();
    void resumePainting();

    // Text holding a line too long for Qt to lay out is shown with that line split into chunks,
    // one display line each, and is read-only: every edit is refused through editRefused(), as is
    // an edit that would make such a line. The longest such line's length; 0 when none.
    int tooLongLine() const { return m_tooLong.length; }
    // The text offset of a position in the document, which holds the breaks between chunks, and
    // back.
    int textOffset(int position) const;
    int documentPosition(int offset) const;
    // Undo and redo, refused while the text is read-only for a long line.
    void undo();
    void redo();
    // A cursor from `anchor` to `position` (document positions), made without Qt asking the
    // line's layout where it is.
    QTextCursor cursorAt(int anchor, int position) const;

signals:
    // The text changed, as QTextDocument::contentsChange tells it, after the editor has moved its
    // colours along; connect here rather than to document(), which a long text's replacement
    // swaps for a fresh one.
    void contentsChange(int position, int removed, int added);
    void mouseButtonReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                             QPoint position);
    void overwriteModeChanged(bool overwrite);
    // An edit was not made; `why` says so in the user's words.
    void editRefused(const QString& why);

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void dropEvent(QDropEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class EditorAccessible;
    struct TooLong {
        int line = -1;  // its index from 0
        int length = 0; // in characters; 0: no line too long
    };
    // Refuses the edit when the text is read-only for a long line, telling why.
    bool refusedForLongLine();
    void refuseLongLine(int line, int length);
    // Refuses replacing the selection with `inserted` when that would make a line too long.
    bool refusedAsTooLong(const QString& inserted);
    // The widget's own key, taken back whole when it made a line too long.
    void keyWithinLineLimit(QKeyEvent* event);
    // Read-only while the text holds a line too long to lay out, as it was before otherwise.
    void applyLineLimit(TooLong longest);
    QString withoutChunkBreaks(const QString& documentText, int from) const;
    bool isChunkBreak(int position) const;
    int breaksBefore(int position) const;
    // The document positions of the start and the end (its break) of the line holding
    // `position`, a split line's chunks taken together.
    std::pair<int, int> lineRange(int position) const;
    void onContentsChange(int position, int removed, int added);
    void followContentsChange(int position, int removed, int added);
    // Empties the document. A long one is swapped for a fresh, empty one at once and deleted
    // later, when nothing loads: emptying it in place would hold the window for its whole size.
    void emptyDocument();
    void disposeRetired();
    // The colours of one line as the last colouring gives them, in document positions.
    QList<ColourRun> derivedRuns(const QTextBlock& block) const;
    // Runs with the derived parts worked out.
    QList<ColourRun> resolved(const QList<ColourRun>& runs) const;
    // Gives the lines meeting [start, end] colours of their own before an edit changes them, so
    // the edit keeps the colours of the characters it leaves and new text takes the one before.
    void keepColoursOfLines(int start, int end);
    void keepColoursAroundSelection();
    void enterLoading();
    void takePendingLine(); // the loaded text's last line, which no piece ended
    void endLoading();
    void forgetLineColours(); // after any change of text or colours
    // [from, to) (text offsets) took other colours: their lines are painted again, if in view.
    void recolouredLines(int from, int to);
    // A line's colours, the derived parts worked out; kept while neither text nor colours change.
    const QList<ColourRun>& lineColours(const QTextBlock& block) const;
    QList<QTextLayout::FormatRange> visibleColours(const QTextBlock& block, const QPointF& offset,
                                                   const QRect& clip) const;
    void paintText(QRect clip);
    // The derived colours of [from, to) (text offsets) of one chunk of a split line, worked out
    // from the text around it.
    QList<ColourRun> derivedRunsOfChunk(const QTextBlock& block, int from, int to) const;

    ColourMap m_colours;
    std::optional<std::pair<int, int>> m_exactEdit; // position and removed length of our own edit
    struct LineColours {
        QList<ColourRun> runs;
    };
    static constexpr int KeptLines = 512;
    static constexpr int FewLines = 1000;          // more than any screen shows
    mutable QHash<int, LineColours> m_lineColours; // by line number: the lines lately painted
    mutable QHash<int, int> m_lineComments; // split lines' first apostrophes by line start, or -1
    int m_paintSuspensions = 0;
    QStringList m_keywords; // of the last colourAll
    bool m_loading = false;
    bool m_settingText = false;
    bool m_edited = false;
    TooLong m_tooLong;
    bool m_readOnlyBefore = false;   // what the owner set, kept while a long line overrides it
    std::vector<int> m_chunkBreaks;  // document positions of the breaks between chunks
    std::vector<int> m_chunkOffsets; // the text offsets they stand at
    std::vector<std::pair<int, int>> m_splitLines; // the lineRange of each split line
    QString m_pendingLine;          // the last piece's unfinished line, not yet shown
    bool m_splittingLine = false;   // that line is too long to lay out, and goes in chunks
    int m_unfinishedLine = 0;       // what of that line is already in the document
    QPixmap m_loadingPicture;       // what the viewport showed when loading began
    std::vector<int> m_addedBreaks; // line breaks loading put after chunks
    struct LoadedSplit {
        int start;              // document positions of the line's start
        int end;                // and of its end; -1 until it has ended
        std::size_t firstBreak; // index of its first break in m_addedBreaks
    };
    std::vector<LoadedSplit> m_loadedSplits; // the lines loading split, in order
    Qt::ScrollBarPolicy m_verticalPolicy = Qt::ScrollBarAsNeeded;
    struct Retired {
        QTextDocument* document;
        bool widgetCursors; // see m_widgetCursors
    };
    std::vector<Retired> m_retired; // swapped out, deleted by m_disposal
    QTimer* m_disposal = nullptr;
    // Whether the widget may keep cursors in the document (it keeps those of a double click and
    // of a drag until the next), which only the window's thread may touch.
    bool m_widgetCursors = false;
    std::unique_ptr<DocumentDeleter> m_deleter; // made with the first document it deletes
};
