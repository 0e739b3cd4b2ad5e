// SPDX-License-Identifier: MIT
#include "editor/codeeditor.h"

#include "editor/colouring.h"
#include "editor/editoraccessibility.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {
// Keys that only move the caret or select never change the text.
bool mayEdit(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
        return false;
    default:
        return !event->matches(QKeySequence::Copy) && !event->matches(QKeySequence::SelectAll);
    }
}

// The document's own separators are U+2029; the editor's text model uses '\n'.
QString fromDocumentText(QString text) {
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

// Qt lays a line out whole, shaping every character and keeping some 40 bytes for each while it
// does: for a line of 50 MB that is a quarter of a minute and gigabytes, again at every question
// about the line. A line longer than this is never laid out: it is measured by its length in the
// fixed-pitch font, and the editor paints only the part in view.
constexpr int LongLine = 1 << 16;

bool isLong(const QTextBlock& block) {
    return block.length() > LongLine;
}

class LineLayout : public QPlainTextDocumentLayout {
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    qreal advance() const {
        return QFontMetricsF(document()->defaultFont()).horizontalAdvance(QLatin1Char('x'));
    }

    QRectF blockBoundingRect(const QTextBlock& block) const override {
        if (!block.isValid() || !isLong(block))
            return QPlainTextDocumentLayout::blockBoundingRect(block);
        if (!block.isVisible())
            return {};
        // No width: the widget then never asks the line's layout where a position is, which
        // would lay it out. The document's width comes from documentSize().
        const qreal margin = document()->documentMargin();
        QRectF box(0, 0, 0, QFontMetricsF(document()->defaultFont()).lineSpacing());
        if (!block.next().isValid())
            box.adjust(0, 0, 0, margin);
        return box;
    }

    QSizeF documentSize() const override {
        QSizeF size = QPlainTextDocumentLayout::documentSize();
        size.setWidth(std::max(size.width(), m_widestLong));
        return size;
    }

protected:
    void documentChanged(int from, int removed, int added) override {
        QTextDocument* doc = document();
        bool longMet = m_widestLong > 0;
        const QTextBlock last = doc->findBlock(from + added);
        for (QTextBlock block = doc->findBlock(from); block.isValid(); block = block.next()) {
            if (isLong(block)) {
                longMet = true;
                // The base would lay a line it has laid out before out again.
                block.layout()->clearLayout();
            }
            if (block == last)
                break;
        }
        const qreal widest = m_widestLong;
        if (longMet) {
            m_widestLong = 0;
            for (QTextBlock block = doc->firstBlock(); block.isValid(); block = block.next()) {
                if (isLong(block) && block.isVisible())
                    m_widestLong = std::max(m_widestLong, widthOf(block));
            }
        }
        // An edit inside one long line: the base would lay the line out to see whether its
        // height changed, and a long line's height never does.
        const QTextBlock first = doc->findBlock(from);
        const int blocks = doc->blockCount();
        if (blocks == m_blockCount && isLong(first) &&
            first == doc->findBlock(std::max(0, from + removed + added - 1)))
            emit updateBlock(first);
        else
            QPlainTextDocumentLayout::documentChanged(from, removed, added);
        m_blockCount = blocks;
        if (m_widestLong != widest)
            emit documentSizeChanged(documentSize());
    }

private:
    qreal widthOf(const QTextBlock& block) const {
        return 2 * document()->documentMargin() + (block.length() - 1) * advance();
    }

    qreal m_widestLong = 0;
    int m_blockCount = 1; // as the base counts them, an empty document's one
};
} // namespace

CodeEditor::CodeEditor(QWidget* parent) : QPlainTextEdit(parent) {
    EditorAccessible::install();
    auto* doc = new QTextDocument(this);
    doc->setDocumentLayout(new LineLayout(doc));
    setDocument(doc);
    // Keywords and comments are coloured for a white page: a dark desktop scheme must not
    // darken the page under them.
    QPalette page = palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    setPalette(page);
    setFont(codeFont());
    setTabChangesFocus(false);
    connect(document(), &QTextDocument::contentsChange, this, &CodeEditor::onContentsChange);
    // After the widget's own scrolling, which does not know where the caret is in a long line.
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CodeEditor::showCaretOfLongLine,
            Qt::QueuedConnection);
    m_colours.assign(0, {});
}

CodeEditor::~CodeEditor() = default;

QColor CodeEditor::colourOf(quint32 bbggrr) {
    return QColor(int(bbggrr & 0xFF), int((bbggrr >> 8) & 0xFF), int((bbggrr >> 16) & 0xFF));
}

QFont CodeEditor::codeFont() {
    QFont font(QStringLiteral("Courier"));
    font.setPointSizeF(9.75);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setWeight(QFont::Normal);
    font.setBold(false);
    font.setItalic(false);
    return font;
}

QString CodeEditor::text() const {
    return fromDocumentText(document()->toRawText());
}

void CodeEditor::setText(const QString& text) {
    endLoading();
    // Qt would place its caret at the start of a long first line, working through all of it.
    bool longLine = false;
    for (qsizetype at = 0; at < text.size() && !longLine;) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        longLine = end - at >= LongLine;
        at = end + 1;
    }
    if (longLine) {
        beginLoading(false);
        for (qsizetype at = 0; at < text.size(); at += LongLine)
            appendLoadedText(text.mid(at, LongLine));
        finishLoading(0);
        return;
    }
    // Emptying first makes the widget forget the widest line it measured. If that was the first
    // line (the wait text is), laying out a narrower new first line makes it measure every line
    // of the new text, which costs a layout per line in time and memory.
    m_settingText = true;
    if (!document()->isEmpty())
        setPlainText(QString());
    setPlainText(text);
    m_settingText = false;
    m_edited = false;
    m_colours.assign(textLength(), {});
    forgetLineColours();
    QTextCursor cursor = textCursor();
    cursor.setPosition(0);
    setTextCursor(cursor);
}

