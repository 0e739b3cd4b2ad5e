// SPDX-License-Identifier: MIT
// The language each category's snippets are coloured in: the sub-menus that choose it or bring
// back an earlier choice, the file that keeps it, and colouring by the language's grammar on a
// thread of its own.
#include "app/frmmain.h"

#include "editor/codeeditor.h"
#include "editor/languages.h"
#include "library/snippetcodec.h"

#include <QActionGroup>
#include <QMenu>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace {
// Texts this short are coloured at once on the window's thread (well under a millisecond to a
// few), so a snippet never shows plain before its colours; longer ones go to the thread.
constexpr int ColourAtOnce = 16 * 1024;

QString malformedText(const QString& path, int line) {
    return frmMain::tr("The language file \"%1\" cannot be read: line %2 is not a language "
                       "and a category. Every category is coloured by the word list "
                       "until a language is chosen again, which replaces the file.")
        .arg(path)
        .arg(line);
}

// An earlier version refused: the file on disk was never touched, so its choices still apply.
QString malformedVersionText(int line) {
    return frmMain::tr("This version of the language file is not restored: its line %1 is not a "
                       "language and a category. The current choices stay as they are.")
        .arg(line);
}
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
    connect(
        txtCodeFile, &CodeEditor::contentsChange, this,
        [this](int position, int removed, int added) { syntaxEdited(position, removed, added); });
}

QString frmMain::categoryOf(const QString& folder) const {
    const QString library = m_locations.library;
    QString category = folder.startsWith(library) ? folder.mid(library.size()) : QString();
    while (category.endsWith(u'/'))
        category.chop(1);
    return category;
}

LanguageChoices::Choices frmMain::languageChoices(bool reportNow) {
    const LanguageChoices::Loaded loaded = LanguageChoices::load(fs());
    if (loaded.state != LanguageChoices::Loaded::State::Malformed) {
        m_reportedLanguageFile = false;
        return loaded.choices;
    }
    if (!m_reportedLanguageFile && reportNow) {
        m_reportedLanguageFile = true;
        dialogs().error(malformedText(LanguageChoices::filePath(fs()), loaded.badLine));
    }
    return {};
}

void frmMain::fillLanguageMenu(QMenu* menu, bool forOpenSnippet) {
    menu->clear();
    const QString folder =
        forOpenSnippet && !m_held.name.isNull() ? m_held.folder : folderOfNode(selectedNode());
    const QString category = categoryOf(folder);
    // A message box opened while a menu opens pulls the menu from under Qt, which then
    // crashes: the report waits until the menu has closed.
    const QString current = LanguageChoices::choiceFor(languageChoices(false), category);
    connect(
        menu, &QMenu::aboutToHide, this,
        [this] { QTimer::singleShot(0, this, [this] { (void)languageChoices(); }); },
        Qt::SingleShotConnection);
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
    // The choices are the library's, not the category's: always offered.
    menu->addSeparator();
    QAction* earlier = menu->addAction(tr("&Earlier Choices..."));
    earlier->setObjectName(QStringLiteral("mnuLanguageHistory"));
    connect(earlier, &QAction::triggered, this, &frmMain::ShowLanguageHistory);
}

void frmMain::ShowLanguageHistory() {
    showHistoryOf(LanguageChoices::FileName, LanguageChoices::FileName);
}

bool frmMain::restoreLanguageChoices(const QByteArray& bytes) {
    // Another program or machine may have left a version this program cannot read.
    if (const LanguageChoices::Parsed parsed = LanguageChoices::parse(bytes); parsed.badLine > 0) {
        dialogs().error(malformedVersionText(parsed.badLine));
        return false;
    }
    if (!keepLanguageChoices(bytes, History::Action::Restore))
        return false;
    m_reportedLanguageFile = false;
    ColorCode();
    return true;
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
    if (!keepLanguageChoices(LanguageChoices::format(choices)))
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
    keepLanguageChoices(LanguageChoices::format(choices));
}

bool frmMain::keepLanguageChoices(const QByteArray& bytes, History::Action action) {
    const QString path = LanguageChoices::filePath(fs());
    keepOnDisk(path);
    if (const LibraryFs::Result saved = fs().writeSnippet(path, bytes); !saved.ok) {
        dialogs().error(tr("The language cannot be kept: \"%1\" cannot be written: %2.")
                            .arg(saved.path, saved.reason));
        return false;
    }
    record(action, path, bytes);
    return true;
}

const CodeLanguage* frmMain::syntaxLanguageOf(const QString& folder) {
    const QString id = LanguageChoices::choiceFor(languageChoices(), categoryOf(folder));
    if (id.isEmpty())
        return nullptr;
    const CodeLanguage* language = Languages::find(id);
    if (!language || (language->highlightsReady() && !language->highlights())) {
        syntaxReady(); // tells of grammars that did not load
        return nullptr;
    }
    return language;
}

