// SPDX-License-Identifier: MIT
#include "tests/support/failingfs.h"
#include "tests/support/faults.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/privileges.h"
#include "tests/support/windowfixture.h"

#include "library/names.h"
#include "library/snippetcodec.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolBar>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString WaitText = QStringLiteral("Loading and processing code file... Please wait.");

// A real file system that lets a test look at the window while a file is being read.
class WatchingFs : public FailingFs {
public:
    using FailingFs::FailingFs;
    std::function<void(const QString&)> onRead;
    Read readFile(const QString& path, qint64 limit = NoLimit,
                  const std::atomic<bool>* cancel = nullptr) override {
        if (onRead)
            onRead(path);
        return FailingFs::readFile(path, limit, cancel);
    }
};

// Writes a file of the library, making its folders first.
void put(const WindowFixture& f, const QString& relative, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(f.path(relative)).path());
    f.writeFile(relative, bytes);
}

QStringList filesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

void checkErrorNames(const Dialogs::Message& m, const QString& path, const QString& reason) {
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QCOMPARE(m.title, QStringLiteral("Quillary"));
    QVERIFY2(m.text.contains(path), qPrintable(m.text));
    QVERIFY2(m.text.contains(reason, Qt::CaseInsensitive), qPrintable(m.text));
}

} // namespace

class TestSnippets : public QObject {
    Q_OBJECT
private slots:
    // Colouring.
    void colourCodeFromToolbar();
    void colourCodeWithoutWordList();
    // The list.
    void listShowsSnippetFilesOnly();
    void subCategoryListsItsOwnFolder();
    void rootEmptiesListAndReadsNothing();
    void refillSelectsNothingAndKeyboardOpens();
    void unreadableFolderIsReported();
    // Opening.
    void openShowsWaitTextThenFile();
    void openKeepsTextExactly_data();
    void openKeepsTextExactly();
    void openAgainDiscardsEditsAndColoursNeverLeak();
    void openThenSaveGivesBackSameBytes_data();
    void openThenSaveGivesBackSameBytes();
    void openFailuresLeaveEditorEmpty();
    void openWhenListIsNotTheSelectedCategory();
    void actionsWhileLongSnippetLoads_data();
    void actionsWhileLongSnippetLoads();
    void actionsInTheFirstMomentOfOpening_data();
    void actionsInTheFirstMomentOfOpening();
    // Saving.
    void saveAtStartRefusesBeforeAskingName();
    void saveAsAnswers_data();
    void saveAsAnswers();
    void saveAsCancelWritesNothing();
    void saveAsOntoExistingNameAsks();
    void saveAsRefusesNamesOutsideFolder_data();
    void saveAsRefusesNamesOutsideFolder();
    void saveWritesSelectedEntryOrAsks();
    void saveIntoSubCategoryAndEmptyText();
    void toolbarButtonsSaveAndSaveAs();
    void saveFailuresLeaveFileAsItWas();
    // Deleting.
    void popupEnabledOnlyWithEntries();
    void deleteAsksAndDeletesExactlyThatFile();
    void deleteFailuresChangeNothing();
    void popupActsOnWhatItPointsAt_data();
    void popupActsOnWhatItPointsAt();
};

// Colouring -----------------------------------------------------------------------------------

void TestSnippets::colourCodeFromToolbar() {
    WindowFixture f;
    f.writeWordList("dim\r\nas\r\ninteger\r\n");
    frmMain& w = f.open();
    const QString text = QStringLiteral("Dim x As Integer\nx = 1 ' set dim x\nIf(x) dim");
    ui(w).txtCodeFile->setText(text.left(text.size() - 1));
    // An edit the user makes before colouring stays the one that Undo takes back.
    ui(w).txtCodeFile->setSelectionStart(int(text.size()) - 1);
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_M);
    QCOMPARE(ui(w).txtCodeFile->text(), text);
    ui(w).txtCodeFile->setSelectionStart(3);
    ui(w).txtCodeFile->setSelectionLength(5);

    QTest::mouseClick(ui(w).Toolbar1->widgetForAction(ui(w).toolbarButtons[6]), Qt::LeftButton);

    QString expected(text.size(), QLatin1Char('.'));
    auto mark = [&](const QString& word, QChar c, int from = 0) {
        const qsizetype at = text.indexOf(word, from);
        QVERIFY(at >= 0);
        for (qsizetype i = at; i < at + word.size(); ++i)
            expected[i] = c;
    };
    mark(QStringLiteral("Dim"), u'K');
    mark(QStringLiteral("As"), u'K');
    mark(QStringLiteral("Integer"), u'K');
    mark(QStringLiteral(" set dim x\n"), u'C'); // the comment and its line's end
    mark(QStringLiteral("dim"), u'K', int(text.lastIndexOf(QLatin1Char(' ')))); // at the end
    QString actual;
    for (int i = 0; i < text.size(); ++i) {
        const quint32 c = ui(w).txtCodeFile->colourAt(i);
        actual += c == Colours::Keyword ? u'K' : c == Colours::Comment ? u'C' : u'.';
    }
    QCOMPARE(actual, expected);
    QCOMPARE(ui(w).txtCodeFile->text(), text);
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 0);
    QVERIFY(f.dialogs->shown.isEmpty());
    ui(w).txtCodeFile->undo();
    QCOMPARE(ui(w).txtCodeFile->text(), text.left(text.size() - 1));
}

void TestSnippets::colourCodeWithoutWordList() {
    WindowFixture f;
    frmMain& w = f.open();
    ui(w).txtCodeFile->setText(QStringLiteral("Dim a ' b"));
    w.ColorCode();
    QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Default);
    QCOMPARE(ui(w).txtCodeFile->colourAt(6), Colours::Default);
    QCOMPARE(ui(w).txtCodeFile->colourAt(7), Colours::Comment);
    QCOMPARE(ui(w).txtCodeFile->colourAt(8), Colours::Comment);
    QVERIFY(f.dialogs->shown.isEmpty());
    // The list is read at every colouring, so a new one counts at once.
    f.writeWordList("dim\n");
    w.ColorCode();
    QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Keyword);
    // An empty editor stays empty with the caret at 0.
    ui(w).txtCodeFile->setText(QString());
    w.ColorCode();
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 0);
    QVERIFY(ui(w).txtCodeFile->text().isEmpty());
}

// The list ------------------------------------------------------------------------------------