int CodeEditor::textLength() const {
    return std::max(0, document()->characterCount() - 1);
}

int CodeEditor::selectionStart() const {
    return textCursor().selectionStart();
}

int CodeEditor::selectionLength() const {
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

void CodeEditor::setSelectionStart(int start) {
    const int at = std::clamp(start, 0, textLength());
    setTextCursor(cursorAt(at, at));
}

bool CodeEditor::setSelectionLength(int length) {
    if (length < 0)
        return false;
    const int start = textCursor().selectionStart();
    setTextCursor(cursorAt(start, std::min(start + length, textLength())));
    return true;
}

QString CodeEditor::selectedText() const {
    return fromDocumentText(textCursor().selectedText());
}

void CodeEditor::replaceSelection(const QString& text) {
    if (m_loading)
        return;
    if (!m_longCaret.isNull()) {
        editInLongLine(m_longCaret.selectionStart(), m_longCaret.selectionEnd(), text);
        document()->setModified(false);
        return;
    }
    keepColoursAroundSelection();
    QTextCursor cursor = textCursor();
    // The document may report a whole line as changed; the colours follow the exact edit.
    m_exactEdit = {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    m_exactEdit.reset();
    // The document folds a following keystroke into the last undo step only while it is marked
    // modified; clearing the mark keeps this edit an undo step of its own.
    document()->setModified(false);
    cursor.clearSelection();
    setTextCursor(cursor);
}

quint32 CodeEditor::colourAt(int position) const {
    const quint32 colour = m_colours.colourAt(position);
    if (colour != ColourMap::Derived)
        return colour;
    for (const ColourRun& run : derivedRuns(document()->findBlock(position))) {
        if (position >= run.start && position < run.start + run.length)
            return run.colour;
    }
    return Colours::Default;
}

QList<ColourRun> CodeEditor::colourRuns(int start, int length) const {
    return resolved(m_colours.runsIn(start, length));
}

void CodeEditor::applyColours(const QList<ColourRun>& runs) {
    m_colours.assign(textLength(), runs);
    forgetLineColours();
}

void CodeEditor::colourAll(const QStringList& keywords) {
    m_keywords = keywords;
    const int length = textLength();
    m_colours.assign(length, {{0, length, ColourMap::Derived}});
    forgetLineColours();
}

QList<ColourRun> CodeEditor::derivedRuns(const QTextBlock& block) const {
    if (!block.isValid())
        return {};
    // A keyword never spans a line break and a comment ends at one, so a line coloured on its own
    // gets the colours it gets inside the whole text.
    QString line = block.text();
    if (block.next().isValid())
        line += QLatin1Char('\n');
    QList<ColourRun> runs = Colouring::colour(line, m_keywords);
    const int offset = block.position();
    for (ColourRun& run : runs)
        run.start += offset;
    return runs;
}

QList<ColourRun> CodeEditor::resolved(const QList<ColourRun>& runs) const {
    QList<ColourRun> out;
    out.reserve(runs.size());
    const auto append = [&out](int start, int end, quint32 colour) {
        if (start >= end)
            return;
        if (!out.isEmpty() && out.back().colour == colour &&
            out.back().start + out.back().length == start)
            out.back().length += end - start;
        else
            out.append({start, end - start, colour});
    };
    for (const ColourRun& run : runs) {
        const int end = run.start + run.length;
        if (run.colour != ColourMap::Derived) {
            append(run.start, end, run.colour);
            continue;
        }
        for (QTextBlock block = document()->findBlock(run.start);
             block.isValid() && block.position() < end; block = block.next()) {
            for (const ColourRun& line : derivedRuns(block))
                append(std::max(line.start, run.start), std::min(line.start + line.length, end),
                       line.colour);
        }
    }
    return out;
}

void CodeEditor::keepColoursOfLines(int start, int end) {
    const int length = textLength();
    const QTextBlock first = document()->findBlock(std::clamp(start, 0, length));
    const QTextBlock last = document()->findBlock(std::clamp(end, 0, length));
    if (!first.isValid() || !last.isValid())
        return;
    // Of a long line only the stretch round the edit: colouring all of it would take seconds.
    constexpr int Around = 256;
    QList<ColourRun> derived;
    QList<ColourRun> own;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        int from = block.position();
        int to = std::min(from + block.length(), length);
        if (isLong(block)) {
            from = std::max(from, start - Around);
            to = std::min(to, end + Around);
        }
        for (const ColourRun& run : m_colours.runsIn(from, to - from)) {
            if (run.colour != ColourMap::Derived)
                continue;
            derived.append(run);
            if (isLong(block))
                own.append(derivedRunsIn(block, run.start, run.start + run.length));
            else
                own.append(resolved({run}));
        }
        if (block == last)
            break;
    }
    for (const ColourRun& run : derived)
        m_colours.setRange(run.start, run.length, Colours::Default);
    for (const ColourRun& run : own)
        m_colours.setRange(run.start, run.length, run.colour);
}

void CodeEditor::keepColoursAroundSelection() {
    const QTextCursor cursor = textCursor();
    // One character either side: a deleted line break joins the neighbouring line.
    keepColoursOfLines(cursor.selectionStart() - 1, cursor.selectionEnd() + 1);
}

void CodeEditor::enterLoading() {
    m_loading = true;
    // A scroll bar that appeared only at the end would narrow the view and make the widget lay
    // out every line again.
    m_verticalPolicy = verticalScrollBarPolicy();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalScrollBar()->setEnabled(false);
    verticalScrollBar()->setEnabled(false);
}

void CodeEditor::showWaitText(const QString& text) {
    setText(text);
    m_loadingPicture = viewport()->grab();
    enterLoading();
}

void CodeEditor::beginLoading(bool showPicture) {
    if (!m_loading) {
        if (showPicture)
            m_loadingPicture = viewport()->grab();
        enterLoading();
    }
    m_longCaret = QTextCursor();
    setPlainText(QString());
    document()->setUndoRedoEnabled(false);
    // Keeps the view from measuring the last lines after every piece.
    document()->documentLayout()->blockSignals(true);
    m_colours.assign(0, {});
    forgetLineColours();
}

void CodeEditor::appendLoadedText(const QString& piece) {
    if (!m_loading || piece.isEmpty())
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (piece.endsWith(QLatin1Char('\n'))) {
        cursor.insertText(piece);
        return;
    }
    // Text that adds no line is laid out by the widget at once, and again when it is shown. With
    // a line break after it nothing lays it out until then; the break goes when loading ends.
    cursor.insertText(piece + QLatin1Char('\n'));
    m_addedBreaks.push_back(cursor.position() - 1);
}

void CodeEditor::finishLoading(int caret) {
    if (!m_loading)
        return;
    // Placed while the lines are short: once joined, Qt would go over the whole line to find it.
    int before = std::max(0, caret);
    for (const int added : m_addedBreaks) {
        if (added > before)
            break;
        ++before;
    }
    QTextCursor place = cursorAt(0, std::min(before, textLength()));
    if (!m_addedBreaks.empty()) {
        // Kept by the editor while lines are joined; Qt's caret would then sit in a long line.
        m_longCaret = place;
        QPlainTextEdit::setTextCursor(QTextCursor());
        // One edit that joins lines: the widget forgets their layouts rather than making them.
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        for (auto at = m_addedBreaks.rbegin(); at != m_addedBreaks.rend(); ++at) {
            cursor.setPosition(*at);
            cursor.deleteChar();
        }
        cursor.endEditBlock();
        m_addedBreaks.clear();
        place = m_longCaret;
    }
    setTextCursor(place);
    endLoading();
    m_edited = false;
    document()->setModified(false);
}

void CodeEditor::endLoading() {
    if (!m_loading)
        return;
    m_loading = false;
    m_loadingPicture = QPixmap();
    m_addedBreaks.clear();
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    // A scroll bar that comes or goes changes the view's width, and the widget then lays out again
    // every line it has laid out, and makes a layout for every line. A few lines may need no bar:
    // it goes before anything is laid out. Many lines keep it: the widget learns their size first.
    const bool fewLines = document()->blockCount() <= FewLines;
    if (fewLines)
        setVerticalScrollBarPolicy(m_verticalPolicy);
    layout->blockSignals(false);
    emit layout->documentSizeChanged(layout->documentSize());
    if (!fewLines)
        setVerticalScrollBarPolicy(m_verticalPolicy);
    document()->setUndoRedoEnabled(true);
    horizontalScrollBar()->setEnabled(true);
    verticalScrollBar()->setEnabled(true);
    viewport()->update();
}

void CodeEditor::setWordWrapOff() {
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

bool CodeEditor::wordWrapOff() const {
    return lineWrapMode() == QPlainTextEdit::NoWrap;
}

int CodeEditor::lineStartOfCaret() const {
    return document()->findBlock(selectionStart()).position();
}

int CodeEditor::lineFromChar(int position) const {
    const QTextBlock block = document()->findBlock(std::clamp(position, 0, textLength()));
    return block.isValid() ? block.blockNumber() : document()->blockCount() - 1;
}

void CodeEditor::suspendPainting() {
    if (m_paintSuspensions++ == 0)
        setUpdatesEnabled(false);
}

void CodeEditor::resumePainting() {
    if (m_paintSuspensions > 0 && --m_paintSuspensions == 0)
        setUpdatesEnabled(true);
}

bool CodeEditor::event(QEvent* event) {
    if (m_loading) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::InputMethod:
            event->accept();
            return true;
        default:
            break;
        }
    }
    return QPlainTextEdit::event(event);
}

