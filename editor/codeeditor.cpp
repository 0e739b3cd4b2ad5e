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

void CodeEditor::finishLoading() {
    if (!m_loading)
        return;
    if (!m_addedBreaks.empty()) {
        // One edit that joins lines: the widget forgets their layouts rather than making them.
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        for (auto at = m_addedBreaks.rbegin(); at != m_addedBreaks.rend(); ++at) {
            cursor.setPosition(*at);
            cursor.deleteChar();
        }
        cursor.endEditBlock();
        m_addedBreaks.clear();
    }
    endLoading();
    m_edited = false;
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
    if (!m_loading && !m_settingText)
        m_edited = true;
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

    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingRect(block).translated(offset);
        if (block.isVisible() && box.bottom() >= clip.top() && box.top() <= clip.bottom()) {
            QTextLayout* layout = block.layout();
            const int start = block.position();
            const int length = block.length();
            // Colours first: a selection drawn after them shows in the selection's colours.
            QList<QTextLayout::FormatRange> ranges = visibleColours(block, offset, clip);
            for (const QAbstractTextDocumentLayout::Selection& selection : context.selections) {
                const int from = selection.cursor.selectionStart() - start;
                const int to = selection.cursor.selectionEnd() - start;
                if (from < length && to > 0 && to > from) {
                    ranges.append({from, to - from, selection.format});
                } else if (!selection.cursor.hasSelection() &&
                           selection.format.hasProperty(QTextFormat::FullWidthSelection) &&
                           block.contains(selection.cursor.position())) {
                    const QTextLine line =
                        layout->lineForTextPosition(selection.cursor.position() - start);
                    const bool toEnd = line.textStart() + line.textLength() == length - 1;
                    ranges.append(
                        {line.textStart(), line.textLength() + (toEnd ? 1 : 0), selection.format});
                }
            }
            const int caret = context.cursorPosition;
            const bool caretHere = caretShown && caret >= start && caret < start + length;
            // In overwrite mode the caret is the character it stands on, shown inverted.
            const bool blockCaret = caretHere && overwriteMode() && caret != start + length - 1;
            if (blockCaret) {
                QTextLayout::FormatRange inverted{caret - start, 1, {}};
                inverted.format.setForeground(palette().base());
                inverted.format.setBackground(palette().text());
                ranges.append(inverted);
            }
            layout->draw(&painter, offset, ranges, clip);
            const bool preedit =
                !isReadOnly() && caret < -1 && !layout->preeditAreaText().isEmpty();
            if ((caretHere && !blockCaret) || preedit) {
                const int at =
                    preedit ? layout->preeditAreaPosition() - (caret + 2) : caret - start;
                layout->drawCursor(&painter, offset, at, cursorWidth());
            }
        }
        offset.ry() += box.height();
        if (offset.y() > view.height())
            break;
    }
}