void TestSnippets::listShowsSnippetFilesOnly() {
    WindowFixture f;
    for (const char* name :
         {"two.code", "one.code", "readme.txt", "x.CODE", "x.Code", "x.code.code", ".code"})
        put(f, QStringLiteral("Cat/") + QLatin1String(name), "t");
    f.makeFolder(QStringLiteral("Cat/y.code"));
    f.makeFolder(QStringLiteral("Empty"));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    const QStringList expected = {QString(), QStringLiteral("one"), QStringLiteral("two"),
                                  QStringLiteral("x.code")};
    QCOMPARE(f.entries(), expected);
    // Entries show the page picture and cannot be renamed in place.
    for (int i = 0; i < ui(w).lstCode->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ui(w).lstCode->topLevelItem(i);
        QVERIFY(!item->icon(0).isNull());
        QVERIFY(!(item->flags() & Qt::ItemIsEditable));
    }
    QCOMPARE(ui(w).lstCode->editTriggers(), QAbstractItemView::NoEditTriggers);
    f.clickNode(QStringLiteral("Cat"));
    QCOMPARE(f.entries(), expected);
    f.clickNode(QStringLiteral("Empty"));
    QVERIFY(f.entries().isEmpty());
    QVERIFY(f.dialogs->shown.isEmpty());
}

void TestSnippets::subCategoryListsItsOwnFolder() {
    WindowFixture f;
    put(f, QStringLiteral("A/a.code"), "a");
    put(f, QStringLiteral("A/B/inner.code"), "inner");
    put(f, QStringLiteral("AB/outer.code"), "outer"); // a category named like B's key
    frmMain& w = f.open();
    QTreeWidgetItem* b = f.node(QStringLiteral("A"))->child(0);
    QTreeWidgetItem* ab = nullptr;
    for (int i = 0; i < w.rootNode()->childCount(); ++i)
        if (w.rootNode()->child(i)->text(0) == QLatin1String("AB"))
            ab = w.rootNode()->child(i);
    QVERIFY(b && ab);
    f.clickNode(frmMain::nodeKey(ab));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("outer")});
    f.clickNode(frmMain::nodeKey(b));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("inner")});
    f.clickEntry(QStringLiteral("inner"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("inner"));
}

void TestSnippets::rootEmptiesListAndReadsNothing() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "a");
    auto fs = std::make_unique<FailingFs>(f.programFolder());
    FailingFs* spy = fs.get();
    frmMain& w = f.open(std::move(fs));
    f.clickNode(QStringLiteral("Cat"));
    QCOMPARE(f.entries().size(), 1);
    const int listings = spy->calls(FailingFs::Primitive::ListFiles);
    const int folderListings = spy->calls(FailingFs::Primitive::ListFolders);
    const int reads = spy->calls(FailingFs::Primitive::ReadFile);
    f.clickNode(QStringLiteral("root"));
    QVERIFY(f.entries().isEmpty());
    QCOMPARE(spy->calls(FailingFs::Primitive::ListFiles), listings);
    QCOMPARE(spy->calls(FailingFs::Primitive::ListFolders), folderListings);
    QCOMPARE(spy->calls(FailingFs::Primitive::ReadFile), reads);
    QVERIFY(ui(w).txtCodeFile->text().isEmpty());
}

void TestSnippets::refillSelectsNothingAndKeyboardOpens() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "first");
    put(f, QStringLiteral("Cat/b.code"), "second");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("b"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("second"));
    f.clickNode(QStringLiteral("Cat"));
    QVERIFY(ui(w).lstCode->selectedItems().isEmpty());
    QVERIFY(!ui(w).lstCode->currentItem());
    // Focus alone opens nothing; a key move selects and opens.
    QApplication::setActiveWindow(&w);
    ui(w).lstCode->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    QVERIFY(ui(w).lstCode->selectedItems().isEmpty());
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("second"));
    QTest::keyClick(ui(w).lstCode, Qt::Key_Down);
    QTRY_COMPARE(ui(w).lstCode->selectedItems().size(), 1);
    const QString shown = ui(w).txtCodeFile->text();
    QCOMPARE(shown, ui(w).lstCode->selectedItems().first()->text(0) == QLatin1String("a")
                        ? QStringLiteral("first")
                        : QStringLiteral("second"));
}

void TestSnippets::unreadableFolderIsReported() {
    WindowFixture f;
    put(f, QStringLiteral("Locked/a.code"), "a");
    const QByteArray locked = QFile::encodeName(f.path(QStringLiteral("Locked")));
    frmMain& w = f.open();
    {
        ModeChange unreadable(f.path(QStringLiteral("Locked")), 0, 0755);
        QVERIFY(unreadable.done());
        PermissionBitsEnforced enforced;
        if (!enforced.active())
            QSKIP("cannot drop the capabilities that bypass permission bits here");
        DIR* probe = ::opendir(locked.constData());
        if (probe)
            ::closedir(probe);
        QVERIFY2(!probe, "the folder is still readable: the fault is not real");
        f.clickNode(QStringLiteral("Locked"));
    }
    QVERIFY(f.entries().isEmpty());
    QCOMPARE(f.dialogs->messages().size(), 1);
    checkErrorNames(f.dialogs->messages().first().message, f.path(QStringLiteral("Locked")),
                    QStringLiteral("permission denied"));
    QVERIFY(ui(w).lstCode->topLevelItemCount() == 0);
}

// Opening -------------------------------------------------------------------------------------

void TestSnippets::openShowsWaitTextThenFile() {
    WindowFixture f;
    f.writeWordList("dim\r\n");
    put(f, QStringLiteral("Cat/a.code"), "dim a");
    auto fs = std::make_unique<WatchingFs>(f.programFolder());
    WatchingFs* watching = fs.get();
    frmMain& w = f.open(std::move(fs));
    QStringList seenWhileReading;
    watching->onRead = [&](const QString& path) {
        if (path.endsWith(QLatin1String(".code")))
            seenWhileReading.append(ui(w).txtCodeFile->text());
    };
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("a"));
    QCOMPARE(seenWhileReading, QStringList{WaitText});
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("dim a"));
    QCOMPARE(ui(w).txtCodeFile->colourAt(0), Colours::Keyword);
    QCOMPARE(ui(w).txtCodeFile->colourAt(4), Colours::Default);
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 0);
}

void TestSnippets::openKeepsTextExactly_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << "e.code"
                                << "e" << QByteArray() << QString();
    QTest::newRow("final line end kept")
        << "f.code"
        << "f" << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb\n");
    QTest::newRow("only the last ending comes off")
        << "a.code.code"
        << "a.code" << QByteArray("inner") << QStringLiteral("inner");
    QTest::newRow("nameless") << ".code"
                              << "" << QByteArray("x") << QStringLiteral("x");
}

void TestSnippets::openKeepsTextExactly() {
    QFETCH(QString, file);
    QFETCH(QString, entry);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    WindowFixture f;
    put(f, QStringLiteral("Cat/") + file, bytes);
    put(f, QStringLiteral("Cat/") + entry + QStringLiteral(".other"), "decoy");
    frmMain& w = f.open();
    ui(w).txtCodeFile->setText(QStringLiteral("before"));
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(entry);
    QCOMPARE(ui(w).txtCodeFile->text(), text);
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), text.isEmpty() ? 0 : 1);
    QVERIFY(f.dialogs->shown.isEmpty());
}

