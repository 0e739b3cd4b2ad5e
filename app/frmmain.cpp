// SPDX-License-Identifier: MIT
#include "app/frmmain.h"

#include "app/formlayout.h"
#include "app/keyring.h"
#include "app/pictures.h"
#include "editor/codeeditor.h"
#include "windows/frmabout.h"
#include "windows/frmclipboard.h"
#include "windows/frmfind.h"
#include "windows/frmhistory.h"
#include "windows/programicon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <cmath>

namespace {
constexpr auto px = Twips::toPixels;

// The button codes the handlers take: 1 left, 2 right, 4 middle, 0 any other.
int buttonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

// Panel widths in twips at start; panel 1's is set by the layout.
constexpr float PanelTwips[5] = {1440, 1440, 720, 720, 720};
} // namespace

void SizeLimit::setEnabled(bool on) {
    if (!hWnd)
        return;
    if (on)
        hWnd->setMinimumSize(int(std::ceil(MinWidth)), int(std::ceil(MinHeight)));
    else
        hWnd->setMinimumSize(0, 0);
}

frmMain::frmMain(LibraryLocations locations, std::unique_ptr<Dialogs> dialogs,
                 std::unique_ptr<LibraryFs> fs, QWidget* parent)
    : QMainWindow(parent), m_locations(std::move(locations)), m_dialogs(std::move(dialogs)),
      m_fs(std::move(fs)) {
    if (!m_dialogs)
        m_dialogs = std::make_unique<WidgetDialogs>(this);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(caption());
    setWindowIcon(programIcon());
    ilToolbar = Pictures::toolbarPictures();
    ilTree = Pictures::treePictures();
    const QList<QIcon> treeIcons = Pictures::treeIcons();
    m_pageIcon = treeIcons.value(0);
    m_folderIcon = treeIcons.value(1);

    createWidgets();
    createMenus();
    createFind();
    createHistoryMenus();
    createSyncMenus();
    createLanguageMenus();
    createToolbar();
    createStatusBar();

    setTabOrder(tvwFolders, txtCodeFile);
    setTabOrder(txtCodeFile, lstCode);
    setUpKeyboardAccess();

    resize(StartClientWidth, StartClientHeight + menuBar()->sizeHint().height());
    Form_Load();
    // After the library folder is made: without one there is nothing to record, and the user
    // has been told why already.
    createHistory();
    startSyncClock();
    tvwFolders->setFocus();
}

frmMain::~frmMain() {
    // A snippet read on a thread of its own uses the file-system object: the read stops first.
    m_loading.reset();
    // Find Snippets searches the index on a thread of its own: it goes before the index does.
    delete m_find;
    // So does the History window, which reads snippets through the file-system object.
    delete m_historyWindow;
}

LibraryFs& frmMain::fs() const {
    if (!m_fs)
        m_fs = std::make_unique<LibraryFs>(m_locations);
    return *m_fs;
}

