// SPDX-License-Identifier: MIT
// Reaching every command from the keyboard: pop-up menus from the Menu key and Shift+F10, keys
// for the toolbar-only commands, the toolbar in the focus chain, Delete in the snippet list.
#include "app/frmmain.h"

#include "editor/codeeditor.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QToolBar>
#include <QTreeWidget>

namespace {

// Keys of the two commands the toolbar alone offers: free in the menus, in the editor's own
// bindings and on the common desktops (F5 refreshes, F9 shows a side pane in many programs).
const QKeySequence ColourCodeKey(Qt::Key_F5);
const QKeySequence CodeClipboardKey(Qt::Key_F9);

// Just below `rect` (viewport coordinates), kept inside the viewport, on the screen.
QPoint belowInViewport(QWidget* viewport, const QRect& rect) {
    const QRect area = viewport->rect();
    QPoint at = rect.isValid() ? QPoint(rect.left(), rect.bottom() + 1) : area.topLeft();
    at.setX(std::clamp(at.x(), area.left(), area.right()));
    at.setY(std::clamp(at.y(), area.top(), area.bottom()));
    return viewport->mapToGlobal(at);
}

bool isMenuKey(const QKeyEvent* key) {
    return (key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
           (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
}

} // namespace

void frmMain::setUpKeyboardAccess() {
    for (QWidget* widget : {static_cast<QWidget*>(tvwFolders), static_cast<QWidget*>(lstCode),
                            static_cast<QWidget*>(txtCodeFile)})
        widget->installEventFilter(this);

    // The buttons show no caption and no tooltip; a screen reader still hears the keys.
    for (auto [position, key] : {std::pair{6, ColourCodeKey}, std::pair{7, CodeClipboardKey}}) {
        toolbarButtons[position]->setShortcut(key);
        Toolbar1->widgetForAction(toolbarButtons[position])
            ->setAccessibleDescription(
                tr("Shortcut %1").arg(key.toString(QKeySequence::NativeText)));
    }

    // The buttons take the focus from Tab alone, so a click leaves it in the editor.
    QWidget* previous = lstCode;
    for (QAction* action : std::as_const(toolbarButtons)) {
        QWidget* button = action->isSeparator() ? nullptr : Toolbar1->widgetForAction(action);
        if (!button)
            continue;
        button->setFocusPolicy(Qt::TabFocus);
        setTabOrder(previous, button);
        previous = button;
    }
}

bool frmMain::keyboardMenuEvent(QObject* watched, QEvent* event) {
    if (watched != tvwFolders && watched != lstCode && watched != txtCodeFile)
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Some windowing systems turn the Menu key into a pop-up request themselves; the others,
        // and Shift+F10 everywhere, are turned into one here.
        if (isMenuKey(key)) {
            QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos(),
                                      key->modifiers());
            QCoreApplication::sendEvent(widget, &request);
            return true;
        }
        if (watched == lstCode && key->key() == Qt::Key_Delete &&
            key->modifiers() == Qt::NoModifier) {
            if (lstCode->topLevelItemCount() > 0)
                mnuDeleteFile_Click();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() != QContextMenuEvent::Mouse) {
        showKeyboardMenu(widget);
        return true;
    }
    return false;
}

void frmMain::showKeyboardMenu(QWidget* widget) {
    // The right-button handlers run as they are, so the menus show the very same states.
    if (widget == tvwFolders) {
        QTreeWidgetItem* node = selectedNode();
        if (node)
            tvwFolders->scrollToItem(node);
        m_keyboardPopupAt = belowInViewport(tvwFolders->viewport(),
                                            node ? tvwFolders->visualItemRect(node) : QRect());
        tvwFolders_MouseUp(2);
    } else if (widget == lstCode) {
        QTreeWidgetItem* entry = selectedEntry();
        if (entry)
            lstCode->scrollToItem(entry);
        m_keyboardPopupAt =
            belowInViewport(lstCode->viewport(), entry ? lstCode->visualItemRect(entry) : QRect());
        lstCode_MouseUp(2);
    } else if (widget == txtCodeFile) {
        m_keyboardPopupAt = belowInViewport(txtCodeFile->viewport(), txtCodeFile->cursorRect());
        txtCodeFile_MouseUp(2);
    }
    m_keyboardPopupAt.reset();
}

QPoint frmMain::popupPoint() const {
    return m_keyboardPopupAt.value_or(QCursor::pos());
}
