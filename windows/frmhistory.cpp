// SPDX-License-Identifier: MIT
#include "windows/frmhistory.h"

#include "editor/codeeditor.h"
#include "editor/keywordlist.h"
#include "history/linediff.h"
#include "library/languagechoices.h"
#include "library/libraryfs.h"
#include "library/snippetcodec.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int VersionRole = Qt::UserRole; // index into the versions read

// Whole sentences, one for each way the counts may fall, so a language can agree with them.
QString differenceText(int old, int now, bool languageFile) {
    if (languageFile) {
        if (old == 1 && now == 1)
            return frmHistory::tr("1 line marked here is not in the language file now; 1 line of "
                                  "the file is not here.");
        if (old == 1)
            return frmHistory::tr("1 line marked here is not in the language file now; %1 lines "
                                  "of the file are not here.")
                .arg(now);
        if (now == 1)
            return frmHistory::tr("%1 lines marked here are not in the language file now; 1 line "
                                  "of the file is not here.")
                .arg(old);
        return frmHistory::tr("%1 lines marked here are not in the language file now; %2 lines of "
                              "the file are not here.")
            .arg(old)
            .arg(now);
    }
    if (old == 1 && now == 1)
        return frmHistory::tr("1 line marked here is not in the snippet's file now; 1 line of the "
                              "file is not here.");
    if (old == 1)
        return frmHistory::tr("1 line marked here is not in the snippet's file now; %1 lines of "
                              "the file are not here.")
            .arg(now);
    if (now == 1)
        return frmHistory::tr("%1 lines marked here are not in the snippet's file now; 1 line of "
                              "the file is not here.")
            .arg(old);
    return frmHistory::tr("%1 lines marked here are not in the snippet's file now; %2 lines of "
                          "the file are not here.")
        .arg(old)
        .arg(now);
}

QString whenText(const QDateTime& when) {
    return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A light background that leaves the keyword and comment colours readable.
const QColor MarkedLine(255, 236, 160);

// A long version goes into the editor in slices short enough that the window keeps answering.
constexpr qsizetype InOneGo = 256 * 1024;
constexpr qsizetype PieceChars = 4 * 1024;
constexpr int PartLines = 250; // emptied at a time
constexpr qint64 SliceMilliseconds = 10;

// A copy of its own: nothing the window's thread holds is shared with a worker.
QString own(const QString& text) {
    return QString(text.constData(), text.size());
}

} // namespace

