// SPDX-License-Identifier: MIT
#include "app/dialogs.h"

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

Dialogs::Button WidgetDialogs::showMessage(const Message& message) {
    QMessageBox box(m_parent);
    box.setWindowTitle(message.title);
    box.setText(message.text);
    switch (message.icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (message.buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(message.defaultButton == Button::No ? QMessageBox::No
                                                                 : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Button::Yes : Button::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
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

QString failureText(const QString& what, const QString& path, const QString& action,
                    const QString& reason) {
    return QStringLiteral("The %1 \"%2\" cannot be %3: %4.").arg(what, path, action, reason);
}
