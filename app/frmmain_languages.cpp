// SPDX-License-Identifier: MIT
// The language each category's snippets are coloured in: the sub-menus that choose it, the file
// that keeps it, and colouring by the language's grammar on a thread of its own.
#include "app/frmmain.h"

#include "editor/codeeditor.h"
#include "editor/languages.h"

#include <QActionGroup>
#include <QMenu>
#include <QTextDocument>
#include <QTimer>

namespace {
// Texts this short are coloured at once on the window's thread (well under a millisecond to a
// few), so a snippet never shows plain before its colours; longer ones go to the thread.
constexpr int ColourAtOnce = 16 * 1024;
} // namespace

void frmMain::createLanguageMenus() {
    auto menu = [this](const char* name, QMenu* parentMenu, QAction* before, bool forOpenSnippet) {
        auto* m = new QMenu(tr("&Language"), this);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        parentMenu->insertMenu(before, m);
        connect(m, &QMenu::aboutToShow, this,
                [this, m, forOpenSnippet] { fillLanguageMenu(m, forOpenSnippet); });
        return m;
    };
    mnuFolderPopup->addSeparator()->setObjectName(QStringLiteral("sepFolderLanguage"));
    mnuFolderLanguage = menu("mnuFolderLanguage", mnuFolderPopup, nullptr, false);
    // In the Edit menu, beside Comment: both work on the open snippet's text.
    const QList<QAction*> editActions = mnuEditPopup->actions();
    const qsizetype comment = editActions.indexOf(mnuComment->menuAction());
    mnuLanguage = menu("mnuLanguage", mnuEditPopup, editActions.value(comment + 1), true);

    m_syntax = std::make_unique<SyntaxColouring>();
    connect(m_syntax.get(), &SyntaxColouring::ready, this, &frmMain::syntaxReady,
            Qt::QueuedConnection);
    // After the editor's own handler, which moves the colours along with the edit.
    connect(txtCodeFile, &CodeEditor::contentsChange, this,
            [this](int, int, int) { syntaxEdited(); });
}

QString frmMain::categoryOf(const QString& folder) const {
    const QString library = m_locations.library;
    QString category = folder.startsWith(library) ? folder.mid(library.size()) : QString();
    while (category.endsWith(u'/'))
        category.chop(1);
    return category;
}

LanguageChoices::Choices frmMain::languageChoices() {
    const LanguageChoices::Loaded loaded = LanguageChoices::load(fs());
    if (loaded.state != LanguageChoices::Loaded::State::Malformed) {
        m_reportedLanguageFile = false;
        return loaded.choices;
    }
    if (!m_reportedLanguageFile) {
        m_reportedLanguageFile = true;
        dialogs().error(tr("The language file \"%1\" cannot be read: line %2 is not a language "
                           "and a category. Every category is coloured by the word list "
                           "until a language is chosen again, which replaces the file.")
                            .arg(LanguageChoices::filePath(fs()))
                            .arg(loaded.badLine));
    }
    return {};
}

void frmMain::fillLanguageMenu(QMenu* menu, bool forOpenSnippet) {
    menu->clear();
    const QString folder =
        forOpenSnippet && !m_held.name.isNull() ? m_held.folder : folderOfNode(selectedNode());
    const QString category = categoryOf(folder);
    const QString current = LanguageChoices::choiceFor(languageChoices(), category);
    auto* group = new QActionGroup(menu);
    auto add = [&](const QString& text, const QString& id) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QStringLiteral("mnuLanguage_") +
                              (id.isEmpty() ? QStringLiteral("wordlist") : id));
        action->setCheckable(true);
        action->setChecked(id == current || (id.isEmpty() && !Languages::find(current)));
        action->setEnabled(!category.isEmpty());
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, category, id] { chooseLanguage(category, id); });
    };
    add(tr("Keywords from the word list"), QString());
    menu->addSeparator();
    // Language names are written alike in every language the program speaks.
    for (const CodeLanguage* language : Languages::usable())
        add(language->name, language->id);
}

