// SPDX-License-Identifier: MIT
#include "editor/colouring.h"
#include "editor/highlightquery.h"
#include "editor/languages.h"
#include "editor/syntaxcolouring.h"
#include "library/languagechoices.h"
#include "tests/support/gitcheck.h"
#include "tests/support/windowfixture.h"
#include "windows/frmhistory.h"

#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

// A category's language, chosen from its menu, kept in the library and followed when its
// snippets (and its sub-categories' snippets) are opened.
class TestLanguagesWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ownGitHome(); }
    void choicesFile_data();
    void choicesFile();
    void chosenLanguageColoursCategoryAndSubCategories();
    void malformedFileMeansNoChoicesAndIsKept();
    void removingCategoryDropsItsChoice();
    void earlierChoice_data();
    void earlierChoice();
    void longSnippetColouredAsTheEditorHoldsIt_data();
    void longSnippetColouredAsTheEditorHoldsIt();
};

namespace {

QTreeWidgetItem* nodeAt(WindowFixture& f, const QString& folder) {
    QTreeWidget* tree = ui(*f.window).tvwFolders;
    for (QTreeWidgetItem* item :
         tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive)) {
        if (f.window->folderOfNode(item) == f.path(folder))
            return item;
    }
    return nullptr;
}

void selectFolder(WindowFixture& f, const QString& folder) {
    QTreeWidgetItem* item = nodeAt(f, folder);
    QVERIFY2(item, qPrintable(folder));
    f.clickNode(frmMain::nodeKey(item));
}

// Picks an item of the category tree's pop-up "Language" menu, as a user would.
void pick(WindowFixture& f, const QString& name) {
    auto* menu = f.window->findChild<QMenu*>(QStringLiteral("mnuFolderLanguage"));
    QVERIFY(menu);
    emit menu->aboutToShow();
    auto* action = menu->findChild<QAction*>(name);
    if (!action) { // actions are owned by the window's menu, found through its list
        for (QAction* a : menu->actions())
            if (a->objectName() == name)
                action = a;
    }
    QVERIFY2(action, qPrintable(name));
    QVERIFY(action->isEnabled());
    action->trigger();
}

void choose(WindowFixture& f, const QString& id) {
    pick(f, QStringLiteral("mnuLanguage_") + id);
}

QString colourString(const CodeEditor* editor) {
    QString out;
    for (int i = 0; i < editor->textLength(); ++i)
        out += QString::number(editor->colourAt(i), 16) + u' ';
    return out;
}

QString coloursOf(const QString& text, const QList<ColourRun>& runs) {
    QList<quint32> colours(text.size(), Colours::Default);
    for (const ColourRun& run : runs)
        for (int i = run.start; i < run.start + run.length; ++i)
            colours[i] = run.colour;
    QString out;
    for (quint32 c : colours)
        out += QString::number(c, 16) + u' ';
    return out;
}

QString syntaxColours(const QString& language, const QString& text) {
    return coloursOf(text, SyntaxColouring::colourNow(*Languages::find(language), text));
}

QString wordListColours(const QString& text, const QStringList& keywords) {
    return coloursOf(text, Colouring::colour(text, keywords));
}

} // namespace

void TestLanguagesWindow::choicesFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("badLine");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("expected"); // the language it is coloured in
    QTest::newRow("own") << QByteArray("# note\r\npython\tPy\r\n") << 0 << "Py"
                         << "python";
    QTest::newRow("inherited") << QByteArray("python\tPy\njson\tPy/Data\n") << 0 << "Py/Sub/Deep"
                               << "python";
    QTest::newRow("nearest wins") << QByteArray("python\tPy\njson\tPy/Data\n") << 0
                                  << "Py/Data/Deep"
                                  << "json";
    QTest::newRow("no choice") << QByteArray("python\tPy\n") << 0 << "Pyx"
                               << "";
    QTest::newRow("word list under a language")
        << QByteArray("python\tPy\nwordlist\tPy/Basic\n") << 0 << "Py/Basic/Deep"
        << "";
    QTest::newRow("tab in a name") << QByteArray("c\tA\tB\n") << 0 << "A\tB"
                                   << "c";
    QTest::newRow("no tab") << QByteArray("python\tPy\npython Go\n") << 2 << "Py"
                            << "";
    QTest::newRow("not UTF-8") << QByteArray("python\tPy\xff\n") << 1 << "Py"
                               << "";
    QTest::newRow("outside") << QByteArray("python\t../x\n") << 1 << "Py"
                             << "";
    QTest::newRow("twice") << QByteArray("python\tPy\nc\tPy\n") << 2 << "Py"
                           << "";
}