bool CodeEditor::viewportEvent(QEvent* event) {
    if (m_loading) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::ContextMenu:
            event->ignore();
            return true;
        default:
            break;
        }
    }
    return QPlainTextEdit::viewportEvent(event);
}

void CodeEditor::keyPressEvent(QKeyEvent* event) {
    // Tab types a tab; Ctrl+Tab and Ctrl+Shift+Tab leave the editor, so the keyboard is never
    // trapped in it.
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
        (event->modifiers() & Qt::ControlModifier)) {
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab &&
                                    !(event->modifiers() & Qt::ShiftModifier));
        return;
    }
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        setOverwriteMode(!overwriteMode());
        emit overwriteModeChanged(overwriteMode());
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        // Qt places its caret where the text changed, which may be in a long line.
        if (!isReadOnly())
            event->matches(QKeySequence::Undo) ? undo() : redo();
        event->accept();
        return;
    }
    if (keyInLongLine(event))
        return;
    if (!isReadOnly() && mayEdit(event))
        keepColoursAroundSelection();
    QPlainTextEdit::keyPressEvent(event);
    showCaretOfLongLine();
}

bool CodeEditor::touchesLongLine(const QTextCursor& cursor) const {
    return !cursor.isNull() && (isLong(document()->findBlock(cursor.position())) ||
                                isLong(document()->findBlock(cursor.anchor())));
}