quint64 frmMain::parseSyntaxAhead(const QString& folder, const QByteArray& bytes) {
    // No text of more bytes decodes to few enough characters.
    if (!m_syntax || bytes.size() > 3 * qsizetype(Languages::SizeLimit) ||
        bytes.size() <= ColourAtOnce)
        return 0;
    const CodeLanguage* language = syntaxLanguageOf(folder);
    if (!language)
        return 0;
    // The editor's text is on its way out: its edits no longer go to the colouring, which would
    // take them instead of this.
    m_syntaxOn = false;
    ++m_syntaxGeneration;
    m_syntax->parseAhead(
        language, [bytes] { return CodeEditor::asLoaded(SnippetCodec::decode(bytes).text); },
        m_syntaxGeneration);
    return m_syntaxGeneration;
}

bool frmMain::colourBySyntax() {
    const quint64 ahead = std::exchange(m_syntaxAhead, 0);
    m_syntaxOn = false;
    ++m_syntaxGeneration;
    if (!m_syntax)
        return false;
    const QString folder = !m_held.name.isNull() ? m_held.folder : folderOfNode(selectedNode());
    const CodeLanguage* language = syntaxLanguageOf(folder);
    const int length = txtCodeFile->textLength();
    if (!language || length > Languages::SizeLimit || txtCodeFile->tooLongLine() > 0) {
        m_syntax->stop();
        return false;
    }
    m_syntaxOn = true;
    m_syntaxLanguage = language;
    m_syntaxEdits.clear();
    m_syntaxLength = length;
    m_syntaxWholeText = false;
    if (ahead) {
        // The text just loaded, parsed meanwhile: a copy of it would cost the window a
        // millisecond for every 70 KB.
        txtCodeFile->applyColours(QList<ColourRun>());
        m_syntax->colourParsedAhead(language, ahead, length, m_syntaxGeneration, syntaxView());
        return true;
    }
    const QString text = txtCodeFile->text();
    // A language's first snippet is plain until its query is read on the thread.
    const bool atOnce = length <= ColourAtOnce && language->highlightsReady();
    txtCodeFile->applyColours(atOnce ? SyntaxColouring::colourNow(*language, text)
                                     : QList<ColourRun>());
    // Supersedes what is queued; a parse of this text started ahead goes on.
    m_syntax->colourNew(language, text, m_syntaxGeneration, syntaxView());
    return true;
}

SyntaxColouring::Span frmMain::syntaxView() const {
    const QRect view = txtCodeFile->viewport()->rect();
    const int top =
        txtCodeFile->textOffset(txtCodeFile->cursorForPosition(view.topLeft()).position());
    const int bottom =
        txtCodeFile->textOffset(txtCodeFile->cursorForPosition(view.bottomRight()).position());
    return {top, std::max(0, bottom - top)};
}

void frmMain::syntaxEdited(int position, int removed, int added) {
    if (!m_syntaxOn)
        return;
    if (txtCodeFile->isLoading()) {
        m_syntaxOn = false;
        m_syntax->stop();
        return;
    }
    // The document counts its closing separator in some changes; the text has no such character.
    const int length = txtCodeFile->textLength();
    removed = std::clamp(removed, 0, std::max(0, m_syntaxLength - position));
    added = std::clamp(added, 0, std::max(0, length - position));
    if (position < 0 || position > m_syntaxLength || m_syntaxLength - removed + added != length) {
        m_syntaxWholeText = true;
    } else if (!m_syntaxWholeText) {
        // Only what the edit put there: a copy of the whole text costs milliseconds.
        QTextCursor inserted(txtCodeFile->document());
        inserted.setPosition(position);
        inserted.setPosition(position + added, QTextCursor::KeepAnchor);
        QString text = inserted.selectedText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        m_syntaxEdits.push_back({position, removed, text});
    }
    m_syntaxLength = length;
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
        if (m_syntaxWholeText)
            m_syntax->colour(m_syntaxLanguage, txtCodeFile->text(), m_syntaxGeneration,
                             syntaxView());
        else
            m_syntax->colourEdits(m_syntaxLanguage, std::exchange(m_syntaxEdits, {}),
                                  m_syntaxLength, m_syntaxGeneration, syntaxView());
        m_syntaxEdits.clear();
        m_syntaxWholeText = false;
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
    if (m_syntax->lostText() && m_syntaxOn) {
        // Edits came for a text the colouring had dropped: it takes the whole text again, now or
        // with the edits still queued.
        if (m_syntaxEdits.empty() && !m_syntaxWholeText)
            m_syntax->colour(m_syntaxLanguage, txtCodeFile->text(), m_syntaxGeneration,
                             syntaxView());
        else
            m_syntaxWholeText = true;
        return;
    }
    std::optional<SyntaxColouring::Result> result = m_syntax->take(m_syntaxGeneration);
    if (!result || !m_syntaxOn)
        return;
    const QList<SyntaxColouring::Span>& spans = result->spans;
    if (spans.size() == 1 && spans[0].start == 0 && spans[0].length == txtCodeFile->textLength()) {
        txtCodeFile->applyColours(result->runs);
        return;
    }
    // Only what the edit changed, so a key press costs the window what its line does.
    qsizetype run = 0;
    for (const SyntaxColouring::Span& span : spans) {
        const qsizetype first = run;
        while (run < result->runs.size() && result->runs[run].start < span.start + span.length)
            ++run;
        txtCodeFile->applyColours(span.start, span.length, result->runs.mid(first, run - first));
    }
}