void TestLanguagesWindow::choicesFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, badLine);
    QFETCH(QString, category);
    QFETCH(QString, expected);
    const LanguageChoices::Parsed parsed = LanguageChoices::parse(bytes);
    QCOMPARE(parsed.badLine, badLine);
    QCOMPARE(LanguageChoices::choiceFor(parsed.choices, category), expected);
    // What is written reads back the same.
    QCOMPARE(LanguageChoices::parse(LanguageChoices::format(parsed.choices)).choices,
             parsed.choices);
}

void TestLanguagesWindow::chosenLanguageColoursCategoryAndSubCategories() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Py/Sub"));
    f.makeFolder(QStringLiteral("Basic"));
    const QString python = QStringLiteral("s = \"it's\"  # if\nif s:\n    n = 42\n");
    const QString basic = QStringLiteral("If a Then b = \"it's\" ' if\n");
    f.writeFile(QStringLiteral("Py/Sub/a.code"), python.toUtf8());
    f.writeFile(QStringLiteral("Basic/b.code"), basic.toUtf8());
    f.writeWordList("if\nthen\n");
    frmMain& w = f.open();
    selectFolder(f, QStringLiteral("Py"));
    choose(f, QStringLiteral("python"));
    QCOMPARE(f.readFile(LanguageChoices::FileName),
             LanguageChoices::format({{QStringLiteral("Py"), QStringLiteral("python")}}));

    selectFolder(f, QStringLiteral("Py/Sub"));
    f.clickEntry(QStringLiteral("a"));
    CodeEditor* editor = ui(w).txtCodeFile;
    QCOMPARE(editor->text(), python);
    // A language's first snippet may show plain until its query is read.
    QTRY_COMPARE(editor->colourAt(int(python.indexOf(u'\''))), SyntaxColours::String);
    QCOMPARE(editor->colourAt(int(python.indexOf(u'#'))), Colours::Comment);
    QCOMPARE(editor->colourAt(int(python.indexOf(QStringLiteral("if s")))), Colours::Keyword);
    QCOMPARE(editor->colourAt(int(python.indexOf(u'4'))), SyntaxColours::Number);
    // An edit is coloured again by the grammar, off the window's thread.
    editor->setSelectionStart(int(python.indexOf(QStringLiteral("42"))));
    QTest::keyClicks(editor, QStringLiteral("'x' + "));
    const int typed = int(python.indexOf(QStringLiteral("42")));
    QTRY_COMPARE(editor->colourAt(typed + 1), SyntaxColours::String);
    // The window hands over only what each edit put there: what the colouring makes of them is
    // the edited text's colours, line breaks, deletions and undo included.
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, QStringLiteral("# x = \"y"));
    editor->setSelectionStart(int(editor->text().indexOf(QStringLiteral("if s"))));
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTRY_COMPARE(colourString(editor), syntaxColours(QStringLiteral("python"), editor->text()));
    editor->undo();
    editor->undo();
    QTRY_COMPARE(colourString(editor), syntaxColours(QStringLiteral("python"), editor->text()));

    // A category without a choice: the word list's colours, exactly.
    selectFolder(f, QStringLiteral("Basic"));
    f.clickEntry(QStringLiteral("b"));
    QCOMPARE(editor->text(), basic);
    QCOMPARE(colourString(editor), wordListColours(basic, {"if", "then"}));

    // The choice is recorded like a snippet.
    f.historyIdle();
    // Through popen, not QProcess, whose fork the thread sanitizer's runtime cannot follow.
    QCOMPARE(commandOutput(QStringLiteral("git --git-dir='%1/history.git' show 'HEAD:%2'")
                               .arg(f.programFolder(), LanguageChoices::FileName)),
             QString::fromUtf8(f.readFile(LanguageChoices::FileName)).trimmed());

    // Back to the word list: the entry goes and the open snippet is recoloured at once.
    selectFolder(f, QStringLiteral("Py/Sub"));
    f.clickEntry(QStringLiteral("a"));
    selectFolder(f, QStringLiteral("Py"));
    choose(f, QStringLiteral("wordlist"));
    QCOMPARE(LanguageChoices::parse(f.readFile(LanguageChoices::FileName)).choices,
             LanguageChoices::Choices());
    QCOMPARE(colourString(editor), wordListColours(editor->text(), {"if", "then"}));
    QVERIFY(f.dialogs->shown.isEmpty());
}