QTextCursor CodeEditor::cursorAt(int anchor, int position) const {
    // Outside an edit block, each move of a cursor asks the line's layout where the caret stands.
    QTextCursor cursor(document());
    QTextCursor guard(document());
    guard.beginEditBlock();
    cursor.setPosition(std::clamp(anchor, 0, textLength()));
    cursor.setPosition(std::clamp(position, 0, textLength()), QTextCursor::KeepAnchor);
    guard.endEditBlock();
    return cursor;
}

QTextCursor CodeEditor::textCursor() const {
    return m_longCaret.isNull() ? QPlainTextEdit::textCursor() : m_longCaret;
}

void CodeEditor::setTextCursor(const QTextCursor& cursor) {
    const QTextCursor before = textCursor();
    if (touchesLongLine(cursor)) {
        m_longCaret = cursorAt(cursor.anchor(), cursor.position());
        if (!QPlainTextEdit::textCursor().isNull())
            QPlainTextEdit::setTextCursor(QTextCursor());
        restartBlink();
        viewport()->update();
        if (before.position() != cursor.position())
            emit cursorPositionChanged();
        if (before.anchor() != cursor.anchor() || before.position() != cursor.position())
            emit selectionChanged();
        return;
    }
    const bool wasLong = !m_longCaret.isNull();
    m_longCaret = QTextCursor();
    m_blink.stop();
    QPlainTextEdit::setTextCursor(cursor);
    if (wasLong)
        viewport()->update();
}

void CodeEditor::restartBlink() {
    m_longCaretOn = hasFocus();
    m_blink.stop();
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash >= 2)
        m_blink.start(flash / 2, this);
}

void CodeEditor::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    if (!m_longCaret.isNull()) {
        restartBlink();
        viewport()->update();
    }
}

void CodeEditor::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    m_blink.stop();
    m_longCaretOn = false;
    if (!m_longCaret.isNull())
        viewport()->update();
}

void CodeEditor::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_blink.timerId()) {
        QPlainTextEdit::timerEvent(event);
        return;
    }
    m_longCaretOn = !m_longCaretOn;
    viewport()->update(longCaretRect(m_longCaret.position()));
}

QRect CodeEditor::longCaretRect(int position) const {
    const QTextBlock block = document()->findBlock(position);
    const auto* lines = static_cast<const LineLayout*>(document()->documentLayout());
    const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
    const qreal x = box.left() + document()->documentMargin() +
                    (position - block.position()) * lines->advance();
    const qreal width = overwriteMode() ? lines->advance() : cursorWidth();
    return QRectF(x, box.top(), width, QFontMetricsF(document()->defaultFont()).lineSpacing())
        .toAlignedRect();
}

QRect CodeEditor::cursorRect(const QTextCursor& cursor) const {
    if (!cursor.isNull() && isLong(cursor.block()))
        return longCaretRect(cursor.position());
    return QPlainTextEdit::cursorRect(cursor);
}

QRect CodeEditor::cursorRect() const {
    return cursorRect(textCursor());
}

void CodeEditor::ensureCursorVisible() {
    if (m_longCaret.isNull())
        QPlainTextEdit::ensureCursorVisible();
    else
        showCaretOfLongLine();
}

void CodeEditor::undo() {
    undoOrRedo(true);
}

void CodeEditor::redo() {
    undoOrRedo(false);
}

void CodeEditor::undoOrRedo(bool undoing) {
    if (m_loading)
        return;
    // Qt would put its caret where the text changed, asking that line's layout.
    const QTextCursor caret = textCursor();
    m_longCaret = cursorAt(caret.anchor(), caret.position());
    QPlainTextEdit::setTextCursor(QTextCursor());
    m_undoneAt = -1;
    if (undoing)
        document()->undo();
    else
        document()->redo();
    const QTextCursor kept = m_longCaret;
    m_longCaret = QTextCursor();
    // Nothing to take back leaves the selection as it was.
    setTextCursor(m_undoneAt >= 0 ? cursorAt(m_undoneAt, m_undoneAt) : kept);
    ensureCursorVisible();
}

QVariant CodeEditor::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (m_longCaret.isNull())
        return QPlainTextEdit::inputMethodQuery(query);
    // Answered from the editor's own geometry and a stretch of text around the caret: Qt would
    // lay the line out for a rectangle and copy all of it for the surrounding text.
    constexpr int Around = 512;
    const QTextBlock block = m_longCaret.block();
    const int lineStart = block.position();
    const int lineEnd = lineStart + block.length() - 1;
    const int from = std::max(
        lineStart, std::min(m_longCaret.selectionStart(), m_longCaret.position()) - Around);
    const int to = std::min(lineEnd, m_longCaret.selectionEnd() + Around);
    const auto textIn = [this](int a, int b) {
        QString text(std::max(0, b - a), Qt::Uninitialized);
        for (int i = a; i < b; ++i)
            text[i - a] = document()->characterAt(i);
        return text;
    };
    switch (query) {
    case Qt::ImCursorRectangle:
        return QRectF(longCaretRect(m_longCaret.position()));
    case Qt::ImAnchorRectangle:
        return QRectF(longCaretRect(m_longCaret.anchor()));
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return m_longCaret.position() - from;
    case Qt::ImAnchorPosition:
        return std::clamp(m_longCaret.anchor(), from, to) - from;
    case Qt::ImSurroundingText:
        return textIn(from, to);
    case Qt::ImCurrentSelection:
        return selectedText();
    case Qt::ImAbsolutePosition:
        return m_longCaret.position();
    case Qt::ImTextBeforeCursor:
        return textIn(from, m_longCaret.position());
    case Qt::ImTextAfterCursor:
        return textIn(m_longCaret.position(), to);
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return QPlainTextEdit::inputMethodQuery(query);
    }
}