void TestSnippets::openAgainDiscardsEditsAndColoursNeverLeak() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/note.code"), "' all of it is comment");
    put(f, QStringLiteral("Cat/plain.code"), "plain words and more words");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("note"));
    QCOMPARE(ui(w).txtCodeFile->colourAt(5), Colours::Comment);
    ui(w).txtCodeFile->setSelectionStart(0);
    QTest::keyClicks(ui(w).txtCodeFile, QStringLiteral("edited "));
    f.clickEntry(QStringLiteral("note"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("' all of it is comment"));
    f.clickEntry(QStringLiteral("plain"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("plain words and more words"));
    QVERIFY(ui(w).txtCodeFile->colourRuns(0, ui(w).txtCodeFile->textLength()).isEmpty());
}

void TestSnippets::openThenSaveGivesBackSameBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("encoding");
    QTest::newRow("windows-1252 with CR LF")
        << QByteArray("Caf\xe9\r\nx = 1 ' r\xe9sum\xe9\r\n")
        << QStringLiteral("Café\nx = 1 ' résumé\n") << int(SnippetCodec::Encoding::Windows1252);
    QTest::newRow("utf-8 with LF, no final line end")
        << QByteArray("Caf\xc3\xa9\n\xe2\x82\xac") << QStringLiteral("Café\n€")
        << int(SnippetCodec::Encoding::Utf8);
}

void TestSnippets::openThenSaveGivesBackSameBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(int, encoding);
    WindowFixture f;
    put(f, QStringLiteral("Cat/s.code"), bytes);
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("s"));
    QCOMPARE(ui(w).txtCodeFile->text(), text);
    QCOMPARE(int(w.textEncoding()), encoding);
    // A real Ctrl+S reaches Save.
    QApplication::setActiveWindow(&w);
    ui(w).txtCodeFile->setFocus();
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(f.readFile(QStringLiteral("Cat/s.code")), bytes);
    QVERIFY(f.dialogs->shown.isEmpty());
    // Text added later keeps the file's style.
    ui(w).txtCodeFile->setSelectionStart(0);
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Return);
    ui(w).mnuSave->trigger();
    QByteArray expected = bytes;
    expected.prepend(bytes.contains("\r\n") ? "\r\n" : "\n");
    QCOMPARE(f.readFile(QStringLiteral("Cat/s.code")), expected);
}

void TestSnippets::openFailuresLeaveEditorEmpty() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/good.code"), "Caf\xe9\r\n");
    put(f, QStringLiteral("Cat/gone.code"), "x");
    put(f, QStringLiteral("Cat/locked.code"), "x");
    QVERIFY(::mkfifo(QFile::encodeName(f.path(QStringLiteral("Cat/pipe.code"))).constData(),
                     0644) == 0);
    {
        // Sparse: the size alone is refused, nothing is read.
        QFile huge(f.path(QStringLiteral("Cat/huge.code")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(LibraryFs::SnippetReadLimit + 1));
    }
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    QCOMPARE(f.entries().size(), 5);

    auto openFails = [&](const QString& entry, const QString& reason) {
        f.clickEntry(QStringLiteral("good"));
        QCOMPARE(w.textEncoding(), SnippetCodec::Encoding::Windows1252);
        f.dialogs->clear();
        f.clickEntry(entry);
        QCOMPARE(f.dialogs->messages().size(), 1);
        checkErrorNames(f.dialogs->messages().first().message,
                        f.path(QStringLiteral("Cat/") + entry + QStringLiteral(".code")), reason);
        QVERIFY(ui(w).txtCodeFile->text().isEmpty());
        QCOMPARE(w.textEncoding(), SnippetCodec::NewTextEncoding);
        QCOMPARE(w.textLineEnd(), SnippetCodec::NewTextLineEnd);
    };

    QVERIFY(QFile::remove(f.path(QStringLiteral("Cat/gone.code"))));
    openFails(QStringLiteral("gone"), QStringLiteral("no such file"));
    openFails(QStringLiteral("pipe"), QStringLiteral("not a regular file"));
    openFails(QStringLiteral("huge"), QStringLiteral("it is larger than 128 MB"));

    const QByteArray locked = QFile::encodeName(f.path(QStringLiteral("Cat/locked.code")));
    {
        ModeChange unreadable(f.path(QStringLiteral("Cat/locked.code")), 0, 0644);
        QVERIFY(unreadable.done());
        PermissionBitsEnforced enforced;
        if (!enforced.active())
            QSKIP("cannot drop the capabilities that bypass permission bits here");
        const int probe = ::open(locked.constData(), O_RDONLY);
        if (probe >= 0)
            ::close(probe);
        QVERIFY2(probe < 0, "the file is still readable: the fault is not real");
        openFails(QStringLiteral("locked"), QStringLiteral("permission denied"));
    }
    QCOMPARE(f.readFile(QStringLiteral("Cat/locked.code")), QByteArray("x"));
}

void TestSnippets::openWhenListIsNotTheSelectedCategory() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "a");
    put(f, QStringLiteral("Other/a.code"), "other");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    QTreeWidgetItem* entry = f.entry(QStringLiteral("a"));
    struct Case {
        QString key, reason, saveText;
    };
    for (const Case& c : {Case{QStringLiteral("Other"), QStringLiteral("no longer shows"),
                               QStringLiteral("no longer shows")},
                          Case{QStringLiteral("root"), QStringLiteral("no category"),
                               QStringLiteral("You cannot save code in the root directory.")}}) {
        {
            // The tree's selection moves without the list following, as after a removal.
            const QSignalBlocker blocker(ui(w).tvwFolders);
            ui(w).tvwFolders->setCurrentItem(f.node(c.key));
        }
        QCOMPARE(w.selectedNode(), f.node(c.key));
        ui(w).txtCodeFile->setText(QStringLiteral("shown"));
        f.dialogs->clear();
        f.clickEntry(QStringLiteral("a"));
        QCOMPARE(f.dialogs->messages().size(), 1);
        const auto m = f.dialogs->messages().first().message;
        QCOMPARE(m.icon, Dialogs::Icon::Error);
        QVERIFY2(m.text.contains(QStringLiteral("a.code")), qPrintable(m.text));
        QVERIFY2(m.text.contains(c.reason), qPrintable(m.text));
        // Nothing was read, so nothing the user typed is lost; the entry is not taken as open.
        QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("shown"));
        QCOMPARE(f.entry(QStringLiteral("a")), entry);
        QVERIFY(ui(w).lstCode->selectedItems().isEmpty());
        // Saving writes nowhere: not over the listed file, not into the selected category.
        ui(w).txtCodeFile->setText(QStringLiteral("new"));
        f.dialogs->clear();
        w.Save();
        QCOMPARE(f.dialogs->shown.size(), 1);
        QVERIFY2(f.dialogs->lastText().contains(c.saveText), qPrintable(f.dialogs->lastText()));
        QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")), QByteArray("a"));
        QCOMPARE(f.readFile(QStringLiteral("Other/a.code")), QByteArray("other"));
    }
}

