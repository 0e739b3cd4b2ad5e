// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

// The About box: modal over its owner, destroyed when closed.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* owner);
    ~frmAbout() override;

    // Creates the box, shows it modally and returns when it has been closed and destroyed.
    static void showModal(QWidget* owner);

    // "Version " + major + "." + minor + " build " + revision.
    static QString versionText();

private:
    void Form_Load();
    void cmdOk_Click();
};