void CodeEditor::editInLongLine(int from, int to, const QString& text) {
    keepColoursOfLines(from - 1, to + 1);
    QTextCursor cursor = cursorAt(from, to);
    m_exactEdit = {from, to - from};
    // One block round the edit: Qt places the cursor after it on the line's layout otherwise.
    QTextCursor guard(document());
    guard.beginEditBlock();
    if (text.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(text);
    guard.endEditBlock();
    m_exactEdit.reset();
    const int at = from + int(text.size());
    setTextCursor(cursorAt(at, at));
    showCaretOfLongLine();
}

bool CodeEditor::keyInLongLine(QKeyEvent* event) {
    const QTextCursor caret = textCursor();
    if (m_longCaret.isNull()) {
        // A line break removed next to a long line joins Qt's caret to it.
        const QTextBlock block = caret.block();
        const bool joinsBefore = event->matches(QKeySequence::Backspace) && !caret.hasSelection() &&
                                 caret.atBlockStart() && isLong(block.previous());
        const bool joinsAfter = event->matches(QKeySequence::Delete) && !caret.hasSelection() &&
                                caret.position() == block.position() + block.length() - 1 &&
                                isLong(block.next());
        if (isReadOnly() || (!joinsBefore && !joinsAfter))
            return false;
        setTextCursor(cursorAt(caret.position(), caret.position()));
    }
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    const bool extend = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    const int anchor = caret.anchor();
    const int position = caret.position();
    const QTextBlock block = caret.block();
    const int lineStart = block.position();
    const int lineEnd = lineStart + block.length() - 1;
    const auto moveTo = [&](int to) {
        to = std::clamp(to, 0, textLength());
        setCaretInView(cursorAt(extend ? anchor : to, to));
        showCaretOfLongLine();
    };
    // A character beyond the first plane is two units; the caret never parts them.
    const auto step = [this](int from, int by) {
        const int to = from + by;
        return document()->characterAt(to).isLowSurrogate() ? to + by : to;
    };
    const auto column = [&](const QTextBlock& line) {
        return line.position() + std::min(position - lineStart, line.length() - 1);
    };
    const int pageLines = std::max(
        1, int(viewport()->height() / QFontMetricsF(document()->defaultFont()).lineSpacing()) - 1);
    const bool editable = !isReadOnly();
    event->accept();
    if (event->matches(QKeySequence::SelectAll)) {
        setTextCursor(cursorAt(0, textLength()));
    } else if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        if (caret.hasSelection()) {
            QGuiApplication::clipboard()->setText(selectedText());
            if (editable && event->matches(QKeySequence::Cut))
                editInLongLine(caret.selectionStart(), caret.selectionEnd(), QString());
        }
    } else if (event->matches(QKeySequence::Paste)) {
        const QString pasted = QGuiApplication::clipboard()->text();
        if (editable && !pasted.isEmpty())
            editInLongLine(caret.selectionStart(), caret.selectionEnd(), pasted);
    } else if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        const bool left = event->key() == Qt::Key_Left;
        if (modifiers & ~(Qt::ShiftModifier)) {
            event->ignore();
            return true;
        }
        int to = left ? caret.selectionStart() : caret.selectionEnd();
        if (extend || !caret.hasSelection())
            to = step(position, left ? -1 : 1);
        moveTo(to);
    } else if (event->key() == Qt::Key_Home) {
        moveTo(control ? 0 : lineStart);
    } else if (event->key() == Qt::Key_End) {
        moveTo(control ? textLength() : lineEnd);
    } else if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down ||
               event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
        const int lines =
            (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) ? 1 : pageLines;
        QTextBlock line = block;
        for (int i = 0; i < lines; ++i) {
            const QTextBlock next = up ? line.previous() : line.next();
            if (!next.isValid())
                break;
            line = next;
        }
        if (line == block)
            moveTo(up ? lineStart : lineEnd);
        else
            moveTo(column(line));
    } else if (!editable) {
        event->ignore();
    } else if (event->key() == Qt::Key_Backspace || event->matches(QKeySequence::Delete)) {
        if (caret.hasSelection())
            editInLongLine(caret.selectionStart(), caret.selectionEnd(), QString());
        else if (event->key() == Qt::Key_Backspace && position > 0)
            editInLongLine(step(position, -1), position, QString());
        else if (event->key() != Qt::Key_Backspace && position < textLength())
            editInLongLine(position, step(position, 1), QString());
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        editInLongLine(caret.selectionStart(), caret.selectionEnd(), QStringLiteral("\n"));
    } else if (!event->text().isEmpty() && !(modifiers & (Qt::ControlModifier | Qt::AltModifier)) &&
               (event->text().at(0).isPrint() || event->text().at(0) == QLatin1Char('\t'))) {
        int to = caret.selectionEnd();
        if (overwriteMode() && !caret.hasSelection() && position < lineEnd)
            to = step(position, 1);
        editInLongLine(caret.selectionStart(), to, event->text());
    } else {
        event->ignore();
    }
    return true;
}

void CodeEditor::inputMethodEvent(QInputMethodEvent* event) {
    if (!m_longCaret.isNull()) {
        // Only what is committed: a long line shows no text being composed.
        if (!isReadOnly() && !event->commitString().isEmpty())
            editInLongLine(m_longCaret.selectionStart(), m_longCaret.selectionEnd(),
                           event->commitString());
        event->accept();
        return;
    }
    keepColoursAroundSelection();
    QPlainTextEdit::inputMethodEvent(event);
}

