// SPDX-License-Identifier: MIT
#include "editor/editoraccessibility.h"

#include "editor/codeeditor.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>

namespace {

QAccessibleInterface* editorFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CodeEditor"))
        if (auto* editor = qobject_cast<CodeEditor*>(object))
            return new EditorAccessible(editor);
    return nullptr;
}

QString withLineBreaks(QString text) {
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace

EditorAccessible::EditorAccessible(CodeEditor* editor)
    : QAccessibleWidget(editor, QAccessible::EditableText) {}

void EditorAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(editorFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

CodeEditor* EditorAccessible::editor() const {
    return static_cast<CodeEditor*>(widget());
}

int EditorAccessible::clamped(int offset) const {
    return std::clamp(offset, 0, characterCount());
}

int EditorAccessible::position(int offset) const {
    return editor()->documentPosition(clamped(offset));
}

void* EditorAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface && !editor()->isReadOnly())
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString EditorAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value)
        return text(0, characterCount());
    return QAccessibleWidget::text(t);
}

QAccessible::State EditorAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.multiLine = true;
    state.selectableText = true;
    state.readOnly = editor()->isReadOnly();
    state.editable = !state.readOnly;
    return state;
}

void EditorAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    const QTextCursor cursor = editor()->textCursor();
    if (selectionIndex != 0 || !cursor.hasSelection()) {
        *startOffset = *endOffset = 0;
        return;
    }
    *startOffset = editor()->textOffset(cursor.selectionStart());
    *endOffset = editor()->textOffset(cursor.selectionEnd());
}

int EditorAccessible::selectionCount() const {
    return editor()->textCursor().hasSelection() ? 1 : 0;
}

void EditorAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void EditorAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex != 0)
        return;
    QTextCursor cursor = editor()->textCursor();
    cursor.clearSelection();
    editor()->setTextCursor(cursor);
}

void EditorAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0)
        return;
    editor()->setTextCursor(editor()->cursorAt(position(startOffset), position(endOffset)));
}

int EditorAccessible::cursorPosition() const {
    return editor()->textOffset(editor()->textCursor().position());
}

void EditorAccessible::setCursorPosition(int offset) {
    editor()->setTextCursor(editor()->cursorAt(position(offset), position(offset)));
}

QString EditorAccessible::text(int startOffset, int endOffset) const {
    const int from = position(startOffset);
    return withLineBreaks(editor()->withoutChunkBreaks(
        editor()->cursorAt(from, position(endOffset)).selectedText(), from));
}

int EditorAccessible::characterCount() const {
    return editor()->textLength();
}

QRect EditorAccessible::characterRect(int offset) const {
    if (offset < 0 || offset > characterCount())
        return QRect();
    // The editor's cursor rectangles know where each line is on screen, scrolled or not. The
    // character at a split stands after the break.
    const CodeEditor* edit = editor();
    offset = edit->documentPosition(offset + 1) - 1;
    const QRect before = edit->cursorRect(edit->cursorAt(offset, offset));
    const QTextBlock block = edit->document()->findBlock(offset);
    int width = 0;
    if (offset < block.position() + block.length() - 1) {
        const QRect after = edit->cursorRect(edit->cursorAt(offset + 1, offset + 1));
        if (after.top() == before.top())
            width = std::abs(after.left() - before.left());
    }
    // A line break, or the end of the text: a space's width at the caret.
    if (width == 0)
        width = QFontMetrics(edit->font()).horizontalAdvance(QLatin1Char(' '));
    return QRect(edit->viewport()->mapToGlobal(before.topLeft()), QSize(width, before.height()));
}

int EditorAccessible::offsetAtPoint(const QPoint& point) const {
    const CodeEditor* edit = editor();
    const QPoint inside = edit->viewport()->mapFromGlobal(point);
    if (!edit->viewport()->rect().contains(inside))
        return -1;
    // The nearest caret place; a point left of it lies on the character before.
    const QTextCursor cursor = edit->cursorForPosition(inside);
    int offset = cursor.position();
    if (inside.x() < edit->cursorRect(cursor).left() && offset > cursor.block().position())
        --offset;
    return edit->textOffset(offset);
}

