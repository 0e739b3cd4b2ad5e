// SPDX-License-Identifier: MIT
// Syncing the library with a git remote: the commands, the questions the sync asks, and the
// window brought up to date with what arrived. The sync itself runs on the history's thread.
#include "app/frmmain.h"

#include "app/keyring.h"
#include "editor/codeeditor.h"
#include "history/syncsettings.h"
#include "library/names.h"
#include "windows/frmsyncsettings.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace {

bool asksForLogin(const QString& remote) {
    return remote.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ||
           remote.startsWith(QLatin1String("http://"), Qt::CaseInsensitive);
}

QString shownSnippet(const QString& path) {
    return path.endsWith(Names::SnippetEnding) ? path.chopped(Names::SnippetEnding.size()) : path;
}

} // namespace

void frmMain::createSyncMenus() {
    mnuEditPopup->addSeparator()->setObjectName(QStringLiteral("sepSync"));
    mnuSyncSettings = mnuEditPopup->addAction(tr("S&ync Settings..."));
    mnuSyncSettings->setObjectName(QStringLiteral("mnuSyncSettings"));
    connect(mnuSyncSettings, &QAction::triggered, this, &frmMain::ShowSyncSettings);
    mnuSyncNow = mnuEditPopup->addAction(tr("Sy&nc Now"));
    mnuSyncNow->setObjectName(QStringLiteral("mnuSyncNow"));
    // F5 recolours and F9 shows the Code Clipboard; F8 is free in every part of the window.
    mnuSyncNow->setShortcut(QKeySequence(Qt::Key_F8));
    connect(mnuSyncNow, &QAction::triggered, this, &frmMain::SyncNow);
}

void frmMain::setKeyring(std::unique_ptr<Keyring> keyring) {
    m_keyring = std::move(keyring);
}

Keyring& frmMain::keyring() {
    if (!m_keyring)
        m_keyring = std::make_unique<DesktopKeyring>();
    return *m_keyring;
}

void frmMain::startSyncClock() {
    if (!m_history)
        return;
    connect(m_history.get(), &History::syncProgressed, this, &frmMain::showSyncProgress,
            Qt::QueuedConnection);
    connect(m_history.get(), &History::syncAsks, this, &frmMain::answerSyncQuestion,
            Qt::QueuedConnection);
    connect(m_history.get(), &History::synced, this, &frmMain::finishSync, Qt::QueuedConnection);
    m_syncClock = new QTimer(this);
    m_syncClock->setObjectName(QStringLiteral("tmrSync"));
    connect(m_syncClock, &QTimer::timeout, this, [this] {
        const SyncSettings settings = SyncSettings::load();
        if (!settings.remote.isEmpty())
            beginSync(settings.remote, SyncStart::Automatic);
    });
    const SyncSettings settings = SyncSettings::load();
    if (settings.everyMinutes > 0)
        m_syncClock->start(settings.everyMinutes * 60 * 1000);
    // Queued behind the history's first look at the library.
    if (settings.atStart && !settings.remote.isEmpty())
        beginSync(settings.remote, SyncStart::Automatic);
}

void frmMain::ShowSyncSettings() {
    frmSyncSettings box(SyncSettings::load(), this);
    if (box.exec() != QDialog::Accepted)
        return;
    SyncSettings chosen = box.settings();
    // A password typed into the address goes to the keyring, never into the settings file.
    if (const QString bare = SyncSettings::withoutPassword(chosen.remote); bare != chosen.remote) {
        const QUrl url(chosen.remote);
        keyring().write(
            bare, {url.userName(), url.password()},
            [alive = QPointer<frmMain>(this)](const QString& failure) {
                if (alive && !failure.isEmpty())
                    alive->dialogs().error(
                        tr("The password in the remote's address cannot be kept in the desktop's "
                           "keyring (%1); it was left out of the address, and Quillary will ask "
                           "for "
                           "it at the next sync.")
                            .arg(failure));
            });
        chosen.remote = bare;
    }
    if (!chosen.save()) {
        dialogs().error(tr("The sync settings cannot be saved in the configuration folder; they "
                           "hold for this run of Quillary only."));
    }
    if (m_syncClock) {
        if (chosen.everyMinutes > 0)
            m_syncClock->start(chosen.everyMinutes * 60 * 1000);
        else
            m_syncClock->stop();
    }
}