void CodeEditor::insertFromMimeData(const QMimeData* source) {
    if (!m_longCaret.isNull()) {
        if (!isReadOnly() && source && source->hasText())
            editInLongLine(m_longCaret.selectionStart(), m_longCaret.selectionEnd(),
                           source->text());
        return;
    }
    keepColoursAroundSelection();
    QPlainTextEdit::insertFromMimeData(source);
}

void CodeEditor::dropEvent(QDropEvent* event) {
    keepColoursAroundSelection();
    const int at = cursorForPosition(event->position().toPoint()).position();
    keepColoursOfLines(at - 1, at + 1);
    QPlainTextEdit::dropEvent(event);
}

std::optional<int> CodeEditor::longLinePositionAt(QPointF point) const {
    QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingRect(block).translated(offset);
        if (point.y() < box.bottom()) {
            if (!isLong(block) || point.y() < box.top())
                return std::nullopt;
            const auto* lines = static_cast<const LineLayout*>(document()->documentLayout());
            const qreal left = offset.x() + document()->documentMargin();
            return block.position() +
                   std::clamp(int(std::lround((point.x() - left) / lines->advance())), 0,
                              block.length() - 1);
        }
        offset.ry() += box.height();
        // Below the last line: the click lands on it, as Qt places it.
        if (!block.next().isValid() && isLong(block) && point.y() >= offset.y())
            return longLinePositionAt(QPointF(point.x(), offset.y() - box.height() / 2));
    }
    return std::nullopt;
}

void CodeEditor::setCaretInView(const QTextCursor& cursor) {
    // Qt puts the caret of a long line at the line's start and scrolls there.
    const int across = horizontalScrollBar()->value();
    setTextCursor(cursor);
    horizontalScrollBar()->setValue(across);
}

void CodeEditor::mousePressEvent(QMouseEvent* event) {
    // The widget would look for the character under the mouse in the line's layout, which a
    // long line does not have.
    m_draggingInLongLine = false;
    if (event->button() == Qt::LeftButton) {
        if (const std::optional<int> at = longLinePositionAt(event->position())) {
            const bool extend = event->modifiers() & Qt::ShiftModifier;
            setCaretInView(cursorAt(extend ? textCursor().anchor() : *at, *at));
            m_draggingInLongLine = true;
            event->accept();
            return;
        }
    }
    QPlainTextEdit::mousePressEvent(event);
}

void CodeEditor::mouseDoubleClickEvent(QMouseEvent* event) {
    m_draggingInLongLine = false;
    if (event->button() == Qt::LeftButton) {
        if (const std::optional<int> at = longLinePositionAt(event->position())) {
            // The word under the mouse, looked for no further than a screen's width or so: Qt
            // would work out where every word of the line begins.
            constexpr int Reach = 4096;
            const QTextBlock block = document()->findBlock(*at);
            const int first = std::max(block.position(), *at - Reach);
            const int last = std::min(block.position() + block.length() - 1, *at + Reach);
            const auto inWord = [this](int position) {
                const QChar c = document()->characterAt(position);
                return c.isLetterOrNumber() || c == QLatin1Char('_');
            };
            int from = *at;
            int to = *at;
            while (from > first && inWord(from - 1))
                --from;
            while (to < last && inWord(to))
                ++to;
            setCaretInView(cursorAt(from, to));
            m_draggingInLongLine = true;
            event->accept();
            return;
        }
    }
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

void CodeEditor::mouseMoveEvent(QMouseEvent* event) {
    if (m_draggingInLongLine && (event->buttons() & Qt::LeftButton)) {
        if (const std::optional<int> at = longLinePositionAt(event->position())) {
            setCaretInView(cursorAt(textCursor().anchor(), *at));
        }
        event->accept();
        return;
    }
    QPlainTextEdit::mouseMoveEvent(event);
}

void CodeEditor::mouseReleaseEvent(QMouseEvent* event) {
    if (std::exchange(m_draggingInLongLine, false)) {
        event->accept();
        emit mouseButtonReleased(event->button(), event->modifiers(), event->position().toPoint());
        return;
    }
    QPlainTextEdit::mouseReleaseEvent(event);
    emit mouseButtonReleased(event->button(), event->modifiers(), event->position().toPoint());
}

void CodeEditor::onContentsChange(int position, int removed, int added) {
    if (!m_loading && !m_settingText)
        m_edited = true;
    m_undoneAt = position + added;
    forgetLineColours();
    if (m_exactEdit) {
        position = m_exactEdit->first;
        removed = m_exactEdit->second;
        added = textLength() - (m_colours.length() - removed);
        m_exactEdit.reset();
    }
    // The document counts its closing separator in some changes; the map has no such character.
    const int newLength = textLength();
    const int oldLength = m_colours.length();
    removed = std::clamp(removed, 0, oldLength - std::min(position, oldLength));
    added = std::clamp(added, 0, newLength - std::min(position, newLength));
    if (oldLength - removed + added != newLength) {
        m_colours.assign(newLength, m_colours.runsIn(0, position));
        return;
    }
    // Typed or pasted text takes the colour of the character before it.
    m_colours.applyEdit(position, removed, added);
}

void CodeEditor::paintEvent(QPaintEvent* event) {
    if (m_loading) {
        QPainter painter(viewport());
        painter.fillRect(event->rect(), viewport()->palette().brush(viewport()->backgroundRole()));
        painter.drawPixmap(0, 0, m_loadingPicture);
        return;
    }
    paintText(event->rect());
}

void CodeEditor::forgetLineColours() {
    m_lineColours.clear();
    m_longLineComments.clear();
    viewport()->update();
}

const QList<ColourRun>& CodeEditor::lineColours(const QTextBlock& block) const {
    const int number = block.blockNumber();
    if (const auto kept = m_lineColours.constFind(number); kept != m_lineColours.cend())
        return kept->runs;
    if (m_lineColours.size() >= KeptLines)
        m_lineColours.clear();
    return m_lineColours
        .insert(number, {resolved(m_colours.runsIn(block.position(), block.length() - 1))})
        ->runs;
}

QList<QTextLayout::FormatRange> CodeEditor::visibleColours(const QTextBlock& block,
                                                           const QPointF& offset,
                                                           const QRect& clip) const {
    // Only the characters in view get a range, so a long line costs what a short one does.
    const QTextLayout* layout = block.layout();
    const QPointF origin = offset + layout->position();
    int from = block.length();
    int to = -1;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const qreal top = origin.y() + line.y();
        if (top > clip.bottom() || top + line.height() < clip.top())
            continue;
        from = std::min(from, line.xToCursor(clip.left() - origin.x()));
        to = std::max(to, line.xToCursor(clip.right() + 1 - origin.x()));
    }
    if (to < 0)
        return {};
    // A character cut by the edge is drawn whole.
    const int blockStart = block.position();
    from = blockStart + std::max(0, from - 1);
    to = blockStart + to + 1;

    const QList<ColourRun>& runs = lineColours(block);
    auto run = std::upper_bound(runs.cbegin(), runs.cend(), from,
                                [](int at, const ColourRun& r) { return at < r.start + r.length; });
    QList<QTextLayout::FormatRange> ranges;
    for (; run != runs.cend() && run->start < to; ++run) {
        if (run->colour == Colours::Default)
            continue;
        // Clipped to the view: the layout walks every character a range covers.
        const int rangeStart = std::max(run->start, from);
        const int rangeEnd = std::min(run->start + run->length, to);
        QTextLayout::FormatRange range;
        range.start = rangeStart - blockStart;
        range.length = rangeEnd - rangeStart;
        range.format.setForeground(colourOf(run->colour));
        // With a background of its own a range is drawn even where it touches the one before;
        // without, the layout skips a text range that meets text it has already drawn.
        range.format.setBackground(palette().base());
        ranges.append(range);
    }
    return ranges;
}