void TestSnippets::actionsWhileLongSnippetLoads_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shownAfter"); // "big", "small" or "" (empty editor)
    QTest::newRow("another entry") << u"entry"_qs << u"small"_qs;
    QTest::newRow("another category") << u"category"_qs << QString();
    QTest::newRow("quit") << u"quit"_qs << QString();
    QTest::newRow("typing") << u"type"_qs << u"big"_qs;
    QTest::newRow("save") << u"save"_qs << u"big"_qs;
    QTest::newRow("save as") << u"saveas"_qs << u"big"_qs;
    QTest::newRow("file removed") << u"remove"_qs << u"big"_qs;
}

// A snippet over 1 MB loads in slices while the window answers: whatever is done meanwhile is
// honoured, never writes the wait text or part of the text, and the selected entry names what
// the editor holds afterwards.
void TestSnippets::actionsWhileLongSnippetLoads() {
    QFETCH(QString, action);
    QFETCH(QString, shownAfter);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    f.makeFolder(QStringLiteral("Other"));
    QByteArray big;
    for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
        big += "Dim line" + QByteArray::number(i) + " As Integer ' note\r\n";
    const QByteArray small = "x = 1\r\n";
    f.writeFile(QStringLiteral("Cat/big.code"), big);
    f.writeFile(QStringLiteral("Cat/small.code"), small);
    f.writeFile(QStringLiteral("Other/o.code"), "o");
    frmMain& w = f.open(nullptr, [](ScriptedDialogs& d) { d.inputs = {u"copy"_qs}; });
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("big"), false);
    QVERIFY(ui(w).txtCodeFile->isLoading());
    QVERIFY(ui(w).statusPanels[0]->text().startsWith(QStringLiteral("Loading")));

    if (action == QLatin1String("entry")) {
        f.clickEntry(QStringLiteral("small"));
    } else if (action == QLatin1String("category")) {
        f.clickNode(QStringLiteral("Other"));
    } else if (action == QLatin1String("quit")) {
        ui(w).mnuQuit->trigger();
        QVERIFY(!w.isVisible());
    } else if (action == QLatin1String("type")) {
        ui(w).txtCodeFile->setFocus();
        QTest::keyClicks(ui(w).txtCodeFile, QStringLiteral("zz"));
        QTest::keyClick(ui(w).txtCodeFile, Qt::Key_Backspace);
        QTest::keyClick(ui(w).txtCodeFile, Qt::Key_V, Qt::ControlModifier);
    } else if (action == QLatin1String("save")) {
        ui(w).mnuSave->trigger();
        QVERIFY(f.dialogs->lastText().contains(QStringLiteral("still being opened")));
    } else if (action == QLatin1String("saveas")) {
        ui(w).mnuSaveAs->trigger();
        QVERIFY(f.dialogs->lastText().contains(QStringLiteral("still being opened")));
        QVERIFY(!QFile::exists(f.path(QStringLiteral("Cat/copy.code"))));
    } else if (action == QLatin1String("remove")) {
        // Once it has been read, as it is read off the window's thread.
        QTRY_VERIFY_WITH_TIMEOUT(!ui(w).txtCodeFile->text().startsWith(WaitText), 60000);
        QVERIFY(QFile::remove(f.path(QStringLiteral("Cat/big.code"))));
    }
    // The load goes on or ends from the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(!ui(w).txtCodeFile->isLoading() || action == QLatin1String("quit"),
                             60000);
    QTest::qWait(50);
    QVERIFY(ui(w).statusPanels[0]->text().isEmpty());
    // A closed window keeps what it showed; any other shows no wait text.
    QVERIFY(!ui(w).txtCodeFile->text().startsWith(WaitText) || action == QLatin1String("quit"));
    // Nothing was written over a file.
    if (action != QLatin1String("remove"))
        QVERIFY(f.readFile(QStringLiteral("Cat/big.code")) == big);
    QCOMPARE(f.readFile(QStringLiteral("Cat/small.code")), small);
    if (action == QLatin1String("quit"))
        return;

    const QTreeWidgetItem* selected = ui(w).lstCode->selectedItems().value(0);
    if (shownAfter.isEmpty()) {
        QCOMPARE(ui(w).txtCodeFile->text(), QString());
        QVERIFY(!selected);
        return;
    }
    QVERIFY(selected);
    QCOMPARE(selected->text(0), shownAfter);
    const QByteArray file = shownAfter == QLatin1String("big") ? big : small;
    QCOMPARE(ui(w).txtCodeFile->text(), SnippetCodec::decode(file).text);
    QCOMPARE(ui(w).txtCodeFile->selectionStart(), 1);
    // Save now writes exactly what was opened, also when the file went away meanwhile.
    f.dialogs->clear();
    ui(w).mnuSave->trigger();
    QVERIFY2(f.dialogs->shown.isEmpty(), qPrintable(f.dialogs->lastText()));
    QVERIFY(f.readFile(QStringLiteral("Cat/") + shownAfter + QStringLiteral(".code")) == file);
}

void TestSnippets::actionsInTheFirstMomentOfOpening_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("opens"); // the clicked snippet is shown afterwards
    QTest::newRow("save as over another snippet") << u"saveas"_qs << true;
    QTest::newRow("comment the line") << u"comment"_qs << true;
    QTest::newRow("paste") << u"paste"_qs << true;
    QTest::newRow("undo") << u"undo"_qs << true;
    QTest::newRow("colour code") << u"colour"_qs << true;
    QTest::newRow("delete the code file") << u"delete"_qs << false;
    QTest::newRow("another category") << u"category"_qs << false;
    QTest::newRow("quit") << u"quit"_qs << false;
}

