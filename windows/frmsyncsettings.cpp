// SPDX-License-Identifier: MIT
#include "windows/frmsyncsettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

frmSyncSettings::frmSyncSettings(const SyncSettings& settings, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmSyncSettings"));
    setWindowTitle(tr("Sync Settings"));
    setWindowModality(Qt::ApplicationModal);

    txtRemote = new QLineEdit(settings.remote, this);
    txtRemote->setObjectName(QStringLiteral("txtRemote"));
    txtRemote->setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    txtRemote->setPlaceholderText(tr("ssh://host/path, user@host:path, https://... or a folder"));
    txtRemote->setToolTip(tr("The git repository every machine syncs its library with. Leave it "
                             "empty to sync nowhere."));
    auto* lblRemote = new QLabel(tr("Remote &URL:"), this);
    lblRemote->setBuddy(txtRemote);

    chkAtStart = new QCheckBox(tr("Sync when Quillary &starts"), this);
    chkAtStart->setObjectName(QStringLiteral("chkAtStart"));
    chkAtStart->setChecked(settings.atStart);
    chkAtQuit = new QCheckBox(tr("Sync when Quillary &quits"), this);
    chkAtQuit->setObjectName(QStringLiteral("chkAtQuit"));
    chkAtQuit->setChecked(settings.atQuit);

    chkEvery = new QCheckBox(tr("Sync &every"), this);
    chkEvery->setObjectName(QStringLiteral("chkEvery"));
    chkEvery->setChecked(settings.everyMinutes > 0);
    spnMinutes = new QSpinBox(this);
    spnMinutes->setObjectName(QStringLiteral("spnMinutes"));
    spnMinutes->setRange(1, SyncSettings::MostMinutes);
    spnMinutes->setValue(settings.everyMinutes > 0 ? settings.everyMinutes : 15);
    //: After the number of minutes between two syncs.
    spnMinutes->setSuffix(tr(" minutes"));
    spnMinutes->setAccessibleName(tr("Minutes between syncs"));
    spnMinutes->setEnabled(chkEvery->isChecked());
    connect(chkEvery, &QCheckBox::toggled, spnMinutes, &QWidget::setEnabled);
    auto* every = new QHBoxLayout;
    every->addWidget(chkEvery);
    every->addWidget(spnMinutes);
    every->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(lblRemote, txtRemote);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(chkAtStart);
    layout->addWidget(chkAtQuit);
    layout->addLayout(every);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

SyncSettings frmSyncSettings::settings() const {
    SyncSettings chosen;
    chosen.remote = txtRemote->text().trimmed();
    chosen.atStart = chkAtStart->isChecked();
    chosen.atQuit = chkAtQuit->isChecked();
    chosen.everyMinutes = chkEvery->isChecked() ? spnMinutes->value() : 0;
    return chosen;
}