void CodeEditor::paintText(QRect clip) {
    // The widget's own painting, with the colours given to each line as it is drawn rather than
    // set on its layout: a layout given formats is laid out again, which for a long line costs
    // as much as opening it.
    QPainter painter(viewport());
    QPointF offset = contentOffset();
    const QRect view = viewport()->rect();
    const qreal widest = document()->documentLayout()->documentSize().width();
    // The strip right of the widest line stays clear of whole-width selections.
    clip.setRight(std::min(clip.right(), int(offset.x() + std::max<qreal>(view.width(), widest) -
                                             document()->documentMargin() + cursorWidth())));
    painter.setClipRect(clip);
    const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
    painter.setPen(context.palette.text().color());
    const bool caretShown =
        !isReadOnly() || (textInteractionFlags() & Qt::TextSelectableByKeyboard);
    QList<QAbstractTextDocumentLayout::Selection> selections = context.selections;
    int caret = context.cursorPosition;
    if (!m_longCaret.isNull()) {
        // Qt's caret is null meanwhile; the editor's is drawn as Qt draws its own.
        caret = m_longCaretOn ? m_longCaret.position() : -1;
        if (m_longCaret.hasSelection()) {
            const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
            QAbstractTextDocumentLayout::Selection selection;
            selection.cursor = m_longCaret;
            selection.format.setBackground(palette().brush(group, QPalette::Highlight));
            selection.format.setForeground(palette().brush(group, QPalette::HighlightedText));
            selections.append(selection);
        }
    }

    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingRect(block).translated(offset);
        if (block.isVisible() && box.bottom() >= clip.top() && box.top() <= clip.bottom()) {
            QTextLayout* layout = block.layout();
            int start = block.position();
            int length = block.length();
            QPointF at = offset;
            std::optional<QTextLayout> piece;
            // Colours first: a selection drawn after them shows in the selection's colours.
            QList<QTextLayout::FormatRange> ranges;
            if (isLong(block)) {
                piece.emplace();
                const int from = layOutPiece(*piece, block, offset, clip, &at);
                ranges = pieceColours(block, from, piece->text().size());
                layout = &*piece;
                start += from;
                length = piece->text().size() + (from + piece->text().size() == length - 1);
            } else {
                ranges = visibleColours(block, offset, clip);
            }
            for (const QAbstractTextDocumentLayout::Selection& selection : selections) {
                const int from = selection.cursor.selectionStart() - start;
                const int to = selection.cursor.selectionEnd() - start;
                if (from < length && to > 0 && to > from) {
                    ranges.append({std::max(from, 0), std::min(to, length) - std::max(from, 0),
                                   selection.format});
                } else if (!selection.cursor.hasSelection() &&
                           selection.format.hasProperty(QTextFormat::FullWidthSelection) &&
                           block.contains(selection.cursor.position())) {
                    const QTextLine line = layout->lineForTextPosition(
                        std::clamp(selection.cursor.position() - start, 0, length - 1));
                    const bool toEnd = line.textStart() + line.textLength() == length - 1;
                    ranges.append(
                        {line.textStart(), line.textLength() + (toEnd ? 1 : 0), selection.format});
                }
            }
            const bool caretHere = caretShown && caret >= start && caret < start + length;
            // In overwrite mode the caret is the character it stands on, shown inverted.
            const bool blockCaret =
                caretHere && overwriteMode() && caret != block.position() + block.length() - 1;
            if (blockCaret) {
                QTextLayout::FormatRange inverted{caret - start, 1, {}};
                inverted.format.setForeground(palette().base());
                inverted.format.setBackground(palette().text());
                ranges.append(inverted);
            }
            layout->draw(&painter, at, ranges, clip);
            const bool preedit =
                !isReadOnly() && caret < -1 && !piece && !layout->preeditAreaText().isEmpty();
            if ((caretHere && !blockCaret) || preedit) {
                const int position =
                    preedit ? layout->preeditAreaPosition() - (caret + 2) : caret - start;
                layout->drawCursor(&painter, at, position, cursorWidth());
            }
        }
        offset.ry() += box.height();
        if (offset.y() > view.height())
            break;
    }
}

