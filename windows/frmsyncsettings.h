// SPDX-License-Identifier: MIT
#pragma once

#include "history/syncsettings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// Where this machine's library syncs to, and when; modal over the main window.
class frmSyncSettings : public QDialog {
    Q_OBJECT
public:
    frmSyncSettings(const SyncSettings& settings, QWidget* owner);
    SyncSettings settings() const;

private:
    QLineEdit* txtRemote = nullptr;
    QCheckBox* chkAtStart = nullptr;
    QCheckBox* chkAtQuit = nullptr;
    QCheckBox* chkEvery = nullptr;
    QSpinBox* spnMinutes = nullptr;
};
