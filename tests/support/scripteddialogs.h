// SPDX-License-Identifier: MIT
#pragma once

#include "app/dialogs.h"

#include <QList>
#include <QStringList>
#include <QTest>

// Answers message and input boxes from a script and records every box shown. A question or an
// input box that the test did not script fails the test: a box nobody expected is a fault. A box
// with only OK needs no answer. An empty scripted input is a cancelled input box.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        bool isInput = false;
        Message message;     // for message boxes
        QString prompt;      // for input boxes
        QString inputTitle;  // for input boxes
        QString defaultText; // for input boxes
    };

    QList<Shown> shown;
    QList<Button> buttons;
    QStringList inputs;

    QList<Shown> messages() const {
        QList<Shown> out;
        for (const Shown& s : shown)
            if (!s.isInput)
                out.append(s);
        return out;
    }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().message.text; }
    void clear() { shown.clear(); }

protected:
    Button showMessage(const Message& message) override {
        Shown s;
        s.message = message;
        shown.append(s);
        if (!buttons.isEmpty())
            return buttons.takeFirst();
        if (message.buttons != Buttons::Ok)
            QTest::qFail(qPrintable(QStringLiteral("unscripted question: ") + message.text),
                         __FILE__, __LINE__);
        return message.defaultButton;
    }
    QString showInput(const QString& prompt, const QString& title,
                      const QString& defaultText) override {
        Shown s;
        s.isInput = true;
        s.prompt = prompt;
        s.inputTitle = title;
        s.defaultText = defaultText;
        shown.append(s);
        if (!inputs.isEmpty())
            return inputs.takeFirst();
        QTest::qFail(qPrintable(QStringLiteral("unscripted input box: ") + prompt), __FILE__,
                     __LINE__);
        return QString();
    }
};
