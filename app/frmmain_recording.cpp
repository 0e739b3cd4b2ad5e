// SPDX-License-Identifier: MIT
// Telling the history what the commands did and what the editor threw away.
#include "app/frmmain.h"

#include "editor/codeeditor.h"
#include "windows/frmclipboard.h"

namespace {
bool historyAtStart = true;
// As the index does, the history looks at the library once the window is up.
constexpr int HistoryStartDelayMs = 1000;
} // namespace

void frmMain::setHistoryAtStart(bool on) {
    historyAtStart = on;
}

void frmMain::createHistory() {
    if (!historyAtStart || !fs().folderExists(m_locations.library))
        return;
    m_history = std::make_unique<History>(m_locations.library, m_locations.historyFolder(),
                                          HistoryStartDelayMs);
    // Sent from the history's thread; the report itself is taken from under its lock.
    connect(m_history.get(), &History::reportReady, this, &frmMain::showHistoryReport,
            Qt::QueuedConnection);
    // A pass of the index compares sizes and times: what it finds changed may be another
    // program's work.
    connect(m_index.get(), &SnippetIndex::changed, this, [this] {
        const bool running = m_index->progress().running;
        if (m_indexWasRunning && !running && m_history)
            m_history->noticeOutsideChanges();
        m_indexWasRunning = running;
    });
}

History* frmMain::history() const {
    return m_history && m_history->isOn() ? m_history.get() : nullptr;
}

QString frmMain::historyPath(const QString& path) const {
    const QString library = m_locations.library;
    QString relative = path.startsWith(library) ? path.mid(library.size()) : path;
    while (relative.endsWith(QLatin1Char('/')))
        relative.chop(1);
    return relative;
}

void frmMain::record(History::Action action, const QString& path, const QByteArray& bytes) {
    if (History* kept = history())
        kept->recordCommand(action, historyPath(path), bytes);
}

void frmMain::keepDiscardedText() {
    History* kept = history();
    if (!kept || m_loading || txtCodeFile->isLoading() || !txtCodeFile->isEdited())
        return;
    const QString held = heldFile();
    kept->recordDraft(held.isEmpty() ? QString::fromLatin1(History::UnsavedText)
                                     : historyPath(held),
                      SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd));
    // Kept once: the same text is not kept again when something else replaces it.
    txtCodeFile->markClean();
}

void frmMain::showHistoryReport() {
    if (m_closing || !m_history)
        return;
    if (const QString report = m_history->takeReport(); !report.isEmpty())
        dialogs().error(report);
}
