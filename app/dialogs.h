// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <memory>

class QMessageBox;
class QWidget;

// Every message box and input box of the program goes through here, so tests can answer them.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, YesNo };
    enum class Button { Ok, Yes, No };

    struct Message {
        QString text;
        QString title; // empty: the program's title
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Button defaultButton = Button::Ok;
    };

    static QString programTitle() { return QStringLiteral("Quillary"); }

    virtual ~Dialogs() = default;

    Button message(Message message);
    // The entered text; empty when the user cancels.
    QString input(const QString& prompt, const QString& title, const QString& defaultText);
    // As input, with what is typed hidden: for a password or token.
    QString secret(const QString& prompt, const QString& title);

    // A failure the user should know of: error icon, OK, the program's title.
    void error(const QString& text);

protected:
    virtual Button showMessage(const Message& message) = 0;
    virtual QString showInput(const QString& prompt, const QString& title,
                              const QString& defaultText) = 0;
    virtual QString showSecret(const QString& prompt, const QString& title) {
        return showInput(prompt, title, {});
    }
};

// The one wording of a failure that names a file or folder: "The code file "/a/b.code" cannot be
// saved: no space left on device." `what` and `action` are the English words, translated here.
QString failureText(const QString& what, const QString& path, const QString& action,
                    const QString& reason);
// One of those words ("code file", "saved") in the user's language.
QString failurePart(const QString& english);

// The real boxes, modal over `parent`.
class WidgetDialogs : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent) : m_parent(parent) {}

    // The box a message shows, built but not yet shown: its buttons speak Qt's own words.
    static std::unique_ptr<QMessageBox> messageBox(const Message& message, QWidget* parent);

protected:
    Button showMessage(const Message& message) override;
    QString showInput(const QString& prompt, const QString& title,
                      const QString& defaultText) override;
    QString showSecret(const QString& prompt, const QString& title) override;

private:
    QWidget* m_parent;
};