// What is done between the click and the file being read (an event pass lets the wait text
// show) never acts on the wait text, and the entries are found again by name afterwards.
void TestSnippets::actionsInTheFirstMomentOfOpening() {
    QFETCH(QString, action);
    QFETCH(bool, opens);
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "Dim a\r\n");
    put(f, QStringLiteral("Cat/other.code"), "other\r\n");
    put(f, QStringLiteral("Other/o.code"), "o");
    frmMain& w = f.open(nullptr, [](ScriptedDialogs& d) {
        d.inputs = {u"other"_qs};
        d.buttons = {Dialogs::Button::Yes};
    });
    f.clickNode(QStringLiteral("Cat"));
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    bool done = false;
    QTimer::singleShot(0, &w, [&] {
        done = true;
        QVERIFY(ui(w).txtCodeFile->text().startsWith(WaitText));
        if (action == QLatin1String("saveas"))
            ui(w).mnuSaveAs->trigger();
        else if (action == QLatin1String("comment"))
            ui(w).mnuCommentWholeLine->trigger();
        else if (action == QLatin1String("paste"))
            ui(w).mnuPaste->trigger();
        else if (action == QLatin1String("undo"))
            ui(w).mnuUndo->trigger();
        else if (action == QLatin1String("colour"))
            ui(w).toolbarButtons[6]->trigger();
        else if (action == QLatin1String("delete"))
            ui(w).mnuDeleteFile->trigger();
        else if (action == QLatin1String("category"))
            f.clickNode(QStringLiteral("Other"));
        else if (action == QLatin1String("quit"))
            ui(w).mnuQuit->trigger();
    });
    // A closed window is not waited for.
    f.clickEntry(QStringLiteral("a"), action != QLatin1String("quit"));
    QVERIFY(done);
    QTRY_VERIFY(!ui(w).txtCodeFile->isLoading() || action == QLatin1String("quit"));

    QCOMPARE(f.readFile(QStringLiteral("Cat/other.code")), QByteArray("other\r\n"));
    QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")),
             action == QLatin1String("delete") ? QByteArray() : QByteArray("Dim a\r\n"));
    if (action == QLatin1String("saveas"))
        QVERIFY(f.dialogs->lastText().contains(QStringLiteral("still being opened")));
    if (action == QLatin1String("quit")) {
        QVERIFY(!w.isVisible());
        return;
    }
    const QTreeWidgetItem* selected = ui(w).lstCode->selectedItems().value(0);
    if (!opens) {
        QCOMPARE(ui(w).txtCodeFile->text(), QString());
        QVERIFY(!selected);
        QVERIFY(w.heldFile().isEmpty());
        // Only the question was asked: nothing tried to open a file that went away.
        for (const auto& shown : f.dialogs->messages())
            QCOMPARE(shown.message.icon, Dialogs::Icon::Question);
        return;
    }
    QVERIFY(selected);
    QCOMPARE(selected->text(0), QStringLiteral("a"));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("Dim a\n"));
    QCOMPARE(w.heldFile(), f.path(QStringLiteral("Cat/a.code")));
}

// Saving --------------------------------------------------------------------------------------

void TestSnippets::saveAtStartRefusesBeforeAskingName() {
    WindowFixture f;
    frmMain& w = f.open();
    ui(w).txtCodeFile->setText(QStringLiteral("text"));
    QApplication::setActiveWindow(&w);
    ui(w).txtCodeFile->setFocus();
    QTest::keyClick(ui(w).txtCodeFile, Qt::Key_S, Qt::ControlModifier);
    ui(w).mnuSave->trigger();
    ui(w).mnuSaveAs->trigger();
    QCOMPARE(f.dialogs->shown.size(), 3);
    for (const auto& s : f.dialogs->shown) {
        QVERIFY(!s.isInput);
        QCOMPARE(s.message.text, QStringLiteral("You cannot save code in the root directory."));
        QCOMPARE(s.message.title, QStringLiteral("Error"));
        QCOMPARE(s.message.icon, Dialogs::Icon::Information);
        QCOMPARE(s.message.buttons, Dialogs::Buttons::Ok);
    }
    QVERIFY(filesIn(f.library()).isEmpty());
}

void TestSnippets::saveAsAnswers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("entry");
    QTest::newRow("default") << "untitled.code"
                             << "untitled.code"
                             << "untitled";
    QTest::newRow("plain") << "loop"
                           << "loop.code"
                           << "loop";
    QTest::newRow("with ending") << "loop.code"
                                 << "loop.code"
                                 << "loop";
    QTest::newRow("ending in capitals") << "loop.CODE"
                                        << "loop.CODE.code"
                                        << "loop.CODE";
    QTest::newRow("other dot") << "a.b"
                               << "a.b.code"
                               << "a.b";
    QTest::newRow("ending alone") << ".code"
                                  << ".code"
                                  << "";
    QTest::newRow("short") << "abc"
                           << "abc.code"
                           << "abc";
    QTest::newRow("dots inside") << "..x"
                                 << "..x.code"
                                 << "..x";
}

void TestSnippets::saveAsAnswers() {
    QFETCH(QString, answer);
    QFETCH(QString, file);
    QFETCH(QString, entry);
    WindowFixture f;
    put(f, QStringLiteral("Cat/first.code"), "1");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("first"));
    ui(w).txtCodeFile->setText(QStringLiteral("Dim é\nx"));
    f.dialogs->inputs = {answer};
    ui(w).mnuSaveAs->trigger();
    QCOMPARE(f.dialogs->shown.size(), 1);
    const auto asked = f.dialogs->shown.first();
    QVERIFY(asked.isInput);
    QCOMPARE(asked.prompt, QStringLiteral("Enter a filename: "));
    QCOMPARE(asked.inputTitle, QStringLiteral("Save Code"));
    QCOMPARE(asked.defaultText, QStringLiteral("untitled.code"));
    // Text that never came from a file is written as UTF-8 with LF, nothing added.
    QCOMPARE(f.readFile(QStringLiteral("Cat/") + file), QByteArray("Dim \xc3\xa9\nx"));
    QStringList files = {QStringLiteral("first.code"), file};
    files.sort();
    QCOMPARE(filesIn(f.path(QStringLiteral("Cat"))), files);
    QCOMPARE(f.entries(), (QStringList{QStringLiteral("first"), entry}));
    // The new entry is the selected one, so the next Save writes the file just named.
    QCOMPARE(ui(w).lstCode->selectedItems().size(), 1);
    QCOMPARE(ui(w).lstCode->selectedItems().first()->text(0), entry);
    QCOMPARE(f.readFile(QStringLiteral("Cat/first.code")), QByteArray("1"));
}

void TestSnippets::saveAsCancelWritesNothing() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    f.dialogs->inputs = {QString()}; // cancelled
    ui(w).mnuSaveAs->trigger();
    QCOMPARE(f.dialogs->shown.size(), 1);
    QVERIFY(filesIn(f.path(QStringLiteral("Cat"))).isEmpty());
    QVERIFY(f.entries().isEmpty());
}

void TestSnippets::saveAsOntoExistingNameAsks() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/loop.code"), "old");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    ui(w).txtCodeFile->setText(QStringLiteral("new"));
    f.dialogs->inputs = {QStringLiteral("loop")};
    f.dialogs->buttons = {Dialogs::Button::No};
    ui(w).mnuSaveAs->trigger();
    QCOMPARE(f.dialogs->shown.size(), 2);
    const auto m = f.dialogs->shown[1].message;
    QCOMPARE(m.text, QStringLiteral("loop.code already exists. Do you want to replace it?"));
    QCOMPARE(m.title, QStringLiteral("Save Code"));
    QCOMPARE(m.buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(f.readFile(QStringLiteral("Cat/loop.code")), QByteArray("old"));
    QCOMPARE(filesIn(f.path(QStringLiteral("Cat"))), QStringList{QStringLiteral("loop.code")});

    f.dialogs->inputs = {QStringLiteral("loop.code")};
    f.dialogs->buttons = {Dialogs::Button::Yes};
    ui(w).mnuSaveAs->trigger();
    QCOMPARE(f.readFile(QStringLiteral("Cat/loop.code")), QByteArray("new"));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("loop")});
    QCOMPARE(filesIn(f.path(QStringLiteral("Cat"))), QStringList{QStringLiteral("loop.code")});
}