void frmMain::createWidgets() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);
    // The layout reads where the bars put the central widget, so it reruns when that changes.
    client->installEventFilter(this);

    tvwFolders = new QTreeWidget(client);
    tvwFolders->setObjectName(QStringLiteral("tvwFolders"));
    tvwFolders->setAccessibleName(tr("Categories"));
    tvwFolders->setHeaderHidden(true);
    tvwFolders->setColumnCount(1);
    tvwFolders->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvwFolders->setSelectionMode(QAbstractItemView::SingleSelection);
    tvwFolders->setIconSize(QSize(16, 16));
    tvwFolders->viewport()->installEventFilter(this);
    connect(tvwFolders, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { tvwFolders_NodeClick(item); });
    // Selecting with the keyboard (or from code once loaded) acts as a click does; a mouse drag
    // is settled when the button is released.
    connect(tvwFolders, &QTreeWidget::itemSelectionChanged, this, &frmMain::syncListToTree);

    txtCodeFile = new CodeEditor(client);
    txtCodeFile->setObjectName(QStringLiteral("txtCodeFile"));
    txtCodeFile->setAccessibleName(tr("Code"));
    txtCodeFile->setContextMenuPolicy(Qt::NoContextMenu);
    connect(txtCodeFile, &CodeEditor::mouseButtonReleased, this, [this](Qt::MouseButton button) {
        if (const int code = buttonCode(button))
            txtCodeFile_MouseUp(code);
    });
    connect(txtCodeFile, &CodeEditor::editRefused, this, &frmMain::showEditRefusal);

    lstCode = new QTreeWidget(client);
    lstCode->setObjectName(QStringLiteral("lstCode"));
    lstCode->setAccessibleName(tr("Code Name"));
    lstCode->setColumnCount(1);
    lstCode->setHeaderLabels({tr("Code Name")});
    lstCode->setRootIsDecorated(false);
    lstCode->setItemsExpandable(false);
    lstCode->setUniformRowHeights(true);
    // The one column spans the list; long names are elided rather than scrolled.
    lstCode->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstCode->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstCode->setSelectionMode(QAbstractItemView::SingleSelection);
    lstCode->setIconSize(QSize(16, 16));
    lstCode->header()->setStretchLastSection(false);
    lstCode->header()->setSectionsMovable(false);
    lstCode->setColumnWidth(0, px(1440));
    lstCode->viewport()->installEventFilter(this);
    connect(lstCode, &QTreeWidget::itemClicked, this, [this] { lstCode_ItemClick(); });
    connect(lstCode, &QTreeWidget::itemSelectionChanged, this, &frmMain::syncEditorToList);

    // Start places (twips / 15); the layout sets the sizes that change.
    tvwFolders->setGeometry(px(30), px(360), px(2655), px(3195));
    txtCodeFile->setGeometry(px(2730), px(360), px(6705), px(6045));
    lstCode->setGeometry(px(30), px(3570), px(2655), px(2805));

    tmrEdit = new QTimer(this);
    tmrEdit->setObjectName(QStringLiteral("tmrEdit"));
    // The rate at which a 1 ms timer actually ticked on the original desktop; asking for 1 ms
    // here kept an idle program at about 3% of a core. The tick also sleeps while nothing
    // it shows can have changed.
    tmrEdit->setInterval(15);
    connect(tmrEdit, &QTimer::timeout, this, &frmMain::tmrEdit_Timer);
}

void frmMain::createMenus() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       void (frmMain::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    };
    auto menu = [this](const char* name, const QString& caption) {
        auto* m = new QMenu(caption, this);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        return m;
    };

    mnuFile = menu("mnuFile", tr("&File"));
    mnuSave = item(mnuFile, "mnuSave", tr("&Save"), &frmMain::mnuSave_Click);
    mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuSaveAs = item(mnuFile, "mnuSaveAs", tr("Save &As"), &frmMain::mnuSaveAs_Click);
    separator(mnuFile, "sep2");
    mnuAddCat = item(mnuFile, "mnuAddCat", tr("Add Category"), &frmMain::mnuAddCat_Click);
    mnuRemoveCat =
        item(mnuFile, "mnuRemoveCat", tr("Remove Category"), &frmMain::mnuRemoveCat_Click);
    separator(mnuFile, "sep3");
    mnuQuit = item(mnuFile, "mnuQuit", tr("&Quit"), &frmMain::mnuQuit_Click);
    mnuQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    //: The category tree's pop-up menu, never shown in the menu bar
    mnuFolderPopup = menu("mnuFolderPopup", tr("FolderPopup"));
    mnuAddCategory =
        item(mnuFolderPopup, "mnuAddCategory", tr("&Add Category"), &frmMain::mnuAddCategory_Click);
    mnuRemoveCategory = item(mnuFolderPopup, "mnuRemoveCategory", tr("&Remove Category"),
                             &frmMain::mnuRemoveCategory_Click);

    //: The code list's pop-up menu, never shown in the menu bar
    mnuCodePopup = menu("mnuCodePopup", tr("CodePopup"));
    mnuDeleteFile =
        item(mnuCodePopup, "mnuDeleteFile", tr("&Delete Code File"), &frmMain::mnuDeleteFile_Click);

    mnuEditPopup = menu("mnuEditPopup", tr("&Edit"));
    mnuUndo = item(mnuEditPopup, "mnuUndo", tr("&Undo"), &frmMain::mnuUndo_Click);
    separator(mnuEditPopup, "sep1");
    mnuDelete = item(mnuEditPopup, "mnuDelete", tr("&Delete"), &frmMain::mnuDelete_Click);
    mnuCut = item(mnuEditPopup, "mnuCut", tr("Cu&t"), &frmMain::mnuCut_Click);
    mnuCopy = item(mnuEditPopup, "mnuCopy", tr("&Copy"), &frmMain::mnuCopy_Click);
    mnuPaste = item(mnuEditPopup, "mnuPaste", tr("&Paste"), &frmMain::mnuPaste_Click);
    separator(mnuEditPopup, "sep5");
    //: A sub-menu of Edit: put a comment mark on ...
    mnuComment = menu("mnuComment", tr("Comment"));
    mnuEditPopup->addMenu(mnuComment);
    mnuCommentSelected = item(mnuComment, "mnuCommentSelected", tr("Selected Text"),
                              &frmMain::mnuCommentSelected_Click);
    mnuCommentWholeLine = item(mnuComment, "mnuCommentWholeLine", tr("Whole Line"),
                               &frmMain::mnuCommentWholeLine_Click);
    mnuCommentFromHere = item(mnuComment, "mnuCommentFromHere", tr("To End of Line"),
                              &frmMain::mnuCommentFromHere_Click);

    mnuHelp = menu("mnuHelp", tr("&Help"));
    mnuContents = item(mnuHelp, "mnuContents", tr("&Contents"), nullptr);
    mnuContents->setEnabled(false);
    separator(mnuHelp, "sep4");
    mnuAbout = item(mnuHelp, "mnuAbout", tr("&About"), &frmMain::mnuAbout_Click);

    // The two pop-up menus never show in the menu bar.
    menuBar()->addMenu(mnuFile);
    menuBar()->addMenu(mnuEditPopup);
    menuBar()->addMenu(mnuHelp);
}