void frmMain::SyncNow() {
    if (History* kept = history(); kept && (kept->isSyncing() || m_syncStarting)) {
        kept->cancelSync();
        m_syncStarting = false;
        return;
    }
    SyncSettings settings = SyncSettings::load();
    if (settings.remote.isEmpty()) {
        ShowSyncSettings();
        settings = SyncSettings::load();
        if (settings.remote.isEmpty())
            return;
    }
    beginSync(settings.remote, SyncStart::Command);
}

void frmMain::beginSync(const QString& remote, SyncStart start) {
    History* kept = history();
    if (!kept) {
        if (start == SyncStart::Command) {
            dialogs().error(tr("The library cannot be synced: its history is off, and the sync "
                               "brings histories together."));
        }
        return;
    }
    if (kept->isSyncing() || m_syncStarting)
        return;
    m_syncRemote = remote;
    m_syncStart = start;
    mnuSyncNow->setText(tr("Cancel Sy&nc"));
    setSyncPanel(tr("Syncing..."), tr("Syncing with \"%1\"").arg(LibrarySync::shown(remote)));
    const auto go = [this, remote](std::optional<LibrarySync::Login> login) {
        m_syncStarting = false;
        if (!m_history || !m_history->startSync(remote, std::move(login))) {
            mnuSyncNow->setText(tr("Sy&nc Now"));
            setSyncPanel(QString(), QString());
            if (m_quitAfterSync) {
                m_syncedForQuit = true;
                close();
            }
        }
    };
    if (!asksForLogin(remote)) {
        go(std::nullopt);
        return;
    }
    m_syncStarting = true;
    QPointer<frmMain> alive(this);
    keyring().read(remote, [alive, go](std::optional<LibrarySync::Login> login) {
        if (alive && alive->m_syncStarting)
            go(std::move(login));
    });
}

void frmMain::setSyncPanel(const QString& text, const QString& toolTip) {
    // A snippet loading shows its progress in the same panel, and puts back what was there.
    if (m_loading)
        m_panelTextBeforeLoading = text;
    else
        statusPanels[0]->setText(text);
    statusPanels[0]->setToolTip(toolTip);
}

void frmMain::showSyncProgress() {
    if (!m_history || !m_history->isSyncing())
        return;
    const History::SyncProgress progress = m_history->syncProgress();
    if (!progress.started)
        return;
    QString step;
    switch (progress.step) {
    case LibrarySync::Step::Fetch:
        step = tr("receiving");
        break;
    case LibrarySync::Step::Merge:
        step = tr("merging");
        break;
    case LibrarySync::Step::Push:
        step = tr("sending");
        break;
    case LibrarySync::Step::Write:
        step = tr("writing the library");
        break;
    }
    const QString remote = LibrarySync::shown(m_syncRemote);
    if (progress.total > 0) {
        const int percent = int(std::min<quint64>(100, progress.done * 100 / progress.total));
        //: The status bar's first panel, which is narrow; %1 is a percentage.
        setSyncPanel(tr("Sync: %1%").arg(percent),
                     tr("Syncing with \"%1\": %2 (%3%)").arg(remote, step).arg(percent));
    } else {
        setSyncPanel(tr("Syncing..."), tr("Syncing with \"%1\": %2").arg(remote, step));
    }
}