void TestSnippets::saveAsRefusesNamesOutsideFolder_data() {
    QTest::addColumn<QString>("answer");
    for (char16_t c : Names::ForbiddenCharacters) {
        if (c == u'\0')
            continue;
        const QString answer = QStringLiteral("a") + QChar(c) + QStringLiteral("b");
        QTest::newRow(qPrintable(answer)) << answer;
    }
    QTest::newRow("dot") << ".";
    QTest::newRow("dot dot") << "..";
    QTest::newRow("up and out") << "../Other/x";
    QTest::newRow("slash alone") << "/";
}

void TestSnippets::saveAsRefusesNamesOutsideFolder() {
    QFETCH(QString, answer);
    WindowFixture f;
    f.makeFolder(QStringLiteral("Cat"));
    f.makeFolder(QStringLiteral("Other"));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    ui(w).txtCodeFile->setText(QStringLiteral("x"));
    f.dialogs->inputs = {answer};
    ui(w).mnuSaveAs->trigger();
    QCOMPARE(f.dialogs->messages().size(), 1);
    const auto m = f.dialogs->messages().first().message;
    QCOMPARE(m.text, Names::snippetRefusalText());
    QCOMPARE(m.title, QStringLiteral("Save Code"));
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QCOMPARE(filesIn(f.library()), (QStringList{QStringLiteral("Cat"), QStringLiteral("Other")}));
    QVERIFY(filesIn(f.path(QStringLiteral("Cat"))).isEmpty());
    QVERIFY(filesIn(f.path(QStringLiteral("Other"))).isEmpty());
    QVERIFY(!QFileInfo::exists(f.programFolder() + QStringLiteral("/Code.code")));
    QVERIFY(f.entries().isEmpty());
}

void TestSnippets::saveWritesSelectedEntryOrAsks() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "a");
    put(f, QStringLiteral("Cat/b.code"), "b");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    // Entries but none selected: asks for a name instead of guessing.
    ui(w).txtCodeFile->setText(QStringLiteral("typed"));
    f.dialogs->inputs = {QString()};
    ui(w).mnuSave->trigger();
    QCOMPARE(f.dialogs->shown.size(), 1);
    QVERIFY(f.dialogs->shown.first().isInput);
    QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")), QByteArray("a"));
    QCOMPARE(f.readFile(QStringLiteral("Cat/b.code")), QByteArray("b"));
    // With one selected: writes over it, no question, nothing else changes.
    f.clickEntry(QStringLiteral("b"));
    ui(w).txtCodeFile->setSelectionStart(1);
    QTest::keyClicks(ui(w).txtCodeFile, QStringLiteral("ee"));
    ui(w).txtCodeFile->setSelectionStart(0);
    ui(w).txtCodeFile->setSelectionLength(2);
    f.dialogs->clear();
    ui(w).mnuSave->trigger();
    QVERIFY(f.dialogs->shown.isEmpty());
    QCOMPARE(f.readFile(QStringLiteral("Cat/b.code")), QByteArray("bee"));
    QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")), QByteArray("a"));
    QCOMPARE(f.entries(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(ui(w).txtCodeFile->selectionLength(), 2);
    ui(w).txtCodeFile->undo();
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("b"));
}

void TestSnippets::saveIntoSubCategoryAndEmptyText() {
    WindowFixture f;
    f.makeFolder(QStringLiteral("A/B"));
    f.makeFolder(QStringLiteral("B"));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("AB"));
    f.dialogs->inputs = {QStringLiteral("blank")};
    ui(w).mnuSaveAs->trigger();
    QVERIFY(QFileInfo(f.path(QStringLiteral("A/B/blank.code"))).isFile());
    QCOMPARE(QFileInfo(f.path(QStringLiteral("A/B/blank.code"))).size(), 0);
    QVERIFY(filesIn(f.path(QStringLiteral("B"))).isEmpty());
    QCOMPARE(filesIn(f.path(QStringLiteral("A"))), QStringList{QStringLiteral("B")});
    f.clickEntry(QStringLiteral("blank"));
    ui(w).txtCodeFile->setText(QStringLiteral("sub text"));
    w.Save();
    QCOMPARE(f.readFile(QStringLiteral("A/B/blank.code")), QByteArray("sub text"));
}

void TestSnippets::toolbarButtonsSaveAndSaveAs() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "a");
    frmMain& w = f.open();
    auto press = [&w](int position) {
        QTest::mouseClick(ui(w).Toolbar1->widgetForAction(ui(w).toolbarButtons[position - 1]),
                          Qt::LeftButton);
    };
    press(1);
    press(2);
    QCOMPARE(f.dialogs->shown.size(), 2);
    QCOMPARE(f.dialogs->lastText(), QStringLiteral("You cannot save code in the root directory."));
    f.clickNode(QStringLiteral("Cat"));
    f.clickEntry(QStringLiteral("a"));
    ui(w).txtCodeFile->setText(QStringLiteral("by button"));
    f.dialogs->clear();
    press(1);
    QVERIFY(f.dialogs->shown.isEmpty());
    QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")), QByteArray("by button"));
    f.dialogs->inputs = {QString()};
    press(2);
    QCOMPARE(f.dialogs->shown.size(), 1);
    QVERIFY(f.dialogs->shown.first().isInput);
}