int CodeEditor::layOutPiece(QTextLayout& piece, const QTextBlock& block, const QPointF& offset,
                            const QRect& clip, QPointF* at) const {
    // Characters either side of the view, so a wide or combined character at its edge is whole.
    constexpr int Slack = 8;
    const auto* lines = static_cast<const LineLayout*>(document()->documentLayout());
    const qreal advance = lines->advance();
    const qreal left = offset.x() + document()->documentMargin();
    const int textLength = block.length() - 1;
    const int from = std::clamp(int((clip.left() - left) / advance) - Slack, 0, textLength);
    const int to = std::clamp(int((clip.right() + 1 - left) / advance) + Slack, from, textLength);
    // Character by character: a block's text, or a fragment's, would copy the whole line.
    QString text(to - from, Qt::Uninitialized);
    const int blockStart = block.position();
    for (int i = from; i < to; ++i)
        text[i - from] = document()->characterAt(blockStart + i);
    piece.setText(text);
    piece.setFont(document()->defaultFont());
    piece.setTextOption(document()->defaultTextOption());
    piece.setCacheEnabled(true);
    piece.beginLayout();
    QTextLine line = piece.createLine();
    line.setLeadingIncluded(true);
    line.setPosition(QPointF(0, 0));
    piece.endLayout();
    *at = QPointF(left + from * advance, offset.y());
    return from;
}

QList<QTextLayout::FormatRange> CodeEditor::pieceColours(const QTextBlock& block, int from,
                                                         int length) const {
    const int pieceStart = block.position() + from;
    QList<ColourRun> runs;
    for (const ColourRun& run : m_colours.runsIn(pieceStart, length)) {
        if (run.colour == ColourMap::Derived)
            runs.append(derivedRunsIn(block, run.start, run.start + run.length));
        else
            runs.append(run);
    }
    QList<QTextLayout::FormatRange> ranges;
    for (const ColourRun& run : runs) {
        if (run.colour == Colours::Default)
            continue;
        QTextLayout::FormatRange range;
        range.start = run.start - pieceStart;
        range.length = run.length;
        range.format.setForeground(colourOf(run.colour));
        range.format.setBackground(palette().base());
        ranges.append(range);
    }
    return ranges;
}

QList<ColourRun> CodeEditor::derivedRunsIn(const QTextBlock& block, int from, int to) const {
    // The line's comment is everything after its first apostrophe; a keyword needs a boundary
    // either side, so the text a keyword's length around the span colours it as the whole line
    // does.
    const int blockStart = block.position();
    auto comment = m_longLineComments.constFind(block.blockNumber());
    if (comment == m_longLineComments.cend())
        comment = m_longLineComments.insert(block.blockNumber(),
                                            int(block.text().indexOf(QLatin1Char('\''))));
    const int lineEnd = blockStart + block.length() - 1;
    const int commentStart = *comment < 0 ? lineEnd + 1 : blockStart + *comment + 1;
    qsizetype reach = 1;
    for (const QString& keyword : m_keywords)
        reach = std::max(reach, keyword.size() + 1);
    const int textStart = std::max<qsizetype>(blockStart, from - reach);
    const int textEnd = std::min<qsizetype>(lineEnd, to + reach);
    QList<ColourRun> out;
    if (commentStart > textStart) {
        QString text(textEnd - textStart, Qt::Uninitialized);
        for (int i = textStart; i < textEnd; ++i)
            text[i - textStart] = document()->characterAt(i);
        // The line's break, which ends a comment, is the last character of any but the last line.
        if (textEnd == lineEnd && block.next().isValid())
            text += QLatin1Char('\n');
        for (ColourRun run : Colouring::colour(text, m_keywords)) {
            run.start += textStart;
            const int start = std::max(run.start, from);
            const int end = std::min(run.start + run.length, to);
            if (start < end)
                out.append({start, end - start, run.colour});
        }
    } else if (from < to) {
        out.append({from, to - from, Colours::Comment});
    }
    return out;
}

void CodeEditor::showCaretOfLongLine() {
    const QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    if (m_loading || !isLong(block))
        return;
    const auto* lines = static_cast<const LineLayout*>(document()->documentLayout());
    const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
    const QRect view = viewport()->rect();
    QScrollBar* vertical = verticalScrollBar();
    if (box.top() < view.top() || box.bottom() > view.bottom())
        vertical->setValue(block.firstLineNumber() - int(view.height() / box.height() / 2));
    // The scroll bar counts pixels across the text, from the left margin.
    QScrollBar* horizontal = horizontalScrollBar();
    const int x = int((cursor.position() - block.position()) * lines->advance());
    if (x < horizontal->value() || x + cursorWidth() > horizontal->value() + view.width())
        horizontal->setValue(x - view.width() / 2);
}
