// SPDX-License-Identifier: MIT
#include "app/dialogs.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

Dialogs::Button Dialogs::message(Message message) {
    if (message.title.isEmpty())
        message.title = programTitle();
    return showMessage(message);
}

QString Dialogs::input(const QString& prompt, const QString& title, const QString& defaultText) {
    return showInput(prompt, title.isEmpty() ? programTitle() : title, defaultText);
}

QString Dialogs::secret(const QString& prompt, const QString& title) {
    return showSecret(prompt, title.isEmpty() ? programTitle() : title);
}

void Dialogs::error(const QString& text) {
    message({text, programTitle(), Icon::Error, Buttons::Ok, Button::Ok});
}

std::unique_ptr<QMessageBox> WidgetDialogs::messageBox(const Message& message, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(message.title);
    // A message may quote a remote's or a file's words: never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(message.text);
    switch (message.icon) {
    case Icon::None:
        box->setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box->setIcon(QMessageBox::Warning);
        break;
    case Icon::Error:
        box->setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box->setIcon(QMessageBox::Question);
        break;
    }
    if (message.buttons == Buttons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(message.defaultButton == Button::No ? QMessageBox::No
                                                                  : QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

Dialogs::Button WidgetDialogs::showMessage(const Message& message) {
    const std::unique_ptr<QMessageBox> box = messageBox(message, m_parent);
    const int answer = box->exec();
    if (message.buttons == Buttons::YesNo)
        return answer == QMessageBox::Yes ? Button::Yes : Button::No;
    return Button::Ok;
}

QString WidgetDialogs::showInput(const QString& prompt, const QString& title,
                                 const QString& defaultText) {
    QInputDialog box(m_parent);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setTextValue(defaultText);
    box.setInputMode(QInputDialog::TextInput);
    if (box.exec() != QDialog::Accepted)
        return QString();
    return box.textValue();
}

QString WidgetDialogs::showSecret(const QString& prompt, const QString& title) {
    QInputDialog box(m_parent);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextEchoMode(QLineEdit::Password);
    if (box.exec() != QDialog::Accepted)
        return QString();
    return box.textValue();
}

namespace {
// The words a failure's sentence is made of, so the catalogue holds them.
const char* const FailureParts[] = {
    //: What failed, put into "The %1 "path" cannot be ...": a translation may carry its article
    QT_TRANSLATE_NOOP("Failure", "code file"),
    //: What failed, put into "The %1 "path" cannot be ..."
    QT_TRANSLATE_NOOP("Failure", "category folder"),
    //: What failed, put into "The %1 "path" cannot be ..."
    QT_TRANSLATE_NOOP("Failure", "library folder"),
    //: What failed, put into "The %1 "path" cannot be ..."
    QT_TRANSLATE_NOOP("Failure", "history folder"),
    //: What could not be done, put into "... cannot be %3: why"
    QT_TRANSLATE_NOOP("Failure", "opened"),
    //: What could not be done, put into "... cannot be %3: why"
    QT_TRANSLATE_NOOP("Failure", "saved"),
    //: What could not be done, put into "... cannot be %3: why"
    QT_TRANSLATE_NOOP("Failure", "deleted"),
    //: What could not be done, put into "... cannot be %3: why"
    QT_TRANSLATE_NOOP("Failure", "created"),
    //: What could not be done, put into "... cannot be %3: why"
    QT_TRANSLATE_NOOP("Failure", "removed"),
    //: What could not be done, put into "... cannot be %3: why"
    QT_TRANSLATE_NOOP("Failure", "read"),
    //: What could not be done, put into "... cannot be %3: why"
    QT_TRANSLATE_NOOP("Failure", "restored"),
};
} // namespace

QString failurePart(const QString& english) {
    for (const char* part : FailureParts) {
        if (english == QLatin1String(part))
            return QCoreApplication::translate("Failure", part);
    }
    return english;
}

QString failureText(const QString& what, const QString& path, const QString& action,
                    const QString& reason) {
    //: %1 what failed ("code file"), %2 its path, %3 what could not be done ("saved"), %4 why
    return QCoreApplication::translate("Failure", "The %1 \"%2\" cannot be %3: %4.")
        .arg(failurePart(what), path, failurePart(action), reason);
}
