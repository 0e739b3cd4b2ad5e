// SPDX-License-Identifier: MIT
#pragma once

#include "editor/colourmap.h"
#include "editor/colours.h"

#include <QBasicTimer>
#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextLayout>
#include <optional>
#include <utility>
#include <vector>

// The code editor both windows use. Text is exact (what was set is what is read, line breaks as
// '\n'); colours are display attributes kept outside the document, so they never enter the undo
// history and applying many of them costs little.
class CodeEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CodeEditor(QWidget* parent = nullptr);
    ~CodeEditor() override;

    static QFont codeFont();
    // A colour packed 0x00BBGGRR as the widget paints it.
    static QColor colourOf(quint32 bbggrr);

    QString text() const;
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
    int lineStartOfCaret() const;         // start of the line holding the selection start
    int lineFromChar(int position) const; // line index from 0

    void suspendPainting();
    void resumePainting();

    // The caret and selection. Qt's own text control never holds a caret in a line too long to lay
    // out: every question it asks about its caret (focus, blinking, each key, the input method)
    // would make Qt work through the whole line. The editor keeps such a caret itself, and these
    // hide QPlainTextEdit's own so that every caller sees it.
    QTextCursor textCursor() const;
    void setTextCursor(const QTextCursor& cursor);
    QRect cursorRect() const;
    QRect cursorRect(const QTextCursor& cursor) const;
    void ensureCursorVisible();
    void undo();
    void redo();
    // A cursor from `anchor` to `position`, made without Qt asking the line's layout where it is.
    QTextCursor cursorAt(int anchor, int position) const;
    // The position under `point` (viewport coordinates) when it is on a long line.
    std::optional<int> longLinePositionAt(QPointF point) const;

signals:
    void mouseButtonReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                             QPoint position);
    void overwriteModeChanged(bool overwrite);

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    void undoOrRedo(bool undoing);
    void onContentsChange(int position, int removed, int added);
    // The colours of one line as the last colouring gives them, in document positions.
    QList<ColourRun> derivedRuns(const QTextBlock& block) const;
    // Runs with the derived parts worked out.
    QList<ColourRun> resolved(const QList<ColourRun>& runs) const;
    // Gives the lines meeting [start, end] colours of their own before an edit changes them, so
    // the edit keeps the colours of the characters it leaves and new text takes the one before.
    void keepColoursOfLines(int start, int end);
    void keepColoursAroundSelection();
    void enterLoading();
    void endLoading();
    void forgetLineColours(); // after any change of text or colours
    // A line's colours, the derived parts worked out; kept while neither text nor colours change.
    const QList<ColourRun>& lineColours(const QTextBlock& block) const;
    QList<QTextLayout::FormatRange> visibleColours(const QTextBlock& block, const QPointF& offset,
                                                   const QRect& clip) const;
    void paintText(QRect clip);
    // The part of a line too long to lay out that `clip` shows, laid out on its own in `piece`;
    // returns where in the line it starts, and sets where it is drawn.
    int layOutPiece(QTextLayout& piece, const QTextBlock& block, const QPointF& offset,
                    const QRect& clip, QPointF* at) const;
    QList<QTextLayout::FormatRange> pieceColours(const QTextBlock& block, int from,
                                                 int length) const;
    // The derived colours of [from, to) of a long line, worked out from the text around it.
    QList<ColourRun> derivedRunsIn(const QTextBlock& block, int from, int to) const;
    // Scrolls a caret in a long line into view.
    void showCaretOfLongLine();
    void setCaretInView(const QTextCursor& cursor); // where the mouse is, not scrolling across
    // A key while the caret is in a long line; false for keys left to the widget.
    bool keyInLongLine(QKeyEvent* event);
    // Replaces [from, to) with `text` as one undo step, the caret after it.
    void editInLongLine(int from, int to, const QString& text);
    bool touchesLongLine(const QTextCursor& cursor) const;
    void restartBlink();
    // Where the caret at `position` of a long line is drawn, in viewport coordinates.
    QRect longCaretRect(int position) const;

    ColourMap m_colours;
    std::optional<std::pair<int, int>> m_exactEdit; // position and removed length of our own edit
    struct LineColours {
        QList<ColourRun> runs;
    };
    static constexpr int KeptLines = 512;
    static constexpr int FewLines = 1000;          // more than any screen shows
    mutable QHash<int, LineColours> m_lineColours; // by line number: the lines lately painted
    mutable QHash<int, int> m_longLineComments;    // long lines' first apostrophes, -1 for none
    int m_paintSuspensions = 0;
    QStringList m_keywords; // of the last colourAll
    bool m_loading = false;
    bool m_settingText = false;
    bool m_edited = false;
    bool m_draggingInLongLine = false;
    QTextCursor m_longCaret; // the caret while it is in a long line; Qt's own is null meanwhile
    bool m_longCaretOn = false;
    QBasicTimer m_blink;
    int m_undoneAt = -1;            // where the last undo or redo changed the text
    QPixmap m_loadingPicture;       // what the viewport showed when loading began
    std::vector<int> m_addedBreaks; // line breaks loading put after pieces, removed when it ends
    Qt::ScrollBarPolicy m_verticalPolicy = Qt::ScrollBarAsNeeded;
};