void frmMain::createToolbar() {
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setAccessibleName(tr("Toolbar"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setContextMenuPolicy(Qt::PreventContextMenu);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar1->setFixedHeight(px(360));
    Toolbar1->setContentsMargins(0, 0, 0, 0);
    Toolbar1->layout()->setContentsMargins(0, 0, 0, 0);
    Toolbar1->layout()->setSpacing(0);
    addToolBar(Qt::TopToolBarArea, Toolbar1);

    struct Button {
        int picture; // 0 for a separator
        const char* accessibleName;
    };
    const QList<QIcon> pictures = Pictures::toolbarIcons();
    const Button buttons[8] = {
        {5, QT_TR_NOOP("Save")},         {6, QT_TR_NOOP("Save As")},         {0, nullptr},
        {1, QT_TR_NOOP("Add Category")}, {4, QT_TR_NOOP("Remove Category")}, {0, nullptr},
        {3, QT_TR_NOOP("Colour Code")},  {2, QT_TR_NOOP("Code Clipboard")}};
    for (int i = 0; i < 8; ++i) {
        const int position = i + 1;
        QAction* action = nullptr;
        if (buttons[i].picture == 0) {
            action = Toolbar1->addSeparator();
        } else {
            action = Toolbar1->addAction(pictures.value(buttons[i].picture - 1), QString());
            connect(action, &QAction::triggered, this,
                    [this, position] { Toolbar1_ButtonClick(position); });
            if (QWidget* button = Toolbar1->widgetForAction(action)) {
                button->setFixedSize(23, 22);
                button->setAccessibleName(tr(buttons[i].accessibleName));
                button->setObjectName(QStringLiteral("Toolbar1Button%1").arg(position));
            }
        }
        action->setObjectName(QStringLiteral("Toolbar1Action%1").arg(position));
        toolbarButtons.append(action);
    }
}

void frmMain::createStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setAccessibleName(tr("Status"));
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(px(285));
    setStatusBar(StatusBar);
    //: Status bar panels: the column label, then Caps Lock, Num Lock and Insert, kept short
    const QString texts[5] = {QString(), tr("COL: "), tr("CAPS"), tr("NUM"), tr("INS")};
    // The accessible name is the text shown, so a screen reader reads the value; the
    // description says what the panel is.
    const char* what[5] = {QT_TR_NOOP("Status"), QT_TR_NOOP("Position"), QT_TR_NOOP("Caps Lock"),
                           QT_TR_NOOP("Num Lock"), QT_TR_NOOP("Insert")};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(texts[i], StatusBar);
        panel->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i + 1));
        panel->setAccessibleDescription(tr(what[i]));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(px(PanelTwips[i]));
        panel->setTextFormat(Qt::PlainText);
        StatusBar->addWidget(panel);
        statusPanels.append(panel);
    }
    setKeyPanel(4, !txtCodeFile->overwriteMode());
    connect(txtCodeFile, &CodeEditor::overwriteModeChanged, this,
            [this](bool overwrite) { setKeyPanel(4, !overwrite); });
    fitStatusPanels();
}

