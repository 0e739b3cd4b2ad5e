// SPDX-License-Identifier: MIT
#include "editor/codeeditor.h"

#include "editor/colouring.h"
#include "editor/editoraccessibility.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <thread>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

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

// Qt lays a line out whole, and works through all of it whenever its caret enters it: for a line
// of 50 MB that is seconds and gigabytes. A text holding a line longer than this is shown with
// the line split into display lines of a chunk each, read-only, as Kate does with such lines; the
// breaks between chunks exist only in the document, never in the text.
constexpr int LongLine = 1 << 16;
constexpr int Chunk = 512;
// Emptying a document costs about a millisecond per megabyte of text, all in one call: a longer
// one is swapped out and deleted while nothing loads.
constexpr int SwapAbove = 1 << 20;
constexpr int DisposalMilliseconds = 100;

// A document's text and tables grow by doubling. Once large blocks have been freed, glibc serves
// blocks of up to 32 MB from its heap, and growing such a block copies it whole: up to tens of
// milliseconds in one insertion while a long text loads. A block mapped on its own grows without a
// copy, and goes back to the system when freed. This is set for the whole program.
void mapLargeBlocks() {
#if defined(__GLIBC__)
    static const bool once = [] {
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
        // As glibc would set it for that threshold.
        mallopt(M_TRIM_THRESHOLD, 2 << 20);
        return true;
    }();
    (void)once;
#endif
}
} // namespace

// Deletes documents on a thread of its own. A document of tens of megabytes takes tens of
// milliseconds to delete, in one call: its lines one by one, then its memory back to the system.
// A document that belongs to no thread may be deleted on any, once nothing else reaches it.
class DocumentDeleter {
public:
    ~DocumentDeleter() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    void take(QTextDocument* document) {
        document->setParent(nullptr);
        document->moveToThread(nullptr);
        {
            const std::lock_guard lock(m_mutex);
            m_documents.push_back(document);
        }
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_wake.notify_one();
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_documents.empty(); });
            if (m_documents.empty())
                return;
            QTextDocument* document = m_documents.back();
            m_documents.pop_back();
            lock.unlock();
            delete document;
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<QTextDocument*> m_documents; // guarded by m_mutex
    bool m_stopping = false;                 // guarded by m_mutex
    std::thread m_thread;
};

CodeEditor::CodeEditor(QWidget* parent) : QPlainTextEdit(parent) {
    mapLargeBlocks();
    EditorAccessible::install();
    // Keywords and comments are coloured for a white page: a dark desktop scheme must not
    // darken the page under them.
    QPalette page = palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    setPalette(page);
    setFont(codeFont());
    setTabChangesFocus(false);
    connect(document(), &QTextDocument::contentsChange, this, &CodeEditor::followContentsChange);
    m_colours.assign(0, {});
    m_disposal = new QTimer(this);
    m_disposal->setSingleShot(true);
    connect(m_disposal, &QTimer::timeout, this, &CodeEditor::disposeRetired);
}

CodeEditor::~CodeEditor() {
    for (const Retired& retired : m_retired)
        delete retired.document;
}

void CodeEditor::emptyDocument() {
    QTextDocument* old = document();
    if (old->characterCount() <= SwapAbove) {
        if (!old->isEmpty())
            setPlainText(QString());
        return;
    }
    auto* fresh = new QTextDocument(this);
    auto* layout = new QPlainTextDocumentLayout(fresh);
    if (const auto* oldLayout = qobject_cast<QPlainTextDocumentLayout*>(old->documentLayout()))
        layout->setCursorWidth(oldLayout->cursorWidth());
    fresh->setDocumentLayout(layout);
    fresh->setDefaultFont(old->defaultFont());
    fresh->setDefaultTextOption(old->defaultTextOption());
    fresh->setDocumentMargin(old->documentMargin());
    fresh->setUndoRedoEnabled(old->isUndoRedoEnabled());
    const int removed = old->characterCount() - 1;
    disconnect(old, nullptr, this, nullptr);
    // The widget deletes a document it made itself when it is given another.
    old->setParent(this);
    setDocument(fresh);
    connect(fresh, &QTextDocument::contentsChange, this, &CodeEditor::followContentsChange);
    m_retired.push_back({old, std::exchange(m_widgetCursors, false)});
    m_disposal->start(DisposalMilliseconds);
    followContentsChange(0, removed, 0);
    // As the widget tells of text removed from its document, with the same stand-in text.
    if (QAccessible::isActive()) {
        QAccessibleTextRemoveEvent event(this, 0, QString(removed, u' '));
        QAccessible::updateAccessibility(&event);
    }
}

