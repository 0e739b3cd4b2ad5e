// SPDX-License-Identifier: MIT
#include "editor/codeeditor.h"

#include "editor/colouring.h"
#include "editor/editoraccessibility.h"

#include <QAbstractTextDocumentLayout>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
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
} // namespace

CodeEditor::CodeEditor(QWidget* parent) : QPlainTextEdit(parent) {
    EditorAccessible::install();
    // Keywords and comments are coloured for a white page: a dark desktop scheme must not
    // darken the page under them.
    QPalette page = palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    setPalette(page);
    setFont(codeFont());
    setTabChangesFocus(false);
    connect(document(), &QTextDocument::contentsChange, this, &CodeEditor::onContentsChange);
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
    // Emptying first makes the widget forget the widest line it measured. If that was the first
    // line (the wait text is), laying out a narrower new first line makes it measure every line
    // of the new text, which costs a layout per line in time and memory.
    if (!document()->isEmpty())
        setPlainText(QString());
    setPlainText(text);
    ++m_colourGeneration;
    m_colours.assign(textLength(), {});
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
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(start, 0, textLength()));
    setTextCursor(cursor);
}

bool CodeEditor::setSelectionLength(int length) {
    if (length < 0)
        return false;
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    cursor.setPosition(start);
    cursor.setPosition(std::min(start + length, textLength()), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    return true;
}

QString CodeEditor::selectedText() const {
    return fromDocumentText(textCursor().selectedText());
}

void CodeEditor::replaceSelection(const QString& text) {
    if (m_loading)
        return;
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
    // Lines take their colours when they are next painted, so a large text costs no more than
    // the lines on screen.
    ++m_colourGeneration;
    viewport()->update();
}

void CodeEditor::colourAll(const QStringList& keywords) {
    m_keywords = keywords;
    const int length = textLength();
    m_colours.assign(length, {{0, length, ColourMap::Derived}});
    ++m_colourGeneration;
    viewport()->update();
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
    const int from = first.position();
    const int to = std::min(last.position() + last.length(), length);
    QList<ColourRun> derived;
    for (const ColourRun& run : m_colours.runsIn(from, to - from)) {
        if (run.colour == ColourMap::Derived)
            derived.append(run);
    }
    if (derived.isEmpty())
        return;
    const QList<ColourRun> own = resolved(derived);
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

void CodeEditor::beginLoading(bool showPicture) {
    if (!m_loading) {
        if (showPicture)
            m_loadingPicture = viewport()->grab();
        m_loading = true;
        // A scroll bar that appeared only at the end would narrow the view and make the widget
        // lay out every line again.
        m_verticalPolicy = verticalScrollBarPolicy();
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        horizontalScrollBar()->setEnabled(false);
        verticalScrollBar()->setEnabled(false);
    }
    setPlainText(QString());
    document()->setUndoRedoEnabled(false);
    // Keeps the view from measuring the last lines after every piece.
    document()->documentLayout()->blockSignals(true);
    m_colours.assign(0, {});
    ++m_colourGeneration;
    viewport()->update();
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
    // Text that adds no line is laid out at once by the widget, and again when its colours are
    // set; with a line break after it, only its painting lays it out.
    // In one edit block, so the cursor does not lay out the line to place itself.
    cursor.beginEditBlock();
    cursor.insertText(piece + QLatin1Char('\n'));
    cursor.setPosition(cursor.position() - 1, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
}

void CodeEditor::finishLoading() {
    if (!m_loading)
        return;
    // The lines on screen take their colours before anything lays them out, so a long line is
    // laid out once, not again for its colours.
    m_loading = false;
    formatVisibleLines();
    m_loading = true;
    endLoading();
    document()->setModified(false);
    QTextCursor cursor = textCursor();
    cursor.setPosition(0);
    setTextCursor(cursor);
}

void CodeEditor::endLoading() {
    if (!m_loading)
        return;
    m_loading = false;
    m_loadingPicture = QPixmap();
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    layout->blockSignals(false);
    emit layout->documentSizeChanged(layout->documentSize());
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
    if (!isReadOnly() && mayEdit(event))
        keepColoursAroundSelection();
    QPlainTextEdit::keyPressEvent(event);
}

void CodeEditor::inputMethodEvent(QInputMethodEvent* event) {
    keepColoursAroundSelection();
    QPlainTextEdit::inputMethodEvent(event);
}

void CodeEditor::insertFromMimeData(const QMimeData* source) {
    keepColoursAroundSelection();
    QPlainTextEdit::insertFromMimeData(source);
}

void CodeEditor::dropEvent(QDropEvent* event) {
    keepColoursAroundSelection();
    const int at = cursorForPosition(event->position().toPoint()).position();
    keepColoursOfLines(at - 1, at + 1);
    QPlainTextEdit::dropEvent(event);
}

void CodeEditor::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    emit mouseButtonReleased(event->button(), event->modifiers(), event->position().toPoint());
}

void CodeEditor::onContentsChange(int position, int removed, int added) {
    if (m_applyingFormats)
        return;
    if (m_loading) {
        m_colours.assign(textLength(), {});
        return;
    }
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
        ++m_colourGeneration;
        viewport()->update();
        return;
    }
    // Typed or pasted text takes the colour of the character before it.
    m_colours.applyEdit(position, removed, added);
    markStale(position, added);
}

void CodeEditor::markStale(int start, int length) {
    QTextBlock block = document()->findBlock(start);
    const int end = start + length;
    while (block.isValid() && block.position() <= end) {
        block.setUserState(-1);
        block = block.next();
    }
    viewport()->update();
}

void CodeEditor::formatVisibleLines() {
    // Give the lines about to be painted the colours of the map; setting a layout's formats drops
    // its lines, and the document layout lays them out again before they are drawn.
    const int bottom = viewport()->height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (block.userState() != m_colourGeneration) {
            const int blockStart = block.position();
            const auto runs = resolved(m_colours.runsIn(blockStart, block.length() - 1));
            QList<QTextLayout::FormatRange> formats;
            formats.reserve(runs.size());
            for (const ColourRun& run : runs) {
                QTextLayout::FormatRange range;
                range.start = run.start - blockStart;
                range.length = run.length;
                range.format.setForeground(colourOf(run.colour));
                formats.append(range);
            }
            if (!formats.isEmpty() || !block.layout()->formats().isEmpty()) {
                // The document reports this as a change of the block, at once here rather than
                // folded into the next edit; no character changed.
                m_applyingFormats = true;
                block.layout()->setFormats(formats);
                document()->markContentsDirty(block.position(), block.length());
                m_applyingFormats = false;
            }
            block.setUserState(m_colourGeneration);
        }
        if (blockBoundingGeometry(block).translated(contentOffset()).top() > bottom)
            break;
    }
}

void CodeEditor::paintEvent(QPaintEvent* event) {
    if (m_loading) {
        QPainter painter(viewport());
        painter.fillRect(event->rect(), viewport()->palette().brush(viewport()->backgroundRole()));
        painter.drawPixmap(0, 0, m_loadingPicture);
        return;
    }
    formatVisibleLines();
    QPlainTextEdit::paintEvent(event);
}