void TestSnippets::saveFailuresLeaveFileAsItWas() {
    // Immutable folder.
    {
        WindowFixture f;
        put(f, QStringLiteral("Cat/keep.code"), "original");
        frmMain& w = f.open();
        f.clickNode(QStringLiteral("Cat"));
        f.clickEntry(QStringLiteral("keep"));
        ui(w).txtCodeFile->setText(QStringLiteral("changed"));
        Immutable frozen(f.path(QStringLiteral("Cat")));
        if (!frozen.on())
            QSKIP("chattr +i is not available here");
        QVERIFY2(!canCreateIn(f.path(QStringLiteral("Cat"))), "the folder is still writable");
        f.dialogs->clear();
        ui(w).mnuSave->trigger();
        QCOMPARE(f.dialogs->messages().size(), 1);
        checkErrorNames(f.dialogs->messages().first().message,
                        f.path(QStringLiteral("Cat/keep.code")), QStringLiteral("not permitted"));
        QCOMPARE(f.readFile(QStringLiteral("Cat/keep.code")), QByteArray("original"));
        // Save As there adds no entry for a file that was never written.
        f.dialogs->clear();
        f.dialogs->inputs = {QStringLiteral("fresh")};
        ui(w).mnuSaveAs->trigger();
        QCOMPARE(f.dialogs->messages().size(), 1);
        QVERIFY(f.dialogs->lastText().contains(f.path(QStringLiteral("Cat/fresh.code"))));
        QCOMPARE(f.entries(), QStringList{QStringLiteral("keep")});
        QCOMPARE(filesIn(f.path(QStringLiteral("Cat"))), QStringList{QStringLiteral("keep.code")});
    }
    // Full disk.
    {
        WindowFixture f;
        f.makeFolder(QStringLiteral("Cat"));
        SmallDisk disk(f.path(QStringLiteral("Cat")));
        if (!disk.mounted())
            QSKIP("cannot mount a tmpfs here");
        put(f, QStringLiteral("Cat/keep.code"), "original");
        frmMain& w = f.open();
        f.clickNode(QStringLiteral("Cat"));
        f.clickEntry(QStringLiteral("keep"));
        QVERIFY2(fillUp(f.path(QStringLiteral("Cat/filler"))), "the tmpfs never filled up");
        ui(w).txtCodeFile->setText(QString(20000, QLatin1Char('z')));
        f.dialogs->clear();
        w.Save();
        QCOMPARE(f.dialogs->messages().size(), 1);
        checkErrorNames(f.dialogs->messages().first().message,
                        f.path(QStringLiteral("Cat/keep.code")), QStringLiteral("space"));
        QCOMPARE(f.readFile(QStringLiteral("Cat/keep.code")), QByteArray("original"));
        QCOMPARE(filesIn(f.path(QStringLiteral("Cat"))),
                 (QStringList{QStringLiteral("filler"), QStringLiteral("keep.code")}));
        f.window.reset();
    }
    // Folder removed behind the program's back.
    {
        WindowFixture f;
        f.makeFolder(QStringLiteral("Gone"));
        frmMain& w = f.open();
        f.clickNode(QStringLiteral("Gone"));
        QVERIFY(QDir(f.path(QStringLiteral("Gone"))).removeRecursively());
        f.dialogs->inputs = {QStringLiteral("x")};
        w.SaveAs();
        QCOMPARE(f.dialogs->messages().size(), 1);
        checkErrorNames(f.dialogs->messages().first().message,
                        f.path(QStringLiteral("Gone/x.code")), QStringLiteral("no such file"));
        QVERIFY(f.entries().isEmpty());
        QVERIFY(!QFileInfo::exists(f.path(QStringLiteral("Gone"))));
    }
}

// Deleting ------------------------------------------------------------------------------------

static bool rightClickListShowsEnabledDelete(frmMain& w) {
    QTest::mouseClick(ui(w).lstCode->viewport(), Qt::RightButton, {},
                      QPoint(5, ui(w).lstCode->viewport()->height() - 5));
    if (!QTest::qWaitFor([&w] { return ui(w).mnuCodePopup->isVisible(); }, 2000))
        return false;
    const bool enabled = ui(w).mnuDeleteFile->isEnabled();
    ui(w).mnuCodePopup->hide();
    return enabled;
}

void TestSnippets::popupEnabledOnlyWithEntries() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "a");
    frmMain& w = f.open();
    QVERIFY(!rightClickListShowsEnabledDelete(w));
    QVERIFY(!ui(w).mnuCodePopup->isVisible());
    f.clickNode(QStringLiteral("Cat"));
    QVERIFY(rightClickListShowsEnabledDelete(w));
    // The right button selects nothing, and other buttons show nothing.
    QVERIFY(ui(w).lstCode->selectedItems().isEmpty());
    QTest::mouseClick(ui(w).lstCode->viewport(), Qt::MiddleButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
    QVERIFY(!ui(w).mnuCodePopup->isVisible());
}

void TestSnippets::deleteAsksAndDeletesExactlyThatFile() {
    WindowFixture f;
    put(f, QStringLiteral("A/x.code"), "outer x");
    put(f, QStringLiteral("A/B/x.code"), "Caf\xe9\r\n");
    put(f, QStringLiteral("A/B/y.code"), "y");
    put(f, QStringLiteral("A/B/x.txt"), "x");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("AB"));
    f.clickEntry(QStringLiteral("x"));
    QCOMPARE(w.textEncoding(), SnippetCodec::Encoding::Windows1252);

    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::No};
    ui(w).mnuDeleteFile->trigger();
    QCOMPARE(f.dialogs->shown.size(), 1);
    const auto asked = f.dialogs->shown.first().message;
    QCOMPARE(asked.text, QStringLiteral("Are you sure you want to delete this file?"));
    QCOMPARE(asked.title, QStringLiteral("Delete File"));
    QCOMPARE(asked.icon, Dialogs::Icon::Question);
    QCOMPARE(asked.buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(asked.defaultButton, Dialogs::Button::Yes);
    QCOMPARE(
        filesIn(f.path(QStringLiteral("A/B"))),
        (QStringList{QStringLiteral("x.code"), QStringLiteral("x.txt"), QStringLiteral("y.code")}));
    QCOMPARE(f.entries(), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
    QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("Café\n"));

    f.dialogs->buttons = {Dialogs::Button::Yes};
    ui(w).mnuDeleteFile->trigger();
    QCOMPARE(filesIn(f.path(QStringLiteral("A/B"))),
             (QStringList{QStringLiteral("x.txt"), QStringLiteral("y.code")}));
    QCOMPARE(f.readFile(QStringLiteral("A/x.code")), QByteArray("outer x"));
    QCOMPARE(f.entries(), QStringList{QStringLiteral("y")});
    QVERIFY(ui(w).txtCodeFile->text().isEmpty());
    QCOMPARE(w.textEncoding(), SnippetCodec::NewTextEncoding);
    QCOMPARE(w.textLineEnd(), SnippetCodec::NewTextLineEnd);

    // The last one: the list ends empty and the next right click shows the entry greyed.
    f.clickEntry(QStringLiteral("y"));
    f.dialogs->buttons = {Dialogs::Button::Yes};
    ui(w).mnuDeleteFile->trigger();
    QVERIFY(f.entries().isEmpty());
    QCOMPARE(filesIn(f.path(QStringLiteral("A/B"))), QStringList{QStringLiteral("x.txt")});
    QVERIFY(!rightClickListShowsEnabledDelete(w));
    QVERIFY(!f.dialogs->messages().isEmpty());
    for (const auto& s : f.dialogs->messages())
        QCOMPARE(s.message.title, QStringLiteral("Delete File"));
}

