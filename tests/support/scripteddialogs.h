#pragma once

#include "dialogs.h"

#include <QList>
#include <QStringList>

// Answers message and input boxes from a script and records every box shown. A box with no
// scripted answer gets its default button, and an input box is cancelled.
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
        return QString();
    }
};
