// SPDX-License-Identifier: MIT
// Telling the history what the commands did and what the editor threw away.
#include "app/frmmain.h"

#include "editor/codeeditor.h"
#include "library/names.h"
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

// A link is recorded as a link, as git itself and the looks at the library record it; what a
// command writes through a link is recorded where it lands, the real file inside the library.
QString frmMain::historyPath(const QString& path) const {
    if (QString real = fs().placeInLibrary(path); !real.isEmpty())
        return real;
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

void frmMain::keepOnDisk(const QString& path, bool category) {
    History* kept = history();
    if (!kept)
        return;
    QStringList files;
    if (!category) {
        files.append(path);
    } else if (!fs().isSymbolicLink(path)) { // removing a linked category removes the link alone
        const LibraryFs::Listing listing = fs().listFiles(path);
        for (const QString& name : listing.names) {
            if (!Names::snippetNameOfFile(name).isNull())
                files.append(LibraryFs::fileInFolder(path, name));
        }
    }
    QStringList paths;
    QList<QByteArray> bytes;
    QList<bool> present;
    for (const QString& file : std::as_const(files)) {
        const LibraryFs::Read read = fs().readFile(file, LibraryFs::SnippetReadLimit);
        if (read.tooLarge)
            continue;
        paths.append(historyPath(file));
        present.append(read.result.ok);
        bytes.append(read.bytes);
    }
    if (!paths.isEmpty())
        kept->recordOnDisk(paths, bytes, present);
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
    const QString report = m_history->takeReport();
    if (report.isEmpty())
        return;
    if (!m_history->lockHolder()) {
        dialogs().error(report);
        return;
    }
    // A portable library left locked by a machine that crashed or was unplugged.
    const Dialogs::Button answer = dialogs().message(
        {report + QStringLiteral("\n\n") +
             tr("Take the history over? Do so only when Quillary no longer runs there."),
         QString(), Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Button::No});
    if (answer == Dialogs::Button::Yes && m_history)
        m_history->takeOver();
}
