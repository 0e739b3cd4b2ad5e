// SPDX-License-Identifier: MIT
// The edit-state tick, the status bar position, the clipboard and comment commands.
#include "app/frmmain.h"

#include "app/keylocks.h"
#include "editor/codeeditor.h"
#include "editor/commentedits.h"
#include "editor/textposition.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QTextDocument>
#include <QTimer>
#include <functional>

namespace {

// Refreshes the lock panels when a lock key is released or the window becomes active, so the
// tick never has to ask the windowing system.
class KeyLockWatcher : public QObject {
public:
    KeyLockWatcher(QWidget* window, std::function<void()> refresh)
        : QObject(window), m_window(window), m_refresh(std::move(refresh)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyRelease: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock)
                m_refresh();
            break;
        }
        case QEvent::WindowActivate:
            if (watched == m_window)
                m_refresh();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_refresh;
};

// Pasted text keeps its characters; only CR LF and a lone CR become the editor's line break.
QString withEditorLineBreaks(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

void frmMain::startEditState() {
    m_editStateStarted = true;
    // The tick only reads this flag: asking the clipboard's owner on every tick would cost a
    // round trip to another program.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        refreshClipboardFlag();
        armEditTick();
    });
    refreshClipboardFlag();
    connect(txtCodeFile, &CodeEditor::contentsChange, this, [this] {
        m_positionStale = true;
        armEditTick();
    });
    // The tick has nothing to do until the selection, the text or the clipboard changes, so it
    // sleeps until one of them does: polling an idle editor kept a core busier than it should.
    connect(txtCodeFile, &QPlainTextEdit::cursorPositionChanged, this, &frmMain::armEditTick);
    connect(txtCodeFile, &QPlainTextEdit::selectionChanged, this, &frmMain::armEditTick);
    qApp->installEventFilter(new KeyLockWatcher(this, [this] { refreshKeyLockPanels(); }));
    refreshKeyLockPanels();
}

void frmMain::refreshClipboardFlag() {
    m_clipboardHasText = !QGuiApplication::clipboard()->text().isEmpty();
}

void frmMain::refreshKeyLockPanels() {
    // Dimmed when off, and when nobody tells the state.
    const KeyLocks::State locks = KeyLocks::query().value_or(KeyLocks::State{});
    setKeyPanel(2, locks.capsLock);
    setKeyPanel(3, locks.numLock);
}

void frmMain::setEnabledIfChanged(QAction* action, bool enabled) {
    if (action->isEnabled() != enabled)
        action->setEnabled(enabled);
}

void frmMain::updateEditMenuStates(bool includeCommentSelected) {
    setEnabledIfChanged(mnuPaste, m_clipboardHasText);
    const bool selected = txtCodeFile->selectionLength() != 0;
    setEnabledIfChanged(mnuCut, selected);
    setEnabledIfChanged(mnuCopy, selected);
    setEnabledIfChanged(mnuDelete, selected);
    if (includeCommentSelected)
        setEnabledIfChanged(mnuCommentSelected, selected);
}

void frmMain::armEditTick() {
    if (!tmrEdit->isActive())
        tmrEdit->start();
}

void frmMain::tmrEdit_Timer() {
    tmrEdit->stop();
    if (!m_editStateStarted)
        startEditState();
    updateEditMenuStates(true);
    // Line queries cost more in a long text, so they run only when the caret moved or the text
    // changed; an idle tick then costs the same whatever the text's size.
    const int start = txtCodeFile->selectionStart();
    if (start == m_positionStart && !m_positionStale)
        return;
    m_positionStart = start;
    m_positionStale = false;
    const int column = ColPos(txtCodeFile);
    const int line = GetLineFromChar(start);
    // Only a change is written, so an idle editor causes no repaint.
    if (column != m_shownColumn || line != m_shownLine) {
        m_shownColumn = column;
        m_shownLine = line;
        statusPanels[1]->setText(TextPosition::panelText(column, line));
        fitStatusPanels();
    }
}

int frmMain::ColPos(const CodeEditor* txtBox) const {
    // Measured from the selection start's own line, so a selection over several lines never
    // gives a negative column.
    return TextPosition::column(txtBox->selectionStart(), txtBox->lineStartOfCaret());
}

int frmMain::GetLineFromChar(int CharPos) const {
    return txtCodeFile->lineFromChar(CharPos);
}

void frmMain::txtCodeFile_MouseUp(int button) {
    if (button != 2)
        return;
    if (!m_editStateStarted)
        startEditState();
    refreshClipboardFlag();
    updateEditMenuStates(false);
    mnuEditPopup->popup(popupPoint());
}

void frmMain::Undo() {
    txtCodeFile->undo();
}

void frmMain::mnuDelete_Click() {
    if (txtCodeFile->selectionLength() != 0)
        txtCodeFile->replaceSelection(QString());
}

void frmMain::mnuCut_Click() {
    QGuiApplication::clipboard()->setText(txtCodeFile->selectedText());
    if (txtCodeFile->selectionLength() != 0)
        txtCodeFile->replaceSelection(QString());
}

void frmMain::mnuCopy_Click() {
    QGuiApplication::clipboard()->setText(txtCodeFile->selectedText());
}

void frmMain::mnuPaste_Click() {
    const QString text = withEditorLineBreaks(QGuiApplication::clipboard()->text());
    if (!text.isEmpty() || txtCodeFile->selectionLength() != 0)
        txtCodeFile->replaceSelection(text);
}

void frmMain::mnuCommentSelected_Click() {
    txtCodeFile->replaceSelection(CommentEdits::commentSelection(txtCodeFile->selectedText()));
    ColorCode();
}

void frmMain::mnuCommentWholeLine_Click() {
    const int oldStart = txtCodeFile->selectionStart();
    txtCodeFile->setSelectionStart(txtCodeFile->lineStartOfCaret());
    txtCodeFile->replaceSelection(QString(QChar(CommentEdits::Marker)));
    // Back to the same number, which is now one character nearer the line's start.
    txtCodeFile->setSelectionStart(oldStart);
    ColorCode();
}

void frmMain::mnuCommentFromHere_Click() {
    txtCodeFile->replaceSelection(CommentEdits::commentFromHere(txtCodeFile->selectedText()));
    ColorCode();
}