void EditorAccessible::scrollToSubstring(int startIndex, int endIndex) {
    CodeEditor* edit = editor();
    // The editors never wrap, so the vertical scroll bar counts lines.
    QScrollBar* vertical = edit->verticalScrollBar();
    const int first = edit->document()->findBlock(position(startIndex)).blockNumber();
    const int last = edit->document()->findBlock(position(endIndex)).blockNumber();
    const int lineHeight = std::max(1, QFontMetrics(edit->font()).lineSpacing());
    const int visibleLines = std::max(1, edit->viewport()->height() / lineHeight);
    if (first < vertical->value())
        vertical->setValue(first);
    else if (last >= vertical->value() + visibleLines)
        vertical->setValue(std::min(first, last - visibleLines + 1));

    const QRect start =
        edit->cursorRect(edit->cursorAt(position(startIndex), position(startIndex)));
    QScrollBar* horizontal = edit->horizontalScrollBar();
    if (start.left() < 0 || start.right() > edit->viewport()->width())
        horizontal->setValue(horizontal->value() + start.left() - edit->viewport()->width() / 4);
}

QString EditorAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    // No attributes are offered; the one run spans the whole text.
    if (offset < 0 || offset > characterCount()) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

void EditorAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, QString());
}

void EditorAccessible::insertText(int offset, const QString& text) {
    replaceText(offset, offset, text);
}

void EditorAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    CodeEditor* edit = editor();
    if (edit->isReadOnly())
        return;
    edit->setTextCursor(edit->cursorAt(position(startOffset), position(endOffset)));
    if (!edit->refusedAsTooLong(text))
        edit->textCursor().insertText(text);
}

QString EditorAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                       int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    if (offset < 0 || offset > count)
        return QString();
    if (boundaryType == QAccessible::NoBoundary) {
        *startOffset = 0;
        *endOffset = count;
        return text(0, count);
    }
    // The line with its break, as the text has it; of a line longer than a screen reader reads,
    // a stretch.
    constexpr int Stretch = 4096;
    const auto [lineStart, lineEnd] = editor()->lineRange(position(offset));
    int from = editor()->textOffset(lineStart);
    int to = std::min(count, editor()->textOffset(lineEnd) + 1);
    if (to - from > Stretch) {
        from = std::max(from, offset - Stretch / 2);
        to = std::min(to, from + Stretch);
    }
    const QString line = text(from, to);
    QTextBoundaryFinder::BoundaryType finding = QTextBoundaryFinder::Line;
    if (boundaryType == QAccessible::CharBoundary)
        finding = QTextBoundaryFinder::Grapheme;
    else if (boundaryType == QAccessible::WordBoundary)
        finding = QTextBoundaryFinder::Word;
    if (finding == QTextBoundaryFinder::Line) {
        *startOffset = from;
        *endOffset = to;
        return line;
    }
    if (offset == count) {
        *startOffset = *endOffset = count;
        return QString();
    }
    QTextBoundaryFinder finder(finding, line);
    finder.setPosition(offset - from);
    const int start = finder.isAtBoundary() ? offset - from : int(finder.toPreviousBoundary());
    finder.setPosition(offset - from);
    int end = int(finder.toNextBoundary());
    if (end < 0)
        end = int(line.size());
    *startOffset = from + std::max(0, start);
    *endOffset = from + end;
    return line.mid(std::max(0, start), end - std::max(0, start));
}

QString EditorAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
    int from = -1, to = -1;
    textAtOffset(offset, boundaryType, &from, &to);
    *startOffset = *endOffset = -1;
    if (from <= 0 || boundaryType == QAccessible::NoBoundary)
        return QString();
    return textAtOffset(from - 1, boundaryType, startOffset, endOffset);
}

QString EditorAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                          int* startOffset, int* endOffset) const {
    int from = -1, to = -1;
    textAtOffset(offset, boundaryType, &from, &to);
    *startOffset = *endOffset = -1;
    if (to < 0 || to >= characterCount() || boundaryType == QAccessible::NoBoundary)
        return QString();
    return textAtOffset(to, boundaryType, startOffset, endOffset);
}