frmHistory::frmHistory(LibraryFs& fs, const QString& gitFolder, QWidget* owner)
    : QDialog(owner), m_fs(fs), m_gitFolder(gitFolder) {
    setObjectName(QStringLiteral("frmHistory"));
    setModal(false);
    setSizeGripEnabled(true);

    lstVersions = new QTreeWidget(this);
    lstVersions->setObjectName(QStringLiteral("lstVersions"));
    lstVersions->setAccessibleName(tr("Versions"));
    lstVersions->setAccessibleDescription(tr("Newest first"));
    lstVersions->setHeaderLabels({tr("When"), tr("What"), tr("Size")});
    lstVersions->setRootIsDecorated(false);
    lstVersions->setUniformRowHeights(true);
    lstVersions->setSelectionMode(QAbstractItemView::SingleSelection);
    lstVersions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstVersions->header()->setStretchLastSection(true);
    lstVersions->setColumnWidth(0, 135);
    lstVersions->setColumnWidth(1, 100);
    auto* lblVersions = new QLabel(tr("&Versions:"), this);
    lblVersions->setBuddy(lstVersions);

    txtVersion = new CodeEditor(this);
    txtVersion->setObjectName(QStringLiteral("txtVersion"));
    txtVersion->setAccessibleName(tr("Chosen version"));
    txtVersion->setReadOnly(true);
    txtVersion->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    txtVersion->setWordWrapOff();
    // Nothing is typed here, so Tab moves on as it does between the other parts.
    txtVersion->setTabChangesFocus(true);
    // Marked lines are painted beneath the text, so the text keeps its colours on them: the
    // editor's own background, which it also gives each coloured run, becomes clear, and the
    // window paints it instead.
    m_background = txtVersion->palette().base().color();
    QPalette clear = txtVersion->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    txtVersion->setPalette(clear);
    txtVersion->viewport()->installEventFilter(this);
    txtVersion->installEventFilter(this);
    lblText = new QLabel(this);
    lblText->setBuddy(txtVersion);

    lblDifferences = new QLabel(this);
    lblDifferences->setObjectName(QStringLiteral("lblDifferences"));
    lblDifferences->setWordWrap(true);

    cmdRestore = new QPushButton(tr("&Restore"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdCopy = new QPushButton(tr("&Copy"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setAccessibleDescription(tr("Puts the chosen version's text on the clipboard"));
    cmdClose = new QPushButton(tr("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    // Enter on a version restores it, as Enter on a found snippet opens it.
    cmdRestore->setDefault(true);
    cmdCopy->setAutoDefault(false);
    cmdClose->setAutoDefault(false);
    nameTheFile();
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdRestore, QDialogButtonBox::ActionRole);
    buttons->addButton(cmdCopy, QDialogButtonBox::ActionRole);
    buttons->addButton(cmdClose, QDialogButtonBox::RejectRole);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lblVersions);
    leftLayout->addWidget(lstVersions, 1);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(lblText);
    rightLayout->addWidget(txtVersion, 1);
    rightLayout->addWidget(lblDifferences);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    resize(820, 480);
    split->setSizes({345, 475});

    setTabOrder(lstVersions, txtVersion);
    setTabOrder(txtVersion, cmdRestore);
    setTabOrder(cmdRestore, cmdCopy);
    setTabOrder(cmdCopy, cmdClose);

    m_sliceTimer = new QTimer(this);
    m_sliceTimer->setSingleShot(true);
    connect(m_sliceTimer, &QTimer::timeout, this, &frmHistory::loadSlice);
    connect(lstVersions, &QTreeWidget::currentItemChanged, this, &frmHistory::showChosen);
    connect(cmdRestore, &QPushButton::clicked, this, &frmHistory::restoreChosen);
    connect(cmdCopy, &QPushButton::clicked, this, &frmHistory::copyChosen);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

// The loader's thread is joined before anything it could wake goes.
frmHistory::~frmHistory() {
    m_preparer.reset();
    m_loader.reset();
}

QString frmHistory::whatText(const HistoryVersion& version) {
    if (version.deleted)
        return tr("deleted");
    switch (version.action) {
    case History::Action::Save:
        return tr("saved");
    case History::Action::SaveAs:
        return tr("saved as");
    case History::Action::Draft:
        return tr("draft discarded");
    case History::Action::ChangedOutside:
        return tr("changed outside");
    case History::Action::Restore:
        return tr("restored");
    case History::Action::Delete:
    case History::Action::RemoveCategory:
        return tr("deleted");
    case History::Action::FirstVersion:
        return tr("first version");
    case History::Action::Sync:
        return tr("synced");
    case History::Action::AddCategory:
        break;
    }
    return tr("saved");
}

void frmHistory::nameTheFile() {
    if (m_languageFile) {
        lblText->setText(tr("&Text, lines not in the language file marked:"));
        cmdRestore->setAccessibleDescription(
            tr("Writes the chosen version into the language file and colours by its choices"));
    } else {
        lblText->setText(tr("&Text, lines not in the snippet's file marked:"));
        cmdRestore->setAccessibleDescription(
            tr("Writes the chosen version into the snippet's file and opens it"));
    }
}

void frmHistory::showSnippet(const QString& path, const QString& name) {
    const bool other = path != m_path;
    m_path = path;
    m_name = name;
    m_languageFile = path == LanguageChoices::FileName;
    nameTheFile();
    setWindowTitle(tr("History of %1").arg(name));
    if (other) {
        m_versions.clear();
        lstVersions->clear();
        showChosen();
        lblDifferences->setText(tr("Reading the history..."));
    }
    refresh();
}

void frmHistory::refresh() {
    if (!m_loader)
        m_loader = std::make_unique<HistoryLoader<Listing>>(m_gitFolder, this, "takeVersions");
    const quint64 asked = ++m_asked;
    m_loader->ask([asked, path = m_path](const HistoryReader& reader) {
        return Listing{asked, path, reader.isOpen(),
                       reader.isOpen() ? reader.versions(path) : QList<HistoryVersion>()};
    });
}

void frmHistory::takeVersions() {
    std::optional<Listing> listing = m_loader->take();
    // A read for another snippet, or older than one shown, has nothing to say now.
    if (!listing || listing->path != m_path || listing->asked < m_shown)
        return;
    m_shown = listing->asked;
    const int row = chosenRow();
    const QString chosen =
        row >= 0 ? m_versions.at(row).commit + m_versions.at(row).blob : QString();
    m_versions = std::move(listing->versions);
    m_historyOpen = listing->open;

    QList<QTreeWidgetItem*> items;
    int keep = 0;
    const QLocale locale;
    for (int i = 0; i < m_versions.size(); ++i) {
        const HistoryVersion& version = m_versions.at(i);
        const QString size = version.deleted || version.size < 0
                                 ? QString()
                                 : tr("%1 bytes").arg(locale.toString(version.size));
        auto* item =
            new QTreeWidgetItem(QStringList{whenText(version.when), whatText(version), size});
        item->setData(0, VersionRole, i);
        items.append(item);
        if (version.commit + version.blob == chosen)
            keep = i;
    }
    {
        const QSignalBlocker quiet(lstVersions);
        lstVersions->clear();
        lstVersions->addTopLevelItems(items);
        if (!items.isEmpty())
            lstVersions->setCurrentItem(items.at(keep));
    }
    showChosen();
    emit versionsShown();
}

bool frmHistory::isReading() const {
    return m_shown != m_asked || m_chosenShown != m_chosenAsked || m_sliceTimer->isActive();
}

int frmHistory::chosenRow() const {
    const QTreeWidgetItem* item = lstVersions->currentItem();
    if (!item)
        return -1;
    const int row = item->data(0, VersionRole).toInt();
    return row >= 0 && row < m_versions.size() ? row : -1;
}

std::optional<QByteArray> frmHistory::chosenBytes() const {
    // Only the version chosen and shown: never one chosen before it.
    const int row = chosenRow();
    if (row < 0 || m_shownKey.isEmpty() ||
        m_versions.at(row).commit + m_versions.at(row).blob != m_shownKey)
        return std::nullopt;
    return m_shownBytes;
}

void frmHistory::dropShownText() {
    // A load broken off is ended first, so the editor takes edits again.
    if (m_arriving && m_arrived >= 0)
        txtVersion->finishLoading(0);
    m_arriving.reset();
    m_arrived = -1;
    m_shownKey.clear();
    m_shownText.clear();
    m_shownBytes.reset();
    m_marked.clear();
    cmdRestore->setEnabled(false);
    cmdCopy->setEnabled(false);
    txtVersion->viewport()->update();
    m_sliceTimer->start(0);
}

void frmHistory::showWhyNone(const QString& why) {
    dropShownText();
    lblDifferences->setText(why);
    txtVersion->setAccessibleDescription(why);
}

void frmHistory::showChosen() {
    const quint64 asked = ++m_chosenAsked;
    const int row = chosenRow();
    const HistoryVersion* version = row >= 0 ? &m_versions.at(row) : nullptr;
    if (!m_historyOpen || !version || version->deleted || version->blob.isEmpty()) {
        m_chosenShown = asked;
        if (!m_historyOpen)
            showWhyNone(tr("The history of the library cannot be read."));
        else if (!version && m_languageFile)
            showWhyNone(tr("The history holds no version of the language file."));
        else if (!version)
            showWhyNone(tr("The history holds no version of this snippet."));
        else if (m_languageFile)
            showWhyNone(tr("The language file was deleted here; choose an earlier version."));
        else
            showWhyNone(tr("The snippet was deleted here; choose an earlier version."));
        return;
    }
    const QString key = version->commit + version->blob;
    // The version shown, or on its way, stays while only its marks are worked out again (after
    // a commit the file may differ); another one goes at once, so nothing acts on it.
    if (key != m_shownKey && !(m_arriving && m_arriving->key == key)) {
        dropShownText();
        lblDifferences->setText(tr("Reading the history..."));
    }
    if (!m_preparer)
        m_preparer = std::make_unique<HistoryLoader<Prepared>>(m_gitFolder, this, "takeChosen");
    const HistoryLoader<Prepared>* preparer = m_preparer.get();
    m_preparer->ask([asked, preparer, fs = &m_fs, path = own(m_path), key = own(key),
                     blob = own(version->blob), file = own(m_fs.libraryPath() + m_path),
                     keywordFile = own(m_fs.keywordFilePath())](const HistoryReader& reader) {
        Prepared prepared;
        prepared.asked = asked;
        prepared.path = path;
        prepared.key = key;
        // A newer choice is waiting: this one is never shown.
        if (!reader.isOpen() || preparer->superseded())
            return prepared;
        prepared.bytes = reader.text(blob);
        if (!prepared.bytes || preparer->superseded())
            return prepared;
        prepared.text = SnippetCodec::decode(*prepared.bytes).text;
        if (const LibraryFs::Read list = fs->readFile(keywordFile); list.result.ok)
            prepared.keywords = KeywordList::parse(SnippetCodec::decodeText(list.bytes));
        if (preparer->superseded())
            return prepared;
        const LibraryFs::Read current = fs->readFile(file, LibraryFs::SnippetReadLimit);
        prepared.currentRead = current.result.ok;
        prepared.currentReason = current.result.reason;
        const QStringList currentLines =
            current.result.ok ? LineDiff::lines(SnippetCodec::decode(current.bytes).text)
                              : QStringList();
        if (preparer->superseded())
            return prepared;
        const LineDiff::Marks marks =
            LineDiff::compare(LineDiff::lines(prepared.text), currentLines);
        prepared.marked = marks.onlyInOld;
        prepared.exact = marks.exact;
        prepared.countOld = marks.countOld();
        prepared.countNew = marks.countNew();
        return prepared;
    });
}

void frmHistory::takeChosen() {
    std::optional<Prepared> prepared = m_preparer->take();
    // Only the latest choice is shown; an older one that arrives late is dropped.
    if (!prepared || prepared->asked != m_chosenAsked || prepared->path != m_path)
        return;
    if (!prepared->bytes) {
        m_chosenShown = prepared->asked;
        showWhyNone(tr("The text of this version cannot be read from the history."));
        return;
    }
    if (m_arriving && m_arriving->key == prepared->key) {
        // The same text on its way: it goes on, with the newer marks.
        prepared->text = std::move(m_arriving->text);
        m_arriving = std::move(prepared);
        return;
    }
    if (prepared->key == m_shownKey) {
        m_shownBytes = std::move(prepared->bytes);
        showMarks(*prepared);
        m_chosenShown = prepared->asked;
        return;
    }
    m_arriving = std::move(prepared);
    m_arrived = -1;
    loadSlice();
}

void frmHistory::loadSlice() {
    // Called at once when a version arrives, a tick still pending must not empty it after.
    m_sliceTimer->stop();
    QElapsedTimer slice;
    slice.start();
    QTextDocument* document = txtVersion->document();
    if (m_arrived < 0) {
        // The text shown before goes a part at a time: emptying a long document at once holds
        // the window as long as filling it.
        document->setUndoRedoEnabled(false);
        while (document->blockCount() > PartLines && slice.elapsed() < SliceMilliseconds) {
            QTextCursor part(document);
            part.setPosition(
                document->findBlockByNumber(document->blockCount() - PartLines).position() - 1);
            part.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            part.removeSelectedText();
        }
        if (document->blockCount() > PartLines) {
            m_sliceTimer->start(0);
            return;
        }
        if (!m_arriving || m_arriving->text.size() <= InOneGo) {
            txtVersion->setText(m_arriving ? m_arriving->text : QString());
            if (m_arriving)
                finishShowing();
            return;
        }
        // The editor is empty by now: nothing to show meanwhile.
        txtVersion->beginLoading(false);
        m_arrived = 0;
    }
    if (!m_arriving)
        return;
    const QString& text = m_arriving->text;
    while (m_arrived < text.size() && slice.elapsed() < SliceMilliseconds) {
        qsizetype end = std::min(text.size(), m_arrived + PieceChars);
        // Pieces end at a line break where there is one, so the editor adds none of its own.
        if (end < text.size()) {
            const qsizetype lineEnd = text.lastIndexOf(QLatin1Char('\n'), end - 1);
            if (lineEnd >= m_arrived)
                end = lineEnd + 1;
        }
        txtVersion->appendLoadedText(text.mid(m_arrived, end - m_arrived));
        m_arrived = end;
    }
    if (m_arrived < text.size()) {
        m_sliceTimer->start(0);
        return;
    }
    txtVersion->finishLoading(0);
    finishShowing();
}

void frmHistory::finishShowing() {
    Prepared prepared = std::move(*m_arriving);
    m_arriving.reset();
    m_arrived = -1;
    txtVersion->colourAll(prepared.keywords);
    m_shownKey = prepared.key;
    m_shownText = std::move(prepared.text);
    m_shownBytes = std::move(prepared.bytes);
    showMarks(prepared);
    m_chosenShown = prepared.asked;
    cmdRestore->setEnabled(true);
    cmdCopy->setEnabled(true);
}

void frmHistory::showMarks(const Prepared& prepared) {
    m_marked = prepared.marked;
    txtVersion->viewport()->update();
    QString summary;
    if (!prepared.currentRead && m_languageFile)
        summary = tr("The language file cannot be read now (%1): every line is marked.")
                      .arg(prepared.currentReason);
    else if (!prepared.currentRead)
        summary = tr("The snippet's file cannot be read now (%1): every line is marked.")
                      .arg(prepared.currentReason);
    else if (!prepared.exact && m_languageFile)
        summary = tr("Too different from the language file now to compare line by line: every "
                     "line is marked.");
    else if (!prepared.exact)
        summary = tr("Too different from the snippet's file now to compare line by "
                     "line: every line is marked.");
    else if (prepared.countOld == 0 && prepared.countNew == 0)
        summary = m_languageFile ? tr("The same as the language file now.")
                                 : tr("The same as the snippet's file now.");
    else
        summary = differenceText(prepared.countOld, prepared.countNew, m_languageFile);
    lblDifferences->setText(summary);
    txtVersion->setAccessibleDescription(summary);
}

void frmHistory::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    lstVersions->setFocus();
}

bool frmHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtVersion->viewport() && event->type() == QEvent::Paint) {
        const QRect area = static_cast<QPaintEvent*>(event)->rect();
        QPainter painter(txtVersion->viewport());
        painter.fillRect(area, m_background);
        const int bottom = txtVersion->viewport()->height();
        for (QTextBlock block = txtVersion->cursorForPosition(QPoint(0, 0)).block();
             block.isValid(); block = block.next()) {
            const QRect caret = txtVersion->cursorRect(QTextCursor(block));
            if (caret.top() > bottom)
                break;
            if (block.blockNumber() < m_marked.size() && m_marked[block.blockNumber()])
                painter.fillRect(QRect(area.left(), caret.top(), area.width(), caret.height()),
                                 MarkedLine);
        }
        return false; // the editor paints the text over it
    }
    // In overwrite mode the caret would be drawn in the clear background.
    if (watched == txtVersion && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Insert)
        return true;
    return QDialog::eventFilter(watched, event);
}

void frmHistory::restoreChosen() {
    // The restore runs events and boxes, and the window may be given another snippet meanwhile.
    const QString path = m_path;
    if (const std::optional<QByteArray> bytes = chosenBytes())
        emit restoreRequested(path, *bytes);
}

void frmHistory::copyChosen() {
    if (chosenBytes())
        QGuiApplication::clipboard()->setText(m_shownText);
}
