// SPDX-License-Identifier: MIT
#pragma once

#include "app/dialogs.h"
#include "editor/syntaxcolouring.h"
#include "history/history.h"
#include "library/languagechoices.h"
#include "library/libraryfs.h"
#include "library/snippetcodec.h"
#include "search/snippetindex.h"
#include "windows/frmclipboard.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <memory>
#include <optional>

class CodeEditor;
class frmDeleted;
class frmFind;
class frmHistory;
class Keyring;
struct DeletedEntry;
class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// Keeps the user from dragging a window smaller than a minimum; no maximum.
struct SizeLimit {
    QWidget* hWnd = nullptr;
    double MinWidth = 0;
    double MinHeight = 0;
    void setEnabled(bool on);
};

// The main window: the category tree, the snippet list, the code editor, menus and toolbar.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // `locations` names the library folder and the keyword list. Tests pass their own dialogs and
    // file-system object; by default the real ones are used.
    explicit frmMain(LibraryLocations locations, std::unique_ptr<Dialogs> dialogs = nullptr,
                     std::unique_ptr<LibraryFs> fs = nullptr, QWidget* parent = nullptr);
    // The library and the keyword list both in `folder`, as in a portable copy.
    explicit frmMain(const QString& folder, std::unique_ptr<Dialogs> dialogs = nullptr,
                     std::unique_ptr<LibraryFs> fs = nullptr, QWidget* parent = nullptr)
        : frmMain(LibraryLocations::beside(folder), std::move(dialogs), std::move(fs), parent) {}
    ~frmMain() override;

    static QString caption() { return QStringLiteral("Quillary 1.0"); }
    // Start client size in pixels (9465 x 6720 twips).
    static constexpr int StartClientWidth = 631;
    static constexpr int StartClientHeight = 448;

    // Pictures and the size limit, for tests of what they hold.
    QList<QPixmap> ilToolbar;
    QList<QPixmap> ilTree;
    SizeLimit SL;

    // Commands.
    void LoadCodeTree();
    void AddCat();
    void RemoveCat();
    void Save();
    void SaveAs();
    void ColorCode();
    int ColPos(const CodeEditor* txtBox) const;
    int GetLineFromChar(int CharPos) const;
    void Undo();
    void ShowClipboard();

    // Handlers.
    void Toolbar1_ButtonClick(int index);
    void tvwFolders_NodeClick(QTreeWidgetItem* node);
    // `at`: where the button was released, in the viewport; none when the keyboard asks.
    void tvwFolders_MouseUp(int button, std::optional<QPoint> at = std::nullopt);
    void lstCode_ItemClick();
    void lstCode_MouseUp(int button, std::optional<QPoint> at = std::nullopt);
    void txtCodeFile_MouseUp(int button);
    void tmrEdit_Timer();
    void mnuSave_Click() { Save(); }
    void mnuSaveAs_Click() { SaveAs(); }
    void mnuAddCat_Click() { AddCat(); }
    void mnuRemoveCat_Click() { RemoveCat(); }
    void mnuQuit_Click();
    void mnuAddCategory_Click() { AddCat(); }
    void mnuRemoveCategory_Click() { RemoveCat(); }
    void mnuDeleteFile_Click();
    void mnuUndo_Click() { Undo(); }
    void mnuDelete_Click();
    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void mnuCommentSelected_Click();
    void mnuCommentWholeLine_Click();
    void mnuCommentFromHere_Click();
    void mnuAbout_Click();

    // Tree nodes.
    static QString nodeKey(const QTreeWidgetItem* node);
    QTreeWidgetItem* nodeByKey(const QString& key) const;
    QTreeWidgetItem* rootNode() const;
    // The child of `parent` showing `text`; null when there is none.
    static QTreeWidgetItem* childWithText(QTreeWidgetItem* parent, const QString& text);
    // The selected node; the root when none is selected.
    QTreeWidgetItem* selectedNode() const;
    static bool isRoot(const QTreeWidgetItem* node);
    static bool isCategory(const QTreeWidgetItem* node);
    // Folder of a category or sub-category node, built from node texts; empty for the root.
    QString folderOfNode(const QTreeWidgetItem* node) const;

    LibraryFs& fs() const;
    Dialogs& dialogs() { return *m_dialogs; }
    frmClipboard* codeClipboard() const { return m_clipboard; }
    const LibraryLocations& locations() const { return m_locations; }

    // How the editor's text is written back: as it was read, or new text's style.
    SnippetCodec::Encoding textEncoding() const { return m_textEncoding; }
    SnippetCodec::LineEnd textLineEnd() const { return m_textLineEnd; }

    // Selects `node` and then its entry `snippetName`, as clicking them would; false when the
    // entry is not listed or could not be opened.
    bool selectAndOpen(QTreeWidgetItem* node, const QString& snippetName);
    // The file the editor's text came from or was last saved as; empty when it holds none.
    QString heldFile() const;

    // Finding snippets.
    void ShowFind();
    // Off, windows made afterwards leave indexing to the first Find Snippets window; the
    // benchmark measures start-up both ways.
    static void setIndexingAtStart(bool on);
    SnippetIndex& snippetIndex() const { return *m_index; }
    frmFind* findWindow() const;
    // Opens a found snippet as clicking its node and entry would, caret on the first word.
    void openFound(const SnippetIndex::Hit& hit, const QStringList& words);

    // Off, windows made afterwards keep no history; the benchmark measures start-up both ways.
    static void setHistoryAtStart(bool on);
    // The library's history; null while it is off.
    History* history() const;
    // A library path as the history names it: relative to the library, with '/'.
    QString historyPath(const QString& path) const;

    // History windows
    void ShowHistory(); // of the snippet selected in the list
    void ShowDeleted();
    void ShowLanguageHistory(); // of the categories' languages, in the Snippet History window
    frmHistory* historyWindow() const;
    frmDeleted* deletedWindow() const;
    // Writes `bytes` into the snippet at `path` (relative to the library) and opens it as a click
    // would (the languages' file is written and the open snippet recoloured); false when nothing
    // was written.
    bool restoreVersion(const QString& path, const QByteArray& bytes);
    // Puts a deleted snippet or category back, asking for another name where one has been taken
    // meanwhile, and selects it; false when nothing was written.
    bool restoreDeleted(const DeletedEntry& entry);

    // Sync: the library's history brought together with a git remote's.
    void ShowSyncSettings();
    void SyncNow(); // cancels the sync under way, if there is one
    // Tests keep logins in a keyring of their own; by default the desktop's is used.
    void setKeyring(std::unique_ptr<Keyring> keyring);

