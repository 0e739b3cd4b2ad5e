#include "codeeditor.h"

#include "editoraccessibility.h"

#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {
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
    m_pendingColourPosition = -1;
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

void CodeEditor::setSelectionColour(quint32 colour) {
    const int start = selectionStart();
    const int length = selectionLength();
    if (length == 0) {
        m_pendingColourPosition = start;
        m_pendingColour = colour;
        return;
    }
    m_colours.setRange(start, length, colour);
    markStale(start, length);
}

quint32 CodeEditor::colourAt(int position) const {
    return m_colours.colourAt(position);
}

void CodeEditor::applyColours(const QList<ColourRun>& runs) {
    m_colours.assign(textLength(), runs);
    // Lines take their colours when they are next painted, so a large text costs no more than
    // the lines on screen.
    ++m_colourGeneration;
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
    QPlainTextEdit::keyPressEvent(event);
}

void CodeEditor::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    emit mouseButtonReleased(event->button(), event->modifiers(), event->position().toPoint());
}

void CodeEditor::onContentsChange(int position, int removed, int added) {
    if (m_applyingFormats)
        return;
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
        m_pendingColourPosition = -1;
        ++m_colourGeneration;
        viewport()->update();
        return;
    }
    quint32 startColour = Colours::Default;
    if (m_pendingColourPosition == position && removed == 0 && added > 0) {
        if (position > 0) {
            m_colours.applyEdit(position, 0, added);
            m_colours.setRange(position, added, m_pendingColour);
            m_pendingColourPosition = -1;
            markStale(position, added);
            return;
        }
        startColour = m_pendingColour;
    }
    if (m_pendingColourPosition >= 0)
        m_pendingColourPosition = -1;
    m_colours.applyEdit(position, removed, added, startColour);
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

void CodeEditor::paintEvent(QPaintEvent* event) {
    // Give the lines about to be painted the colours of the map; setting a layout's formats drops
    // its lines, and the document layout lays them out again before they are drawn.
    const int bottom = viewport()->height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (block.userState() != m_colourGeneration) {
            const int blockStart = block.position();
            const auto runs = m_colours.runsIn(blockStart, block.length() - 1);
            QList<QTextLayout::FormatRange> formats;
            formats.reserve(runs.size());
            for (const ColourRun& run : runs) {
                QTextLayout::FormatRange range;
                range.start = run.start - blockStart;
                range.length = run.length;
                range.format.setForeground(Colours::toQColor(run.colour));
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
    QPlainTextEdit::paintEvent(event);
}