void frmMain::fitStatusPanels() {
    // Panels keep their start widths wherever their text fits; a larger desktop font widens them
    // only as far as their text needs, and panel 1 gives up the difference.
    if (statusPanels.size() != 5)
        return;
    bool widened = false;
    for (int i = 1; i < 5; ++i) {
        QLabel* panel = statusPanels[i];
        const int width = std::max(px(PanelTwips[i]), panel->sizeHint().width());
        if (panel->minimumWidth() != width) {
            panel->setFixedWidth(width);
            widened = true;
        }
    }
    // The bar grows when the text's line no longer fits; its caps and digits leave the line's top
    // and bottom pixel blank, so those may be clipped.
    QLabel* position = statusPanels[1];
    StatusBar->layout()->invalidate();
    const int around = StatusBar->layout()->minimumSize().height() -
                       (position->minimumSizeHint().height() - 2 * position->frameWidth());
    const int height = std::max(px(285), around + position->fontMetrics().height() - 2);
    if (StatusBar->height() != height || StatusBar->minimumHeight() != height)
        StatusBar->setFixedHeight(height);
    if (widened)
        Form_Resize();
}

void frmMain::setKeyPanel(int index, bool on) {
    QLabel* panel = statusPanels[index];
    if (panel->isEnabled() != on)
        panel->setEnabled(on);
    // Dimming alone says nothing to a screen reader.
    const QString what[5] = {{}, {}, tr("Caps Lock"), tr("Num Lock"), tr("Insert")};
    //: %1 is a key's name: Caps Lock, Num Lock or Insert
    const QString description = (on ? tr("%1 on") : tr("%1 off")).arg(what[index]);
    if (panel->accessibleDescription() != description)
        panel->setAccessibleDescription(description);
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitStatusPanels();
}

void frmMain::Form_Load() {
    SL.hWnd = this;
    SL.MinWidth = width();
    SL.MinHeight = height();
    SL.setEnabled(true);
    LoadCodeTree();
    if (QTreeWidgetItem* first = rootNode())
        tvwFolders->setCurrentItem(first);
    txtCodeFile->setWordWrapOff();
    lstCode->setColumnWidth(0, lstCode->width());
    m_loaded = true;
    tmrEdit->start();
}