void frmMain::answerSyncQuestion() {
    History* kept = history();
    const std::optional<History::SyncQuestion> question =
        kept ? kept->syncQuestion() : std::nullopt;
    if (!question)
        return;
    const QString remote = LibrarySync::shown(question->remote);
    if (question->kind == History::SyncQuestion::Kind::TrustHost) {
        //: %1 is a host name, %2 a key type such as ssh-ed25519, %3 its SHA256 fingerprint.
        const QString text = tr("The host \"%1\" is not known to this machine yet. It shows a %2 "
                                "key with the fingerprint\n\n%3\n\nTrust this host, remember its "
                                "key and sync with it?")
                                 .arg(question->host, question->keyType, question->fingerprint);
        const bool yes =
            dialogs().message({text, QString(), Dialogs::Icon::Question, Dialogs::Buttons::YesNo,
                               Dialogs::Button::No}) == Dialogs::Button::Yes;
        kept->answerSyncQuestion(yes);
        return;
    }
    const QString prompt = question->attempt > 0
                               ? tr("\"%1\" refused that login. User name for \"%1\":").arg(remote)
                               : tr("User name for \"%1\":").arg(remote);
    const QString user = dialogs().input(prompt, tr("Sync"), question->user);
    if (user.isEmpty()) {
        kept->answerSyncQuestion(false);
        return;
    }
    const QString secret = dialogs().secret(
        tr("Token or password of \"%1\" for \"%2\":").arg(user, remote), tr("Sync"));
    if (secret.isEmpty()) {
        kept->answerSyncQuestion(false);
        return;
    }
    kept->answerSyncQuestion(true, {user, secret});
}

void frmMain::finishSync() {
    if (!m_history)
        return;
    const SyncOutcome outcome = m_history->takeSyncOutcome();
    const QString remote = LibrarySync::shown(m_syncRemote);
    mnuSyncNow->setText(tr("Sy&nc Now"));
    if (const std::optional<LibrarySync::Login> login = m_history->takeWorkedLogin()) {
        QPointer<frmMain> alive(this);
        keyring().write(m_syncRemote, *login, [alive](const QString& failure) {
            if (alive && !failure.isEmpty() && !alive->m_closing) {
                alive->dialogs().error(
                    tr("The login worked, but the desktop's keyring cannot keep it (%1). "
                       "Quillary will ask for it at the next sync.")
                        .arg(failure));
            }
        });
    }
    const bool quitting = m_quitAfterSync;
    switch (outcome.result) {
    case SyncOutcome::Result::Synced:
        m_automaticFailureShown = false;
        setSyncPanel(tr("Synced"), tr("Synced with \"%1\" at %2")
                                       .arg(remote, QLocale().toString(QTime::currentTime(),
                                                                       QLocale::ShortFormat)));
        if (!quitting)
            showSyncedFiles(outcome);
        if (!outcome.copies.isEmpty()) {
            QStringList names;
            for (const QString& copy : outcome.copies)
                names.append(shownSnippet(copy));
            dialogs().message(
                {tr("These snippets were changed both here and on another machine. Both are "
                    "kept: the other machine's version is the snippet named after it.\n\n%1")
                     .arg(names.join(QLatin1Char('\n'))),
                 QString(), Dialogs::Icon::Information, Dialogs::Buttons::Ok, Dialogs::Button::Ok});
        }
        if (!outcome.skipped.isEmpty() && !quitting)
            dialogs().message({outcome.skipped.join(QLatin1Char('\n')), QString(),
                               Dialogs::Icon::Warning, Dialogs::Buttons::Ok, Dialogs::Button::Ok});
        break;
    case SyncOutcome::Result::Cancelled:
        setSyncPanel(
            tr("Sync cancelled"),
            tr("The sync with \"%1\" was cancelled; the library is as it was.").arg(remote));
        break;
    case SyncOutcome::Result::Failed:
        setSyncPanel(tr("Sync failed"), outcome.failure);
        // A clock that syncs every few minutes tells of a failure once, until a sync works.
        if (m_syncStart != SyncStart::Automatic || !m_automaticFailureShown)
            dialogs().error(outcome.failure);
        if (m_syncStart == SyncStart::Automatic)
            m_automaticFailureShown = true;
        break;
    }
    if (quitting) {
        m_syncedForQuit = true;
        close();
    }
}