void TestLanguagesWindow::malformedFileMeansNoChoicesAndIsKept() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Py"));
    const QString python = QStringLiteral("s = \"it's\"\n");
    f.writeFile(QStringLiteral("Py/a.code"), python.toUtf8());
    const QByteArray malformed("python Py\n");
    f.writeFile(LanguageChoices::FileName, malformed);
    frmMain& w = f.open();
    // The Language menu opens with no message box over it (Qt crashes then); it comes after.
    QMenu* menu = w.findChild<QMenu*>(QStringLiteral("mnuFolderLanguage"));
    QVERIFY(menu);
    QCOMPARE(f.dialogs->messages().size(), 0);
    emit menu->aboutToShow();
    QCOMPARE(f.dialogs->messages().size(), 0);
    emit menu->aboutToHide();
    QTRY_COMPARE(f.dialogs->messages().size(), 1);
    selectFolder(f, QStringLiteral("Py"));
    f.clickEntry(QStringLiteral("a"));
    w.ColorCode();
    // Coloured by the word list, told once, the file left as it is.
    QCOMPARE(colourString(ui(w).txtCodeFile), wordListColours(python, {}));
    QCOMPARE(f.dialogs->messages().size(), 1);
    QVERIFY(f.dialogs->lastText().contains(QStringLiteral("line 1")));
    QCOMPARE(f.readFile(LanguageChoices::FileName), malformed);
    // Choosing again replaces it.
    choose(f, QStringLiteral("python"));
    QCOMPARE(f.readFile(LanguageChoices::FileName),
             LanguageChoices::format({{QStringLiteral("Py"), QStringLiteral("python")}}));
    QTRY_COMPARE(ui(w).txtCodeFile->colourAt(int(python.indexOf(u'\''))), SyntaxColours::String);
}

void TestLanguagesWindow::removingCategoryDropsItsChoice() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Py/Sub"));
    f.makeFolder(QStringLiteral("Other"));
    f.writeFile(QStringLiteral("Py/Sub/a.code"), "x = 1\n");
    f.writeFile(LanguageChoices::FileName, "python\tPy\npython\tPy/Sub\njson\tOther\n");
    frmMain& w = f.open();
    selectFolder(f, QStringLiteral("Py/Sub"));
    f.dialogs->buttons = {Dialogs::Button::Yes};
    w.RemoveCat();
    QVERIFY(!QFile::exists(f.path(QStringLiteral("Py/Sub"))));
    QCOMPARE(LanguageChoices::parse(f.readFile(LanguageChoices::FileName)).choices,
             (LanguageChoices::Choices{{QStringLiteral("Py"), QStringLiteral("python")},
                                       {QStringLiteral("Other"), QStringLiteral("json")}}));
}

void TestLanguagesWindow::earlierChoice_data() {
    QTest::addColumn<int>("fromOldest"); // the version chosen: Python, malformed, Rust
    QTest::addColumn<bool>("linkOut");   // the file a link to one outside the library by then
    QTest::addColumn<QString>("refusal");
    QTest::newRow("restored from the history") << 0 << false << QString();
    QTest::newRow("malformed")
        << 1 << false
        << QStringLiteral("This version of the language file is not restored: its line 1 is not a "
                          "language and a category. The current choices stay as they are.");
    QTest::newRow("a link out of the library") << 0 << true << LibraryFs::outsideReason();
}