protected:
    QMenu* createPopupMenu() override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // An edit the editor would not make, told in a box.
    void showEditRefusal(const QString& why);
    // Widgets and menu items; tests find them by their object names.
    QTreeWidget* tvwFolders = nullptr;
    QTreeWidget* lstCode = nullptr;
    CodeEditor* txtCodeFile = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QStatusBar* StatusBar = nullptr;
    QList<QLabel*> statusPanels; // panels 1 to 5 at indices 0 to 4
    QTimer* tmrEdit = nullptr;

    // Menus.
    QMenu* mnuFile = nullptr;
    QMenu* mnuFolderPopup = nullptr;
    QMenu* mnuCodePopup = nullptr;
    QMenu* mnuEditPopup = nullptr;
    QMenu* mnuComment = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuAddCat = nullptr;
    QAction* mnuRemoveCat = nullptr;
    QAction* mnuQuit = nullptr;
    QAction* mnuAddCategory = nullptr;
    QAction* mnuRemoveCategory = nullptr;
    QAction* mnuDeleteFile = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuDelete = nullptr;
    QAction* mnuCut = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QAction* mnuCommentSelected = nullptr;
    QAction* mnuCommentWholeLine = nullptr;
    QAction* mnuCommentFromHere = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuFind = nullptr;
    QList<QAction*> toolbarButtons; // positions 1 to 8 at indices 0 to 7, separators included

    void createWidgets();
    void createMenus();
    void createToolbar();
    void createStatusBar();
    void Form_Load();
    void Form_Resize();
    void Form_Unload();

    QTreeWidgetItem* makeNode(const QString& wantedKey, const QString& text); // not yet in the tree
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& wantedKey,
                             const QString& text);
    void removeNode(QTreeWidgetItem* node);
    void addListEntry(const QString& text);
    void setNewText(const QString& text);
    void refreshClipboardFlag();
    void updateEditMenuStates(bool includeCommentSelected);
    static void setEnabledIfChanged(QAction* action, bool enabled);

    // Snippets (list, open, save, delete, colouring): private members go here.
    QTreeWidgetItem* selectedEntry() const;
    bool hasEntry(const QString& text) const;
    // Empty when the list shows the selected node's snippets; otherwise why it does not.
    QString listMismatch(const QTreeWidgetItem* node) const;
    // Empty when the entry's file may be acted on; otherwise the refusal that names it.
    QString entryRefusal(const QTreeWidgetItem* node, const QString& fileName,
                         const QString& action) const;
    QString m_listFolder; // the folder the list was last filled from
    quint64 m_openCount = 0;
    // A long snippet is read off the window's thread and goes into the editor a slice at a
    // time, so the window keeps answering. The load lasts from the click to the last slice.
    struct BackgroundRead;
    struct Loading {
        quint64 open = 0;
        QString folder;
        QString name;
        std::optional<SnippetCodec::PieceDecoder> decoder; // none until the file has been read
        std::shared_ptr<BackgroundRead> reading;
        quint64 syntaxAhead = 0; // the ticket of the text's parse ahead; 0: none
    };
    std::optional<Loading> m_loading;
    QTimer* m_loadTimer = nullptr;
    QString m_panelTextBeforeLoading;
    bool stillSelected(const QString& folder, const QString& name) const;
    QTimer* loadTimer();
    void openRead(LibraryFs::Read read, std::optional<SnippetCodec::PieceDecoder> decoder);
    void loadSlice();
    void abandonLoading();
    bool refusedWhileLoading(const QString& action);
    // The snippet the editor holds: the list's selected entry may only ever name this one.
    struct Held {
        QString folder;
        QString name; // null when the editor holds no snippet file
    } m_held;
    void setHeld(const QString& folder, const QString& name);
    void clearListSelection();
    // After any change of the tree's or the list's selection: the list shows the selected node's
    // snippets, and a selected entry is open in the editor, or nothing is selected.
    void syncListToTree();
    void syncEditorToList();

    // Categories: private members go here.

    // Editing (tick, status bar, clipboard and comment commands): private members go here.
    void startEditState();
    void refreshKeyLockPanels();
    void armEditTick();
    bool m_editStateStarted = false;
    int m_positionStart = -1;
    bool m_positionStale = true;
    int m_shownColumn = -1;
    int m_shownLine = -1;

    // Keyboard access, pop-ups from the keyboard and the status panels' sizes: private members.
    void setUpKeyboardAccess();
    bool keyboardMenuEvent(QObject* watched, QEvent* event);
    void showKeyboardMenu(QWidget* widget);
    // Where a pop-up menu opens: the mouse pointer, or the place the keyboard path chose.
    QPoint popupPoint() const;
    void fitStatusPanels();
    void setKeyPanel(int index, bool on);
    std::optional<QPoint> m_keyboardPopupAt;

    QIcon m_folderIcon;
    QIcon m_pageIcon;
    LibraryLocations m_locations;
    std::unique_ptr<Dialogs> m_dialogs;
    mutable std::unique_ptr<LibraryFs> m_fs; // created on first use
    QHash<QString, QTreeWidgetItem*> m_nodesByKey;
    QPointer<frmClipboard> m_clipboard;
    void createFind();
    std::unique_ptr<SnippetIndex> m_index;
    QPointer<frmFind> m_find;
    // A found snippet being opened: once its text is in, the caret goes to its first word.
    struct FoundCaret {
        QString folder;
        QString name;
        int line = 0; // the index's first line holding a word, from 1; 0 for none
        QStringList words;
    };
    std::optional<FoundCaret> m_foundCaret;
    void placeFoundCaret(); // where an open ends
    // History: recording. Commands are told after they changed the disk; text the editor is
    // about to replace is kept as a draft first.
    std::unique_ptr<History> m_history;
    void createHistory();
    void record(History::Action action, const QString& path, const QByteArray& bytes = {});
    void keepDiscardedText();
    // What a command is about to replace or delete (a file, or a category's snippets), told
    // before the command writes, so a version another program wrote is never lost.
    void keepOnDisk(const QString& path, bool category = false);
    void showHistoryReport();

    // Languages (frmmain_languages.cpp): each category's choice, the sub-menus, and colouring
    // by a grammar on a thread of its own.
    void createLanguageMenus();
    void fillLanguageMenu(QMenu* menu, bool forOpenSnippet);
    QString categoryOf(const QString& folder) const; // "" for the root
    LanguageChoices::Choices languageChoices(bool reportNow = true);
    void chooseLanguage(const QString& category, const QString& id);
    void dropLanguageChoice(const QString& folder);
    // Written and recorded; a restore keeps what it replaced.
    bool keepLanguageChoices(const QByteArray& bytes,
                             History::Action action = History::Action::Save);
    bool restoreLanguageChoices(const QByteArray& bytes); // refuses a malformed version
    bool colourBySyntax(); // false: the word list's colouring applies
    const CodeLanguage* syntaxLanguageOf(const QString& folder); // null: the word list's
    // Starts parsing a snippet's text by its category's language while the editor takes it in.
    // The ticket of the parse started, 0 when none is.
    quint64 parseSyntaxAhead(const QString& folder, const QByteArray& bytes);
    void syntaxEdited(int position, int removed, int added);
    void syntaxReady();
    SyntaxColouring::Span syntaxView() const; // the part of the text in view
    QMenu* mnuLanguage = nullptr;
    QMenu* mnuFolderLanguage = nullptr;
    std::unique_ptr<SyntaxColouring> m_syntax;
    quint64 m_syntaxGeneration = 0;
    quint64 m_syntaxAhead = 0; // while the text just loaded is coloured: its parse's ticket
    bool m_syntaxOn = false;
    const CodeLanguage* m_syntaxLanguage = nullptr;
    // Edits not yet handed to the colouring, and the text's length once they are made; when an
    // edit cannot be followed, the whole text goes instead.
    std::vector<SyntaxColouring::Edit> m_syntaxEdits;
    int m_syntaxLength = 0;
    bool m_syntaxWholeText = false;
    bool m_reportedLanguageFile = false; // a malformed file is told of once, until it changes
    bool m_reportedGrammars = false;

    SnippetCodec::Encoding m_textEncoding = SnippetCodec::NewTextEncoding;
    SnippetCodec::LineEnd m_textLineEnd = SnippetCodec::NewTextLineEnd;
    bool m_clipboardHasText = false;
    bool m_treeMouseDown = false;
    bool m_listMouseDown = false;
    bool m_loaded = false;
    bool m_indexWasRunning = false;
    bool m_closing = false;

    // History windows
    void createHistoryMenus();
    void showHistoryOf(const QString& path, const QString& name);
    void reloadTree();
    QAction* mnuHistory = nullptr;
    QAction* mnuDeletedSnippets = nullptr;
    QAction* mnuCodeHistory = nullptr;
    QAction* mnuCodeDeletedSnippets = nullptr;
    QPointer<frmHistory> m_historyWindow;
    QPointer<frmDeleted> m_deletedWindow;

    // Sync
    enum class SyncStart { Command, Automatic, AtQuit };
    void createSyncMenus();
    void startSyncClock();
    void beginSync(const QString& remote, SyncStart start);
    void showSyncProgress();
    void answerSyncQuestion();
    void finishSync();
    void showSyncedFiles(const SyncOutcome& outcome);
    void setSyncPanel(const QString& text, const QString& toolTip);
    bool syncBeforeClosing();
    Keyring& keyring();
    QAction* mnuSyncSettings = nullptr;
    QAction* mnuSyncNow = nullptr;
    QTimer* m_syncClock = nullptr;
    std::unique_ptr<Keyring> m_keyring;
    QString m_syncRemote; // of the sync under way
    SyncStart m_syncStart = SyncStart::Command;
    bool m_syncStarting = false; // waiting for the keyring
    bool m_quitAfterSync = false;
    bool m_syncedForQuit = false;
    bool m_automaticFailureShown = false;
};
