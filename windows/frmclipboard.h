// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>

class CodeEditor;

// The Code Clipboard: a scratch editor that lives inside the main window as a child widget with
// its own narrow caption and close box. It is never closed, only hidden, so its text survives.
class frmClipboard : public QFrame {
    Q_OBJECT
public:
    explicit frmClipboard(QWidget* parent = nullptr); // created hidden; runs Form_Load
    ~frmClipboard() override;

    CodeEditor* editor() const;

    // Makes the window a child of `mainWindow` (drawn above its widgets, clipped by its client
    // area) and raises it above them. The first call also gives it its first place; after that the
    // parent and the place stay as they are.
    void attachTo(QWidget* mainWindow);

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload: refuse and hide
    void showEvent(QShowEvent* event) override;   // shown above the main window's widgets

private:
    void Form_Load();
    class Private;
    Private* d;
};