void frmMain::showSyncedFiles(const SyncOutcome& synced) {
    // The categories' languages are no snippet: they recolour the open one, and no more.
    SyncOutcome outcome = synced;
    const bool languagesChanged = outcome.written.removeAll(LanguageChoices::FileName) +
                                      outcome.removed.removeAll(LanguageChoices::FileName) >
                                  0;
    if (languagesChanged && !m_held.name.isNull() && !txtCodeFile->isEdited())
        ColorCode();
    if (outcome.written.isEmpty() && outcome.removed.isEmpty())
        return;
    const QString library = fs().libraryPath();
    for (const QString& path : outcome.written)
        m_index->fileChanged(library + path);
    for (const QString& path : outcome.removed) {
        if (path.endsWith(Names::SnippetEnding))
            m_index->fileChanged(library + path);
        else
            m_index->folderChanged(library + path);
    }
    const QString held = m_held.name.isNull() ? QString() : historyPath(heldFile());
    const bool heldWritten = !held.isEmpty() && outcome.written.contains(held);
    bool heldGone = false;
    for (const QString& path : outcome.removed)
        heldGone = heldGone || (!held.isEmpty() && (held == path || held.startsWith(path + '/')));
    // The editor's edit is never replaced: it stays, and the history keeps it as a draft too.
    const bool edited = txtCodeFile->isEdited();
    if ((heldWritten || heldGone) && edited) {
        if (History* kept = history()) {
            kept->recordDraft(
                held, SnippetCodec::encode(txtCodeFile->text(), m_textEncoding, m_textLineEnd));
        }
    }
    // The tree is read afresh only when categories came or went; the list always is, with the
    // same category and snippet selected.
    const QString selectedFolder = folderOfNode(selectedNode());
    const QTreeWidgetItem* entry = selectedEntry();
    const QString entryName = entry ? entry->text(0) : QString();
    constexpr int MostLookedUp = 100;
    bool treeChanged = outcome.written.size() > MostLookedUp;
    for (const QString& path : outcome.removed)
        treeChanged = treeChanged || !path.endsWith(Names::SnippetEnding);
    for (int i = 0; !treeChanged && i < outcome.written.size(); ++i) {
        const QStringList parts = outcome.written[i].split(QLatin1Char('/'));
        QTreeWidgetItem* category = childWithText(rootNode(), parts.first());
        treeChanged = !category || (parts.size() > 2 && !childWithText(category, parts[1]));
    }
    QTreeWidgetItem* node = selectedNode();
    if (treeChanged) {
        reloadTree();
        node = rootNode();
        QList<QTreeWidgetItem*> open{node};
        while (!open.isEmpty()) {
            QTreeWidgetItem* candidate = open.takeFirst();
            if (!candidate)
                continue;
            if (folderOfNode(candidate) == selectedFolder) {
                node = candidate;
                break;
            }
            for (int i = 0; i < candidate->childCount(); ++i)
                open.append(candidate->child(i));
        }
        const QSignalBlocker quiet(tvwFolders);
        tvwFolders->setCurrentItem(node);
    }
    tvwFolders_NodeClick(node);
    if (heldGone && !edited && !m_loading) {
        setNewText(QString());
        setHeld(QString(), QString());
        return;
    }
    if (heldGone)
        setHeld(QString(), QString()); // the text stays, as text of no snippet
    for (int i = 0; !entryName.isEmpty() && i < lstCode->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lstCode->topLevelItem(i);
        if (item->text(0) != entryName)
            continue;
        {
            const QSignalBlocker quiet(lstCode);
            lstCode->setCurrentItem(item);
        }
        if (heldWritten && !edited && !m_loading)
            lstCode_ItemClick();
        break;
    }
}

bool frmMain::syncBeforeClosing() {
    if (m_closing || m_syncedForQuit)
        return false;
    History* kept = history();
    if (!kept)
        return false;
    if (m_quitAfterSync) {
        // Asked to close again while the sync runs: it stops, and the window closes at once.
        kept->cancelSync();
        m_syncStarting = false;
        m_syncedForQuit = true;
        return false;
    }
    const SyncSettings settings = SyncSettings::load();
    if (!settings.atQuit || settings.remote.isEmpty())
        return false;
    m_quitAfterSync = true;
    if (!kept->isSyncing() && !m_syncStarting)
        beginSync(settings.remote, SyncStart::AtQuit);
    //: The status bar's first panel, which is narrow.
    setSyncPanel(tr("Syncing..."),
                 tr("Quillary closes once the sync with \"%1\" ends. Quit again to close now.")
                     .arg(LibrarySync::shown(settings.remote)));
    return true;
}