QMenu* frmMain::createPopupMenu() {
    // Qt's menu here would let a right click hide the toolbar, the only way to two commands.
    return nullptr;
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize() {
    if (!tvwFolders || !centralWidget())
        return;
    // Client coordinates start below the menu bar, where the docked toolbar starts; the widgets
    // live in the central widget.
    const int clientTop = Toolbar1->y();
    const int offsetY = centralWidget()->y() - clientTop;
    const int offsetX = centralWidget()->x();

    FormLayout::Input in;
    in.clientWidth = float(width()) * FormLayout::TwipsPerPixel;
    in.clientHeight = float(height() - clientTop) * FormLayout::TwipsPerPixel;
    in.toolbarHeight = float(Toolbar1->height()) * FormLayout::TwipsPerPixel;
    in.statusBarHeight = float(StatusBar->height()) * FormLayout::TwipsPerPixel;
    in.outerWidth = float(frameGeometry().width()) * FormLayout::TwipsPerPixel;
    in.currentTreeHeight = float(tvwFolders->height()) * FormLayout::TwipsPerPixel;
    // Panels 2 to 5 are wider than at start only where a large font needs it.
    for (int i = 0; i < 4; ++i)
        in.panelWidths[i] = float(statusPanels[i + 1]->minimumWidth()) * FormLayout::TwipsPerPixel;
    const FormLayout::Result r = FormLayout::compute(in);

    // Edges are rounded, not sizes, so neighbours keep their gaps exactly.
    auto span = [](float start, float length) { return px(start + length) - px(start); };

    QRect editor = txtCodeFile->geometry();
    editor.moveTopLeft({px(FormLayout::EditorLeft) - offsetX, px(FormLayout::EditorTop) - offsetY});
    if (r.editorWidth)
        editor.setWidth(span(FormLayout::EditorLeft, *r.editorWidth));
    if (r.editorHeight)
        editor.setHeight(span(FormLayout::EditorTop, *r.editorHeight));
    txtCodeFile->setGeometry(editor);

    QRect tree = tvwFolders->geometry();
    tree.moveTopLeft({px(FormLayout::TreeLeft) - offsetX, px(FormLayout::TreeTop) - offsetY});
    if (r.treeHeight)
        tree.setHeight(span(FormLayout::TreeTop, *r.treeHeight));
    tvwFolders->setGeometry(tree);

    QRect list = lstCode->geometry();
    const float listTop = r.listTop.value_or(FormLayout::TreeTop);
    list.moveTopLeft({px(FormLayout::ListLeft) - offsetX, px(listTop) - offsetY});
    if (r.listHeight)
        list.setHeight(span(listTop, *r.listHeight));
    lstCode->setGeometry(list);

    if (r.panel1Width)
        statusPanels[0]->setFixedWidth(px(*r.panel1Width));
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (syncBeforeClosing()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmMain::mnuQuit_Click() {
    close();
}

void frmMain::Form_Unload() {
    if (m_closing)
        return;
    // The window goes at once; keeping a long edit safe below may take a moment more.
    hide();
    // Quitting throws the editor's text away: an edit is kept in the history first, and so is
    // the Code Clipboard's scratch text.
    keepDiscardedText();
    if (History* kept = history(); kept && m_clipboard) {
        if (const QString scratch = m_clipboard->editor()->text(); !scratch.isEmpty())
            kept->recordDraft(QString::fromLatin1(History::ClipboardText), scratch.toUtf8());
    }
    m_closing = true;
    tmrEdit->stop();
    // A read under way stops at its next block, so quitting never waits for a long file.
    abandonLoading();
    // Every other open window is asked to close; the Code Clipboard only hides.
    if (m_clipboard)
        m_clipboard->close();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->isVisible())
            window->close();
    }
    QCoreApplication::quit();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (keyboardMenuEvent(watched, event))
        return true;
    if (watched == centralWidget() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        Form_Resize();
        return false;
    }
    const bool tree = tvwFolders && watched == tvwFolders->viewport();
    const bool list = lstCode && watched == lstCode->viewport();
    if ((tree || list) && (event->type() == QEvent::MouseButtonPress ||
                           event->type() == QEvent::MouseButtonDblClick ||
                           event->type() == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        bool& down = tree ? m_treeMouseDown : m_listMouseDown;
        if (event->type() == QEvent::MouseButtonRelease) {
            down = false;
            const int code = buttonCode(mouse->button());
            const QPoint at = mouse->position().toPoint();
            // Let the view finish the click first; a press dragged onto another row selected
            // that row without a click, so the selection is settled here as well.
            QTimer::singleShot(0, this, [this, tree, code, at] {
                if (tree) {
                    syncListToTree();
                    if (code)
                        tvwFolders_MouseUp(code, at);
                } else {
                    syncEditorToList();
                    if (code)
                        lstCode_MouseUp(code, at);
                }
            });
            return false;
        }
        // Only the left button selects on the press; the right one chooses what its pop-up acts
        // on when it is released.
        if (mouse->button() != Qt::LeftButton)
            return true;
        down = true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Toolbar1_ButtonClick(int index) {
    switch (index) {
    case 1:
        Save();
        break;
    case 2:
        SaveAs();
        break;
    case 4:
        AddCat();
        break;
    case 5:
        RemoveCat();
        break;
    case 7:
        ColorCode();
        break;
    case 8:
        ShowClipboard();
        break;
    default:
        break;
    }
}

void frmMain::ShowClipboard() {
    if (!m_clipboard) {
        m_clipboard = new frmClipboard();
        connect(m_clipboard->editor(), &CodeEditor::editRefused, this, &frmMain::showEditRefusal);
    }
    m_clipboard->attachTo(this);
    m_clipboard->setVisible(!m_clipboard->isVisible());
}

void frmMain::showEditRefusal(const QString& why) {
    dialogs().message({why, QString(), Dialogs::Icon::Information});
}

void frmMain::mnuAbout_Click() {
    frmAbout::showModal(this);
}