void TestLanguagesWindow::earlierChoice() {
    QFETCH(int, fromOldest);
    QFETCH(bool, linkOut);
    QFETCH(QString, refusal);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Py"));
    const QString python = QStringLiteral("x = 1  # note\n");
    f.writeFile(QStringLiteral("Py/a.code"), python.toUtf8());
    frmMain& w = f.open();
    QVERIFY(f.historyIdle());
    selectFolder(f, QStringLiteral("Py"));
    f.clickEntry(QStringLiteral("a"));
    CodeEditor* editor = ui(w).txtCodeFile;
    const int hash = int(python.indexOf(u'#'));
    choose(f, QStringLiteral("python"));
    QTRY_COMPARE(editor->colourAt(hash), Colours::Comment);
    const QByteArray pythonBytes = f.readFile(LanguageChoices::FileName);
    f.writeFile(LanguageChoices::FileName, "python Py\n"); // another program's
    choose(f, QStringLiteral("rust"));
    const QByteArray rustBytes = f.readFile(LanguageChoices::FileName);
    QCOMPARE(rustBytes, LanguageChoices::format({{QStringLiteral("Py"), QStringLiteral("rust")}}));
    QVERIFY(editor->colourAt(hash) != Colours::Comment);
    QVERIFY(f.historyIdle());
    const QString outside = f.programFolder() + QStringLiteral("/outside");
    if (linkOut) {
        QFile file(outside);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QFile::remove(f.path(LanguageChoices::FileName)));
        QVERIFY(QFile::link(outside, f.path(LanguageChoices::FileName)));
    }

    pick(f, QStringLiteral("mnuLanguageHistory"));
    auto* history = w.findChild<frmHistory*>();
    QVERIFY(history && history->isVisible());
    QTRY_VERIFY(!history->isReading());
    QTreeWidget* versions = history->lstVersions;
    QVERIFY(versions->topLevelItemCount() >= 3);
    versions->setCurrentItem(
        versions->topLevelItem(versions->topLevelItemCount() - 1 - fromOldest));
    QTRY_VERIFY(!history->isReading());
    QVERIFY(history->cmdRestore->isEnabled());
    // Its texts speak of the language file, not of a snippet's.
    for (const QString& shown : {history->lblText->text(), history->lblDifferences->text(),
                                 history->cmdRestore->accessibleDescription()})
        QVERIFY2(shown.contains(QStringLiteral("language file")) &&
                     !shown.contains(QStringLiteral("snippet")),
                 qPrintable(shown));
    f.dialogs->clear();
    QTest::mouseClick(history->cmdRestore, Qt::LeftButton);

    if (!refusal.isEmpty()) {
        QCOMPARE(f.dialogs->messages().size(), 1);
        QVERIFY2(f.dialogs->lastText().contains(refusal), qPrintable(f.dialogs->lastText()));
        QVERIFY(editor->colourAt(hash) != Colours::Comment);
        if (linkOut) {
            QCOMPARE(QFileInfo(f.path(LanguageChoices::FileName)).symLinkTarget(), outside);
            QCOMPARE(QFileInfo(outside).size(), 0);
        } else {
            QCOMPARE(f.readFile(LanguageChoices::FileName), rustBytes);
            // Nothing recorded either.
            QVERIFY(f.historyIdle());
            history->refresh();
            QTRY_VERIFY(!history->isReading());
            QCOMPARE(versions->topLevelItemCount(), 3);
        }
        return;
    }
    QVERIFY2(f.dialogs->shown.isEmpty(), qPrintable(f.dialogs->lastText()));
    QCOMPARE(f.readFile(LanguageChoices::FileName), pythonBytes);
    // Recoloured at once, as choosing from the menu does.
    QCOMPARE(editor->colourAt(hash), Colours::Comment);
    // The Rust choice it replaced stays in the history.
    const QStringList kept{QStringLiteral("restored"), QStringLiteral("saved"),
                           QStringLiteral("changed outside"), QStringLiteral("saved")};
    const auto listed = [versions] {
        QStringList out;
        for (int i = 0; i < versions->topLevelItemCount(); ++i)
            out.append(versions->topLevelItem(i)->text(1));
        return out;
    };
    QTRY_COMPARE(listed(), kept);
    versions->setCurrentItem(versions->topLevelItem(1));
    QTRY_VERIFY(!history->isReading());
    QCOMPARE(history->txtVersion->text(), QString::fromUtf8(rustBytes));
    // The same window shows a snippet's versions in the snippet's words again.
    w.ShowHistory();
    QCOMPARE(history->lblText->text(),
             QStringLiteral("&Text, lines not in the snippet's file marked:"));
}

QTEST_MAIN(TestLanguagesWindow)
#include "test_languages_window.moc"

void TestLanguagesWindow::longSnippetColouredAsTheEditorHoldsIt_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("typeAtOnce");
    // Long enough to be parsed while it loads, then coloured without the window's copy of it.
    QByteArray lines;
    while (lines.size() < 40000)
        lines += "def f(x):  # it's\n    return \"it's\" + 'y' * 42\n";
    QTest::newRow("plain") << lines << false;
    // Characters the editor turns into line breaks; one carriage return even shortens the text.
    QTest::newRow("line breaks of the editor's own")
        << lines + "s = 1\rt = '\r'\n# \xE2\x80\xA9 x\nu = \"\xEF\xB7\x90\"\n" + lines << false;
    QTest::newRow("carriage return before a line end") << "a = 1\r\r\n" + lines << false;
    QTest::newRow("beyond the first plane")
        << lines + "s = '\xF0\x9F\x98\x80'  # \xF0\x9F\x98\x80\n" + lines << false;
    QTest::newRow("typed into before its colours came") << lines << true;
}

void TestLanguagesWindow::longSnippetColouredAsTheEditorHoldsIt() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, typeAtOnce);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Py"));
    f.writeFile(QStringLiteral("Py/a.code"), bytes);
    f.writeFile(QStringLiteral("Py/b.code"), "x = 1\n");
    frmMain& w = f.open();
    selectFolder(f, QStringLiteral("Py"));
    choose(f, QStringLiteral("python"));
    f.clickEntry(QStringLiteral("b"));
    CodeEditor* editor = ui(w).txtCodeFile;
    QTRY_COMPARE(editor->colourAt(4), SyntaxColours::Number); // the query is read
    f.clickEntry(QStringLiteral("a"));
    if (typeAtOnce) {
        editor->setSelectionStart(0);
        QTest::keyClicks(editor, QStringLiteral("'q'  # x"));
        QTest::keyClick(editor, Qt::Key_Return);
    }
    QTRY_COMPARE(colourString(editor), syntaxColours(QStringLiteral("python"), editor->text()));
    QVERIFY(f.dialogs->shown.isEmpty());
}
