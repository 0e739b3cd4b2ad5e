// SPDX-License-Identifier: MIT
#include "windows/frmabout.h"

#include "windows/twips.h"

#include "generated/version.h"
#include "windows/programicon.h"

#include <QLabel>
#include <QPushButton>

namespace {

using Twips::toPixels;

QRect place(int left, int top, int width, int height) {
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

QLabel* addInfoLabel(QWidget* box, int index, const QString& text, const QRect& where) {
    auto* label = new QLabel(text, box);
    label->setObjectName(QStringLiteral("lblInfo%1").arg(index));
    label->setProperty("index", index);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(where);
    return label;
}

} // namespace

frmAbout::frmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About Quillary™"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setSizeGripEnabled(false);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSizeF(9.75);
    arial.setWeight(QFont::Normal);
    setFont(arial);
    setFixedSize(toPixels(5550), toPixels(3465));

    auto* cmdOk = new QPushButton(tr("OK I get the picture..."), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setGeometry(place(1628, 2820, 2295, 525));
    cmdOk->setDefault(true);
    connect(cmdOk, &QPushButton::clicked, this, &frmAbout::cmdOk_Click);

    addInfoLabel(this, 0, QStringLiteral("Quillary™"), place(990, 120, 1005, 240))->adjustSize();
    addInfoLabel(this, 1, tr("Version "), place(990, 390, 720, 240))->adjustSize();
    addInfoLabel(this, 2, tr("Copyright © 2026 the Quillary authors"), place(990, 660, 3150, 240))
        ->adjustSize();
    QLabel* thanks =
        addInfoLabel(this, 3,
                     tr("Thanks to everyone who tried the early builds, sent in snippets and "
                        "keyword lists, and told us plainly what got in their way. Quillary is "
                        "built with the Qt toolkit."),
                     place(180, 1020, 5190, 1500));
    thanks->setWordWrap(true);
    thanks->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(tr("Quillary icon"));
    Image1->setPixmap(programPicture());
    Image1->setGeometry(place(300, 180, 480, 480));

    cmdOk->setFocus();
    Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::showModal(QWidget* owner) {
    auto* box = new frmAbout(owner);
    box->exec();
}

QString frmAbout::versionText() {
    return tr("Version %1.%2 build %3")
        .arg(Version::Major)
        .arg(Version::Minor)
        .arg(Version::Revision);
}

void frmAbout::Form_Load() {
    auto* version = findChild<QLabel*>(QStringLiteral("lblInfo1"));
    version->setText(versionText());
    version->adjustSize();
}

void frmAbout::cmdOk_Click() {
    close();
}