void frmMain::chooseLanguage(const QString& category, const QString& id) {
    if (category.isEmpty())
        return;
    // A malformed or unreadable file is replaced only now, when the user chooses.
    const LanguageChoices::Loaded loaded = LanguageChoices::load(fs());
    LanguageChoices::Choices choices = loaded.choices;
    LanguageChoices::set(choices, category, id);
    if (choices == loaded.choices && loaded.state == LanguageChoices::Loaded::State::Read)
        return;
    if (!keepLanguageChoices(choices))
        return;
    m_reportedLanguageFile = false;
    ColorCode();
}

void frmMain::dropLanguageChoice(const QString& folder) {
    const LanguageChoices::Loaded loaded = LanguageChoices::load(fs());
    if (loaded.state != LanguageChoices::Loaded::State::Read)
        return;
    LanguageChoices::Choices choices = loaded.choices;
    LanguageChoices::removeCategory(choices, categoryOf(folder));
    if (choices.size() == loaded.choices.size())
        return;
    keepLanguageChoices(choices);
}

bool frmMain::keepLanguageChoices(const LanguageChoices::Choices& choices) {
    const QString path = LanguageChoices::filePath(fs());
    const QByteArray bytes = LanguageChoices::format(choices);
    keepOnDisk(path);
    if (const LibraryFs::Result saved = fs().writeSnippet(path, bytes); !saved.ok) {
        dialogs().error(tr("The language cannot be kept: \"%1\" cannot be written: %2.")
                            .arg(saved.path, saved.reason));
        return false;
    }
    record(History::Action::Save, path, bytes);
    return true;
}

bool frmMain::colourBySyntax() {
    m_syntaxOn = false;
    ++m_syntaxGeneration;
    if (!m_syntax)
        return false;
    m_syntax->stop();
    const QString folder = !m_held.name.isNull() ? m_held.folder : folderOfNode(selectedNode());
    const QString id = LanguageChoices::choiceFor(languageChoices(), categoryOf(folder));
    if (id.isEmpty())
        return false;
    const CodeLanguage* language = Languages::find(id);
    if (!language || (language->highlightsReady() && !language->highlights())) {
        syntaxReady(); // tells of grammars that did not load
        return false;
    }
    const int length = txtCodeFile->textLength();
    if (length > Languages::SizeLimit || txtCodeFile->tooLongLine() > 0)
        return false;
    const QString text = txtCodeFile->text();
    // A language's first snippet is plain until its query is read on the thread.
    const bool atOnce = length <= ColourAtOnce && language->highlightsReady();
    txtCodeFile->applyColours(atOnce ? SyntaxColouring::colourNow(*language, text)
                                     : QList<ColourRun>());
    m_syntaxOn = true;
    m_syntaxLanguage = language;
    m_syntax->colour(language, text, m_syntaxGeneration);
    return true;
}

void frmMain::syntaxEdited() {
    if (!m_syntaxOn)
        return;
    if (txtCodeFile->isLoading()) {
        m_syntaxOn = false;
        m_syntax->stop();
        return;
    }
    // One parse for everything one event pass changed.
    ++m_syntaxGeneration;
    QTimer::singleShot(0, this, [this, generation = m_syntaxGeneration] {
        if (!m_syntaxOn || generation != m_syntaxGeneration)
            return;
        // Grown past the limit: the colours stay as the edits left them until Colour Code,
        // which would also move the caret, gives the word list's.
        if (txtCodeFile->textLength() > Languages::SizeLimit || txtCodeFile->tooLongLine() > 0) {
            m_syntaxOn = false;
            m_syntax->stop();
            return;
        }
        m_syntax->colour(m_syntaxLanguage, txtCodeFile->text(), m_syntaxGeneration);
    });
}

void frmMain::syntaxReady() {
    if (!m_reportedGrammars && !Languages::unusable().isEmpty()) {
        m_reportedGrammars = true;
        dialogs().error(tr("These languages cannot be coloured by their grammar, so their "
                           "categories are coloured by the word list: %1.")
                            .arg(Languages::unusable().join(QStringLiteral(", "))));
    }
    if (!m_syntax)
        return;
    std::optional<SyntaxColouring::Result> result = m_syntax->take();
    if (result && m_syntaxOn && result->generation == m_syntaxGeneration)
        txtCodeFile->applyColours(result->runs);
}