void CodeEditor::disposeRetired() {
    if (m_retired.empty())
        return;
    // Deleting tens of megabytes takes a while whatever does it: never in the middle of a load.
    if (!m_loading) {
        const Retired retired = m_retired.back();
        m_retired.pop_back();
        // Cursors the widget keeps in a document are let go of on this thread, so such a
        // document is deleted here.
        if (retired.widgetCursors) {
            delete retired.document;
        } else {
            if (!m_deleter)
                m_deleter = std::make_unique<DocumentDeleter>();
            m_deleter->take(retired.document);
        }
    }
    if (!m_retired.empty())
        m_disposal->start(DisposalMilliseconds);
}

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

QString CodeEditor::asLoaded(QString text) {
    // The characters QTextCursor::insertText() makes a block break of; a carriage return before a
    // line feed goes with it, which leaves the text shorter, so a caller comparing lengths sees it.
    for (QChar& c : text) {
        if (c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) ||
            c == QChar(0xFDD1))
            c = u'\n';
    }
    return text;
}

QString CodeEditor::text() const {
    return withoutChunkBreaks(document()->toRawText(), 0);
}

QString CodeEditor::withoutChunkBreaks(const QString& documentText, int from) const {
    if (m_chunkBreaks.empty())
        return fromDocumentText(documentText);
    QString text;
    text.reserve(documentText.size());
    qsizetype at = 0;
    for (auto b = std::lower_bound(m_chunkBreaks.cbegin(), m_chunkBreaks.cend(), from);
         b != m_chunkBreaks.cend() && *b - from < documentText.size(); ++b) {
        text.append(QStringView(documentText).mid(at, *b - from - at));
        at = *b - from + 1;
    }
    text.append(QStringView(documentText).mid(at));
    return fromDocumentText(text);
}

int CodeEditor::documentPosition(int offset) const {
    // A chunk break at the offset is passed over only by the offset after it.
    return offset + int(std::lower_bound(m_chunkOffsets.cbegin(), m_chunkOffsets.cend(), offset) -
                        m_chunkOffsets.cbegin());
}

int CodeEditor::textOffset(int position) const {
    return position - breaksBefore(position);
}

bool CodeEditor::isChunkBreak(int position) const {
    return std::binary_search(m_chunkBreaks.cbegin(), m_chunkBreaks.cend(), position);
}

int CodeEditor::breaksBefore(int position) const {
    return int(std::lower_bound(m_chunkBreaks.cbegin(), m_chunkBreaks.cend(), position) -
               m_chunkBreaks.cbegin());
}

std::pair<int, int> CodeEditor::lineRange(int position) const {
    const auto split =
        std::upper_bound(m_splitLines.cbegin(), m_splitLines.cend(), position,
                         [](int at, const std::pair<int, int>& line) { return at < line.first; });
    if (split != m_splitLines.cbegin() && position <= std::prev(split)->second)
        return *std::prev(split);
    const QTextBlock block =
        document()->findBlock(std::clamp(position, 0, document()->characterCount() - 1));
    return {block.position(), block.position() + block.length() - 1};
}

void CodeEditor::setText(const QString& text) {
    endLoading();
    // Qt would place its caret at the start of a long first line, working through all of it.
    bool longLine = false;
    for (qsizetype at = 0; at < text.size() && !longLine;) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        longLine = end - at > LongLine;
        at = end + 1;
    }
    if (longLine) {
        // Taken as a snippet is loaded, which splits the long lines into chunks.
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
    m_chunkBreaks.clear();
    m_chunkOffsets.clear();
    m_splitLines.clear();
    m_tooLong = {};
    emptyDocument();
    setPlainText(text);
    m_settingText = false;
    m_edited = false;
    m_colours.assign(textLength(), {});
    forgetLineColours();
    QTextCursor cursor = textCursor();
    cursor.setPosition(0);
    setTextCursor(cursor);
    applyLineLimit({});
}

int CodeEditor::textLength() const {
    return std::max(0, document()->characterCount() - 1 - int(m_chunkBreaks.size()));
}