void TestSnippets::deleteFailuresChangeNothing() {
    WindowFixture f;
    put(f, QStringLiteral("Cat/a.code"), "a");
    put(f, QStringLiteral("Cat/b.code"), "b");
    f.makeFolder(QStringLiteral("Other"));
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("Cat"));
    const QStringList entries = f.entries();

    auto failsNaming = [&](const QString& named, const QString& reason, bool asks) {
        ui(w).txtCodeFile->setText(QStringLiteral("kept"));
        f.dialogs->clear();
        f.dialogs->buttons = {Dialogs::Button::Yes};
        ui(w).mnuDeleteFile->trigger();
        const auto messages = f.dialogs->messages();
        QCOMPARE(messages.size(), asks ? 2 : 1);
        const auto m = messages.last().message;
        QCOMPARE(m.icon, Dialogs::Icon::Error);
        QVERIFY2(m.text.contains(named), qPrintable(m.text));
        QVERIFY2(m.text.contains(reason, Qt::CaseInsensitive), qPrintable(m.text));
        QCOMPARE(f.entries(), entries);
        QCOMPARE(ui(w).txtCodeFile->text(), QStringLiteral("kept"));
    };

    // None selected.
    failsNaming(QString(), QStringLiteral("no code file is selected"), false);
    QCOMPARE(filesIn(f.path(QStringLiteral("Cat"))).size(), 2);

    // Immutable folder.
    f.clickEntry(QStringLiteral("a"));
    {
        Immutable frozen(f.path(QStringLiteral("Cat")));
        if (!frozen.on())
            QSKIP("chattr +i is not available here");
        QVERIFY2(
            !QFile(f.path(QStringLiteral("Cat/a.code"))).copy(f.path(QStringLiteral("Cat/c.code"))),
            "the folder is still writable");
        failsNaming(f.path(QStringLiteral("Cat/a.code")), QStringLiteral("not permitted"), true);
    }
    QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")), QByteArray("a"));

    // The file removed behind the program's back.
    f.clickEntry(QStringLiteral("b"));
    QVERIFY(QFile::remove(f.path(QStringLiteral("Cat/b.code"))));
    failsNaming(f.path(QStringLiteral("Cat/b.code")), QStringLiteral("no such file"), true);

    // The selected node is not the list's category, or is the root.
    f.clickEntry(QStringLiteral("a"));
    for (const QString& key : {QStringLiteral("Other"), QStringLiteral("root")}) {
        {
            const QSignalBlocker blocker(ui(w).tvwFolders);
            ui(w).tvwFolders->setCurrentItem(f.node(key));
        }
        failsNaming(QStringLiteral("a.code"), QString(), false);
        QCOMPARE(f.readFile(QStringLiteral("Cat/a.code")), QByteArray("a"));
    }
}

void TestSnippets::popupActsOnWhatItPointsAt_data() {
    QTest::addColumn<bool>("tree");
    QTest::addColumn<QString>("pointAt"); // a node's key or an entry's text; empty: below them
    QTest::addColumn<QString>("heldAfterClick");
    QTest::addColumn<QString>("gone");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("list, another entry") << false << "y"
                                         << "A/y.code"
                                         << "A/y.code" << QStringList{"A/x.code", "B/b.code"};
    QTest::newRow("list, the open entry") << false << "x"
                                          << "A/x.code"
                                          << "A/x.code" << QStringList{"A/y.code", "B/b.code"};
    QTest::newRow("list, empty area") << false << ""
                                      << "A/x.code"
                                      << "A/x.code" << QStringList{"A/y.code", "B/b.code"};
    QTest::newRow("tree, another category") << true << "B"
                                            << "A/x.code"
                                            << "B" << QStringList{"A/x.code", "A/y.code"};
    QTest::newRow("tree, empty area") << true << ""
                                      << "A/x.code"
                                      << "A" << QStringList{"B/b.code"};
}

void TestSnippets::popupActsOnWhatItPointsAt() {
    QFETCH(bool, tree);
    QFETCH(QString, pointAt);
    QFETCH(QString, heldAfterClick);
    QFETCH(QString, gone);
    QFETCH(QStringList, kept);
    WindowFixture f;
    put(f, QStringLiteral("A/x.code"), "x");
    put(f, QStringLiteral("A/y.code"), "y");
    put(f, QStringLiteral("B/b.code"), "b");
    frmMain& w = f.open();
    f.clickNode(QStringLiteral("A"));
    f.clickEntry(QStringLiteral("x"));
    // Unsaved edits: a right click on the open entry keeps them.
    ui(w).txtCodeFile->setText(QStringLiteral("x edited"));
    const QString edited = ui(w).txtCodeFile->text();

    QTreeWidget* view = tree ? ui(w).tvwFolders : ui(w).lstCode;
    QMenu* popup = tree ? ui(w).mnuFolderPopup : ui(w).mnuCodePopup;
    QTreeWidgetItem* target = pointAt.isEmpty() ? nullptr
                              : tree            ? f.node(pointAt)
                                                : f.entry(pointAt);
    QVERIFY(pointAt.isEmpty() || target);
    const QPoint at =
        target ? view->visualItemRect(target).center() : QPoint(5, view->viewport()->height() - 5);
    QVERIFY(!view->itemAt(at) == !target);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
    QTRY_VERIFY(popup->isVisible());
    QVERIFY(!ui(w).txtCodeFile->isLoading());

    // What the pop-up acts on is selected, and the list's selection is what the editor holds.
    if (tree)
        QCOMPARE(
            ui(w).tvwFolders->selectedItems(),
            QList<QTreeWidgetItem*>{f.node(pointAt.isEmpty() ? QStringLiteral("A") : pointAt)});
    const QList<QTreeWidgetItem*> entries = ui(w).lstCode->selectedItems();
    if (!entries.isEmpty())
        QCOMPARE(w.heldFile(),
                 f.path(QStringLiteral("A/") + entries.first()->text(0) + QStringLiteral(".code")));
    else
        QVERIFY(tree && !pointAt.isEmpty());
    QCOMPARE(w.heldFile(), f.path(heldAfterClick));
    if (heldAfterClick == QStringLiteral("A/x.code"))
        QCOMPARE(ui(w).txtCodeFile->text(), edited);
    else
        QCOMPARE(ui(w).txtCodeFile->text(), QString::fromLatin1(f.readFile(heldAfterClick)));

    f.dialogs->clear();
    f.dialogs->buttons = {Dialogs::Button::Yes};
    QAction* command = tree ? ui(w).mnuRemoveCategory : ui(w).mnuDeleteFile;
    QVERIFY(command->isEnabled());
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(command).center());
    QTRY_VERIFY(!popup->isVisible());
    QTRY_COMPARE(f.dialogs->shown.size(), 1);
    QVERIFY(!QFileInfo::exists(f.path(gone)));
    for (const QString& path : kept)
        QVERIFY2(QFileInfo::exists(f.path(path)), qPrintable(path));
}

QTEST_MAIN(TestSnippets)
#include "test_snippets.moc"