int CodeEditor::selectionStart() const {
    return textOffset(textCursor().selectionStart());
}

int CodeEditor::selectionLength() const {
    const QTextCursor cursor = textCursor();
    return textOffset(cursor.selectionEnd()) - textOffset(cursor.selectionStart());
}

void CodeEditor::setSelectionStart(int start) {
    const int at = documentPosition(std::clamp(start, 0, textLength()));
    setTextCursor(cursorAt(at, at));
}

bool CodeEditor::setSelectionLength(int length) {
    if (length < 0)
        return false;
    const int start = selectionStart();
    setTextCursor(cursorAt(documentPosition(start),
                           documentPosition(std::min(start + length, textLength()))));
    return true;
}

QString CodeEditor::selectedText() const {
    const QTextCursor cursor = textCursor();
    return withoutChunkBreaks(cursor.selectedText(), cursor.selectionStart());
}

QMimeData* CodeEditor::createMimeDataFromSelection() const {
    if (m_chunkBreaks.empty())
        return QPlainTextEdit::createMimeDataFromSelection();
    auto* data = new QMimeData;
    data->setText(selectedText());
    return data;
}

void CodeEditor::replaceSelection(const QString& text) {
    if (m_loading || refusedForLongLine() || refusedAsTooLong(text))
        return;
    keepColoursAroundSelection();
    QTextCursor cursor = textCursor();
    // The document may report a whole line as changed; the colours follow the exact edit.
    m_exactEdit = {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    m_exactEdit.reset();
    cursor.clearSelection();
    setTextCursor(cursor);
    // The document folds a following keystroke into the last undo step only while it is marked
    // modified; clearing the mark keeps this edit an undo step of its own.
    document()->setModified(false);
}

quint32 CodeEditor::colourAt(int position) const {
    const quint32 colour = m_colours.colourAt(position);
    if (colour != ColourMap::Derived)
        return colour;
    for (const ColourRun& run : derivedRuns(document()->findBlock(documentPosition(position)))) {
        if (position >= run.start && position < run.start + run.length)
            return run.colour;
    }
    return Colours::Default;
}

QList<ColourRun> CodeEditor::colourRuns(int start, int length) const {
    return resolved(m_colours.runsIn(start, length));
}

void CodeEditor::applyColours(const QList<ColourRun>& runs) {
    takePendingLine();
    m_colours.assign(textLength(), runs);
    forgetLineColours();
}

void CodeEditor::applyColours(int start, int length, const QList<ColourRun>& runs) {
    takePendingLine();
    const auto [from, to] = m_colours.replace(start, length, runs);
    if (from < to)
        recolouredLines(from, to);
}

void CodeEditor::recolouredLines(int from, int to) {
    const int first = document()->findBlock(documentPosition(from)).blockNumber();
    const int last = document()->findBlock(documentPosition(to - 1)).blockNumber();
    for (auto kept = m_lineColours.begin(); kept != m_lineColours.end();) {
        if (kept.key() >= first && kept.key() <= last)
            kept = m_lineColours.erase(kept);
        else
            ++kept;
    }
    // Only those lines in view are painted again, walked as paintText() lays them out.
    const int height = viewport()->height();
    QPointF offset = contentOffset();
    QRectF area;
    for (QTextBlock block = firstVisibleBlock(); block.isValid() && block.blockNumber() <= last;
         block = block.next()) {
        const QRectF box = blockBoundingRect(block).translated(offset);
        if (block.blockNumber() >= first)
            area |= box;
        offset.ry() += box.height();
        if (offset.y() > height)
            break;
    }
    if (!area.isEmpty())
        viewport()->update(
            QRectF(0, area.top(), viewport()->width(), area.height()).toAlignedRect());
}

void CodeEditor::colourAll(const QStringList& keywords) {
    m_keywords = keywords;
    takePendingLine();
    const int length = textLength();
    m_colours.assign(length, {{0, length, ColourMap::Derived}});
    forgetLineColours();
}

QList<ColourRun> CodeEditor::derivedRuns(const QTextBlock& block) const {
    if (!block.isValid())
        return {};
    const int from = textOffset(block.position());
    if (isChunkBreak(block.position() - 1) || isChunkBreak(block.position() + block.length() - 1))
        return derivedRunsOfChunk(block, from, from + block.length() - 1);
    // A keyword never spans a line break and a comment ends at one, so a line coloured on its own
    // gets the colours it gets inside the whole text.
    QString line = block.text();
    if (block.next().isValid())
        line += QLatin1Char('\n');
    QList<ColourRun> runs = Colouring::colour(line, m_keywords);
    for (ColourRun& run : runs)
        run.start += from;
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
        for (QTextBlock block = document()->findBlock(documentPosition(run.start));
             block.isValid() && textOffset(block.position()) < end; block = block.next()) {
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
    // Text holding a long line is never edited, so each of these lines is short.
    QList<ColourRun> derived;
    QList<ColourRun> own;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const int from = block.position();
        const int to = std::min(from + block.length(), length);
        for (const ColourRun& run : m_colours.runsIn(from, to - from)) {
            if (run.colour != ColourMap::Derived)
                continue;
            derived.append(run);
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
    m_chunkBreaks.clear();
    m_chunkOffsets.clear();
    m_splitLines.clear();
    m_addedBreaks.clear();
    m_loadedSplits.clear();
    m_pendingLine.clear();
    m_splittingLine = false;
    m_unfinishedLine = 0;
    emptyDocument();
    document()->setUndoRedoEnabled(false);
    // Keeps the view from measuring the last lines after every piece.
    document()->documentLayout()->blockSignals(true);
    m_colours.assign(0, {});
    forgetLineColours();
}

void CodeEditor::appendLoadedText(const QString& piece) {
    if (!m_loading || piece.isEmpty())
        return;
    // Only whole lines go in: text that adds no line would be laid out by the widget at once. A
    // line waits whole until it is known to be too long to lay out, and is then taken a chunk at a
    // time, each on a line of its own; finishLoading takes the rest.
    const QString pending = std::exchange(m_pendingLine, QString()) + piece;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const int base = cursor.position();
    QString text;
    text.reserve(pending.size() + pending.size() / Chunk);
    for (qsizetype at = 0; at < pending.size();) {
        qsizetype end = pending.indexOf(QLatin1Char('\n'), at);
        const bool lineEnds = end >= 0;
        if (!lineEnds)
            end = pending.size();
        if (!m_splittingLine && m_unfinishedLine + (end - at) > LongLine) {
            m_splittingLine = true;
            m_loadedSplits.push_back(
                {base + int(text.size()) - m_unfinishedLine, -1, m_addedBreaks.size()});
        }
        if (m_splittingLine) {
            while (end - at > Chunk) {
                // A character beyond the first plane stays whole.
                const qsizetype take =
                    Chunk - (pending.at(at + Chunk - 1).isHighSurrogate() ? 1 : 0);
                text += QStringView(pending).mid(at, take);
                at += take;
                m_addedBreaks.push_back(base + int(text.size()));
                text += QLatin1Char('\n');
            }
        }
        if (!lineEnds) {
            m_pendingLine = pending.mid(at);
            break;
        }
        text += QStringView(pending).mid(at, end + 1 - at);
        at = end + 1;
        if (m_splittingLine)
            m_loadedSplits.back().end = base + int(text.size()) - 1;
        m_splittingLine = false;
        m_unfinishedLine = 0;
    }
    if (text.isEmpty())
        return;
    if (base == 0) {
        // The widget's caret, at the end of the empty document, moves along with the text put
        // there, and would then follow every piece to the end: moving it back to the start at the
        // end of the load would lay out the lines between, up to two screens of them. It goes back
        // after the first line.
        const qsizetype firstLine = text.indexOf(QLatin1Char('\n')) + 1;
        cursor.insertText(text.first(firstLine));
        QPlainTextEdit::setTextCursor(cursorAt(0, 0));
        text.remove(0, firstLine);
    }
    if (!text.isEmpty())
        cursor.insertText(text);
}

void CodeEditor::takePendingLine() {
    if (m_pendingLine.isEmpty())
        return;
    if (!m_splittingLine)
        m_unfinishedLine += int(m_pendingLine.size());
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(std::exchange(m_pendingLine, QString()));
}

void CodeEditor::finishLoading(int caret) {
    if (!m_loading)
        return;
    takePendingLine();
    // Only lines too long to lay out were split, and they keep their chunks.
    if (m_splittingLine)
        m_loadedSplits.back().end = document()->characterCount() - 1;
    TooLong longest;
    for (std::size_t i = 0; i < m_loadedSplits.size(); ++i) {
        const LoadedSplit& split = m_loadedSplits[i];
        const std::size_t nextBreak =
            i + 1 < m_loadedSplits.size() ? m_loadedSplits[i + 1].firstBreak : m_addedBreaks.size();
        const int length = split.end - split.start - int(nextBreak - split.firstBreak);
        m_splitLines.emplace_back(split.start, split.end);
        if (length > longest.length)
            longest = {document()->findBlock(split.start).blockNumber() - int(split.firstBreak),
                       length};
    }
    m_loadedSplits.clear();
    m_chunkBreaks = std::exchange(m_addedBreaks, {});
    m_chunkOffsets.reserve(m_chunkBreaks.size());
    for (std::size_t j = 0; j < m_chunkBreaks.size(); ++j)
        m_chunkOffsets.push_back(m_chunkBreaks[j] - int(j));
    if (!m_chunkBreaks.empty()) {
        // The colours are kept by text offset, where a chunk break is no character.
        QList<ColourRun> runs = m_colours.runsIn(0, m_colours.length());
        for (ColourRun& run : runs) {
            const int end = textOffset(run.start + run.length);
            run.start = textOffset(run.start);
            run.length = end - run.start;
        }
        m_colours.assign(textLength(), runs);
    }
    forgetLineColours();
    const int at = documentPosition(std::clamp(caret, 0, textLength()));
    setTextCursor(cursorAt(at, at));
    endLoading();
    m_edited = false;
    document()->setModified(false);
    applyLineLimit(longest);
}

void CodeEditor::endLoading() {
    if (!m_loading)
        return;
    m_loading = false;
    m_loadingPicture = QPixmap();
    m_addedBreaks.clear();
    m_loadedSplits.clear();
    m_pendingLine.clear();
    m_splittingLine = false;
    m_unfinishedLine = 0;
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
    return textOffset(lineRange(textCursor().selectionStart()).first);
}

int CodeEditor::lineFromChar(int position) const {
    const QTextBlock block =
        document()->findBlock(documentPosition(std::clamp(position, 0, textLength())));
    if (!block.isValid())
        return document()->blockCount() - 1 - int(m_chunkBreaks.size());
    return block.blockNumber() - breaksBefore(block.position());
}

int CodeEditor::lineStart(int line) const {
    // The split lines up to the line and their breaks: a line between them is one block.
    const auto lineOf = [this](const std::pair<int, int>& split) {
        return document()->findBlock(split.first).blockNumber() - breaksBefore(split.first);
    };
    const auto from = std::partition_point(
        m_splitLines.cbegin(), m_splitLines.cend(),
        [&](const std::pair<int, int>& split) { return lineOf(split) < line; });
    if (from != m_splitLines.cend() && lineOf(*from) == line)
        return textOffset(from->first);
    const int breaks =
        from == m_splitLines.cend() ? int(m_chunkBreaks.size()) : breaksBefore(from->first);
    const QTextBlock block = document()->findBlockByNumber(std::max(0, line) + breaks);
    return block.isValid() ? textOffset(block.position()) : textLength();
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
    if (event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::DragEnter)
        m_widgetCursors = true;
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

namespace {
// Keys that would change the text in an editable editor.
bool wouldEdit(const QKeyEvent* event) {
    for (const QKeySequence::StandardKey edit :
         {QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::Delete, QKeySequence::Backspace, QKeySequence::DeleteStartOfWord,
          QKeySequence::DeleteEndOfWord, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteCompleteLine, QKeySequence::InsertParagraphSeparator,
          QKeySequence::InsertLineSeparator}) {
        if (event->matches(edit))
            return true;
    }
    const QString text = event->text();
    return !text.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
           (text.at(0) == QLatin1Char('\t') || text.at(0).category() != QChar::Other_Control);
}
} // namespace

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
    if (wouldEdit(event) && refusedForLongLine()) {
        event->accept();
        return;
    }
    if (isReadOnly() || !mayEdit(event)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    keyWithinLineLimit(event);
}

QTextCursor CodeEditor::cursorAt(int anchor, int position) const {
    // Outside an edit block, each move of a cursor asks the line's layout where the caret stands.
    QTextCursor cursor(document());
    QTextCursor guard(document());
    guard.beginEditBlock();
    const int end = std::max(0, document()->characterCount() - 1);
    cursor.setPosition(std::clamp(anchor, 0, end));
    cursor.setPosition(std::clamp(position, 0, end), QTextCursor::KeepAnchor);
    guard.endEditBlock();
    return cursor;
}

void CodeEditor::undo() {
    if (!m_loading && !refusedForLongLine())
        QPlainTextEdit::undo();
}

void CodeEditor::redo() {
    if (!m_loading && !refusedForLongLine())
        QPlainTextEdit::redo();
}

bool CodeEditor::refusedForLongLine() {
    if (m_tooLong.length == 0)
        return false;
    emit editRefused(
        //: A refused edit: %1 the line's number, %2 its length, %3 the longest line that can be
        //: edited
        tr("This code cannot be changed: line %L1 is %L2 characters long, and text with a line "
           "over %L3 characters is shown read-only. Copy, Select All and Save As still work.")
            .arg(m_tooLong.line + 1)
            .arg(m_tooLong.length)
            .arg(LongLine));
    return true;
}

void CodeEditor::refuseLongLine(int line, int length) {
    //: A refused edit: %1 the line's number, %2 the length it would have, %3 the longest line
    //: that can be edited
    emit editRefused(tr("The change was not made: it would make line %L1 %L2 characters long, "
                        "and a line over %L3 characters can only be shown read-only.")
                         .arg(line + 1)
                         .arg(length)
                         .arg(LongLine));
}

bool CodeEditor::refusedAsTooLong(const QString& inserted) {
    // What the line before the selection keeps, joined to the text's first line, and the text's
    // last line joined to what follows the selection.
    const QTextCursor cursor = textCursor();
    const QTextBlock first = document()->findBlock(cursor.selectionStart());
    const QTextBlock last = document()->findBlock(cursor.selectionEnd());
    const qsizetype before = cursor.selectionStart() - first.position();
    const qsizetype after = last.position() + last.length() - 1 - cursor.selectionEnd();
    qsizetype longest = 0;
    qsizetype at = 0;
    qsizetype run = before;
    int line = first.blockNumber();
    int longestLine = line;
    for (qsizetype end = inserted.indexOf(QLatin1Char('\n')); end >= 0;
         end = inserted.indexOf(QLatin1Char('\n'), at)) {
        if (run + end - at > longest) {
            longest = run + end - at;
            longestLine = line;
        }
        at = end + 1;
        run = 0;
        ++line;
    }
    if (run + inserted.size() - at + after > longest) {
        longest = run + inserted.size() - at + after;
        longestLine = line;
    }
    if (longest <= LongLine)
        return false;
    refuseLongLine(longestLine, int(longest));
    return true;
}

void CodeEditor::keyWithinLineLimit(QKeyEvent* event) {
    // A key adds a character or two, or joins a line to the one before or after: unless those
    // lines are near the limit, the key is the widget's.
    const QTextCursor cursor = textCursor();
    QTextBlock first = document()->findBlock(cursor.selectionStart());
    QTextBlock last = document()->findBlock(cursor.selectionEnd());
    if (first.previous().isValid())
        first = first.previous();
    if (last.next().isValid())
        last = last.next();
    const int reach =
        last.position() + last.length() - first.position() + int(event->text().size());
    if (reach <= LongLine) {
        keepColoursAroundSelection();
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    // An undo step of its own, so that taking it back takes back nothing else.
    document()->setModified(false);
    const int steps = document()->availableUndoSteps();
    keepColoursAroundSelection();
    QPlainTextEdit::keyPressEvent(event);
    const QTextBlock made = textCursor().block();
    if (made.length() - 1 <= LongLine)
        return;
    const int line = made.blockNumber();
    const int length = made.length() - 1;
    if (document()->availableUndoSteps() > steps) {
        document()->undo();
        document()->clearUndoRedoStacks(QTextDocument::RedoStack);
    }
    refuseLongLine(line, length);
}

void CodeEditor::applyLineLimit(TooLong longest) {
    if (longest.length > 0 && m_tooLong.length == 0)
        m_readOnlyBefore = isReadOnly();
    if (longest.length > 0)
        setReadOnly(true);
    else if (m_tooLong.length > 0)
        setReadOnly(m_readOnlyBefore);
    m_tooLong = longest;
}

void CodeEditor::inputMethodEvent(QInputMethodEvent* event) {
    if (!isReadOnly() && refusedAsTooLong(event->commitString())) {
        event->accept();
        return;
    }
    keepColoursAroundSelection();
    QPlainTextEdit::inputMethodEvent(event);
}

void CodeEditor::insertFromMimeData(const QMimeData* source) {
    if (refusedForLongLine() || !source || refusedAsTooLong(source->text()))
        return;
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

void CodeEditor::followContentsChange(int position, int removed, int added) {
    onContentsChange(position, removed, added);
    emit contentsChange(position, removed, added);
}

void CodeEditor::onContentsChange(int position, int removed, int added) {
    if (!m_loading && !m_settingText)
        m_edited = true;
    // The widget paints again what the edit changed, and the colours move with the text: the
    // lines' kept colours go, but nothing else needs painting.
    m_lineColours.clear();
    m_lineComments.clear();
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
        viewport()->update();
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
    m_lineComments.clear();
    viewport()->update();
}

const QList<ColourRun>& CodeEditor::lineColours(const QTextBlock& block) const {
    const int number = block.blockNumber();
    if (const auto kept = m_lineColours.constFind(number); kept != m_lineColours.cend())
        return kept->runs;
    if (m_lineColours.size() >= KeptLines)
        m_lineColours.clear();
    // Kept in document positions, which the painting uses.
    const int from = textOffset(block.position());
    QList<ColourRun> runs = resolved(m_colours.runsIn(from, block.length() - 1));
    for (ColourRun& run : runs)
        run.start += block.position() - from;
    return m_lineColours.insert(number, {runs})->runs;
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
    const QList<QAbstractTextDocumentLayout::Selection>& selections = context.selections;
    const int caret = context.cursorPosition;

    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingRect(block).translated(offset);
        if (block.isVisible() && box.bottom() >= clip.top() && box.top() <= clip.bottom()) {
            QTextLayout* layout = block.layout();
            const int start = block.position();
            const int length = block.length();
            const QPointF at = offset;
            // Colours first: a selection drawn after them shows in the selection's colours.
            QList<QTextLayout::FormatRange> ranges = visibleColours(block, offset, clip);
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
                !isReadOnly() && caret < -1 && !layout->preeditAreaText().isEmpty();
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

QList<ColourRun> CodeEditor::derivedRunsOfChunk(const QTextBlock& block, int from, int to) const {
    // The chunks of one line, in text offsets.
    const auto [firstPosition, endPosition] = lineRange(block.position());
    const int lineStart = textOffset(firstPosition);
    const int lineEnd = textOffset(endPosition);
    // The line's comment is everything after its first apostrophe; a keyword needs a boundary
    // either side, so the text a keyword's length around the chunk colours it as the whole line
    // does.
    auto comment = m_lineComments.constFind(lineStart);
    if (comment == m_lineComments.cend()) {
        int at = -1;
        for (QTextBlock chunk = document()->findBlock(firstPosition); at < 0 && chunk.isValid();
             chunk = chunk.next()) {
            if (const qsizetype found = chunk.text().indexOf(QLatin1Char('\'')); found >= 0)
                at = textOffset(chunk.position()) + int(found);
            else if (chunk.position() + chunk.length() - 1 >= endPosition)
                break;
        }
        comment = m_lineComments.insert(lineStart, at);
    }
    const int commentStart = *comment < 0 ? lineEnd + 1 : *comment + 1;
    qsizetype reach = 1;
    for (const QString& keyword : m_keywords)
        reach = std::max(reach, keyword.size() + 1);
    const int textStart = std::max<qsizetype>(lineStart, from - reach);
    const int textEnd = std::min<qsizetype>(lineEnd, to + reach);
    QList<ColourRun> out;
    if (commentStart > textStart) {
        const int start = documentPosition(textStart);
        QString text =
            withoutChunkBreaks(cursorAt(start, documentPosition(textEnd)).selectedText(), start);
        // The line's break, which ends a comment, is the last character of any but the last line.
        if (textEnd == lineEnd && endPosition < document()->characterCount() - 1)
            text += QLatin1Char('\n');
        for (ColourRun run : Colouring::colour(text, m_keywords)) {
            run.start += textStart;
            const int runStart = std::max(run.start, from);
            const int runEnd = std::min(run.start + run.length, to);
            if (runStart < runEnd)
                out.append({runStart, runEnd - runStart, run.colour});
        }
    } else if (from < to) {
        out.append({from, to - from, Colours::Comment});
    }
    return out;
}
