// SPDX-License-Identifier: MIT
// The program in each language, as the desktop's environment chooses it: each row runs this
// executable again in that environment, where it opens the real window and reports what it shows.
#include "app/dialogs.h"
#include "app/frmmain.h"
#include "app/language.h"
#include "tests/support/scripteddialogs.h"
#include "windows/frmabout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <cstdio>
#include <sys/wait.h>

namespace {

const char ProbeVariable[] = "QUILLARY_TRANSLATION_PROBE";

QJsonArray texts(const QList<QAction*>& actions) {
    QJsonArray out;
    for (const QAction* action : actions) {
        if (!action->isSeparator())
            out.append(QJsonArray{action->objectName(), action->text()});
    }
    return out;
}

// The child: the window in the language the environment asks for, and what a user would read.
int probe() {
    Language::install(Language::fromDesktop());
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/Code/Strings"));
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* dialogs = scripted.get();
    dialogs->buttons = {Dialogs::Button::No};
    QJsonObject report;
    {
        frmMain window(dir.path(), std::move(scripted));
        window.show();
        report[QStringLiteral("menubar")] = texts(window.menuBar()->actions());
        QJsonObject menus;
        for (const QMenu* menu : window.findChildren<QMenu*>())
            menus[menu->objectName()] = texts(menu->actions());
        report[QStringLiteral("menus")] = menus;

        auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("tvwFolders"));
        tree->setCurrentItem(window.nodeByKey(QStringLiteral("Strings")));
        window.findChild<QAction*>(QStringLiteral("mnuRemoveCat"))->trigger();
        if (!dialogs->shown.isEmpty()) {
            const Dialogs::Message& asked = dialogs->shown.first().message;
            report[QStringLiteral("question")] = QJsonArray{asked.title, asked.text};
            QJsonArray buttons;
            const auto box = WidgetDialogs::messageBox(asked, &window);
            for (const QAbstractButton* button : box->buttons())
                buttons.append(button->text());
            report[QStringLiteral("buttons")] = buttons;
        }
        frmAbout about(&window);
        report[QStringLiteral("about")] = about.windowTitle();
    }
    std::fputs(QJsonDocument(report).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputs("\n", stdout);
    return 0;
}

// A shell command's output and exit code. Through popen, as the other tests run commands:
// ThreadSanitizer's runtime cannot follow QProcess's clone().
QByteArray shell(const QStringList& words, int& exitCode) {
    QString command;
    for (QString word : words) {
        word.replace(u'\'', QStringLiteral("'\\''"));
        command += u'\'' + word + QStringLiteral("' ");
    }
    QByteArray out;
    exitCode = -1;
    if (FILE* pipe = ::popen((command + QStringLiteral("2>&1")).toUtf8().constData(), "r")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = ::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, qsizetype(got));
        const int status = ::pclose(pipe);
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return out;
}

// The letters after single ampersands, which must differ within one menu.
QString accelerators(const QString& text) {
    QString out;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            out += text[i + 1].toLower();
        ++i;
    }
    return out;
}

QStringList placeholders(const QString& text) {
    QStringList out;
    for (const QRegularExpressionMatch& m :
         QRegularExpression(QStringLiteral("%(\\d+)")).globalMatch(text))
        out.append(m.captured());
    out.sort();
    return out;
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT
private slots:
    void languages_data();
    void languages();
    void catalogues();
};

void TestTranslations::languages_data() {
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("menubar");
    QTest::addColumn<QStringList>("question"); // title, text
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("about");

    const QStringList english{QStringLiteral("&File"), QStringLiteral("&Edit"),
                              QStringLiteral("&Help")};
    const QStringList englishQuestion{
        QStringLiteral("Delete Category"),
        QStringLiteral(
            "Are you sure you want to delete this category and all the code snippets within?")};
    const QStringList englishButtons{QStringLiteral("&Yes"), QStringLiteral("&No")};
    const QStringList german{QStringLiteral("&Datei"), QStringLiteral("&Bearbeiten"),
                             QStringLiteral("&Hilfe")};
    const QStringList germanQuestion{
        QStringLiteral("Kategorie löschen"),
        QStringLiteral("Möchten Sie diese Kategorie und alle darin "
                       "enthaltenen Code-Schnipsel wirklich löschen?")};
    const QStringList germanButtons{QStringLiteral("&Ja"), QStringLiteral("&Nein")};

    QTest::newRow("C") << QStringList{QStringLiteral("LANG=C")} << english << englishQuestion
                       << englishButtons << QStringLiteral("About Quillary™");
    QTest::newRow("de_DE.UTF-8") << QStringList{QStringLiteral("LANG=de_DE.UTF-8")} << german
                                 << germanQuestion << germanButtons
                                 << QStringLiteral("Über Quillary™");
    QTest::newRow("es_ES.UTF-8")
        << QStringList{QStringLiteral("LANG=es_ES.UTF-8")}
        << QStringList{QStringLiteral("&Archivo"), QStringLiteral("&Editar"),
                       QStringLiteral("Ay&uda")}
        << QStringList{QStringLiteral("Eliminar categoría"),
                       QStringLiteral("¿Seguro que quiere eliminar esta categoría y todos los "
                                      "fragmentos de código que contiene?")}
        << QStringList{QStringLiteral("&Sí"), QStringLiteral("&No")}
        << QStringLiteral("Acerca de Quillary™");
    QTest::newRow("LANGUAGE=de:en under C.UTF-8")
        << QStringList{QStringLiteral("LANG=C.UTF-8"), QStringLiteral("LANGUAGE=de:en")} << german
        << germanQuestion << germanButtons << QStringLiteral("Über Quillary™");
    // gettext's rule: the C locale speaks English whatever LANGUAGE asks.
    QTest::newRow("LANGUAGE=es under C")
        << QStringList{QStringLiteral("LANG=C"), QStringLiteral("LANGUAGE=es")} << english
        << englishQuestion << englishButtons << QStringLiteral("About Quillary™");
}

void TestTranslations::languages() {
    QFETCH(QStringList, environment);
    QFETCH(QStringList, menubar);
    QFETCH(QStringList, question);
    QFETCH(QStringList, buttons);
    QFETCH(QString, about);

    // The desktop's settings are dropped, then the row's set, as a session would start the program.
    QStringList command{QStringLiteral("env")};
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        command << QStringLiteral("-u") << QLatin1String(name);
    command << environment << QLatin1String(ProbeVariable) + QStringLiteral("=1")
            << QStringLiteral("QT_QPA_PLATFORM=offscreen")
            << QCoreApplication::applicationFilePath();
    int exitCode = -1;
    const QByteArray output = shell(command, exitCode);
    QVERIFY2(exitCode == 0, output.constData());
    // The report is the last line; Qt's warnings may come before it.
    const QJsonObject report =
        QJsonDocument::fromJson(output.trimmed().split('\n').last()).object();
    QVERIFY2(!report.isEmpty(), output.constData());

    QStringList bar;
    for (const QJsonValue& item : report[QStringLiteral("menubar")].toArray())
        bar.append(item.toArray().at(1).toString());
    QCOMPARE(bar, menubar);
    const QJsonArray asked = report[QStringLiteral("question")].toArray();
    QCOMPARE((QStringList{asked.at(0).toString(), asked.at(1).toString()}), question);
    QStringList shownButtons;
    for (const QJsonValue& b : report[QStringLiteral("buttons")].toArray())
        shownButtons.append(b.toString());
    shownButtons.sort();
    buttons.sort();
    QCOMPARE(shownButtons, buttons);
    QCOMPARE(report[QStringLiteral("about")].toString(), about);

    // Every menu, and the menu bar, keeps its keyboard letters apart.
    QJsonObject menus = report[QStringLiteral("menus")].toObject();
    menus[QStringLiteral("menu bar")] = report[QStringLiteral("menubar")];
    QStringList clashes;
    for (auto menu = menus.begin(); menu != menus.end(); ++menu) {
        QString seen;
        for (const QJsonValue& item : menu.value().toArray()) {
            const QString text = item.toArray().at(1).toString();
            for (const QChar letter : accelerators(text)) {
                if (seen.contains(letter))
                    clashes.append(menu.key() + QStringLiteral(": ") + text);
                seen += letter;
            }
        }
    }
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QStringLiteral("; "))));

    // Under C, today's English, byte for byte, for every menu item the program has had.
    if (environment.first() == u"LANG=C") {
        const QStringList expected{
            QStringLiteral("mnuSave=&Save"),
            QStringLiteral("mnuSaveAs=Save &As"),
            QStringLiteral("mnuAddCat=Add Category"),
            QStringLiteral("mnuRemoveCat=Remove Category"),
            QStringLiteral("mnuQuit=&Quit"),
            QStringLiteral("mnuAddCategory=&Add Category"),
            QStringLiteral("mnuRemoveCategory=&Remove Category"),
            QStringLiteral("mnuDeleteFile=&Delete Code File"),
            QStringLiteral("mnuCodeHistory=Snippet &History..."),
            QStringLiteral("mnuCodeDeletedSnippets=Delet&ed Snippets..."),
            QStringLiteral("mnuUndo=&Undo"),
            QStringLiteral("mnuDelete=&Delete"),
            QStringLiteral("mnuCut=Cu&t"),
            QStringLiteral("mnuCopy=&Copy"),
            QStringLiteral("mnuPaste=&Paste"),
            QStringLiteral("mnuComment=Comment"),
            QStringLiteral("mnuFind=&Find Snippets..."),
            QStringLiteral("mnuHistory=Snippet &History..."),
            QStringLiteral("mnuDeletedSnippets=Delet&ed Snippets..."),
            QStringLiteral("mnuCommentSelected=Selected Text"),
            QStringLiteral("mnuCommentWholeLine=Whole Line"),
            QStringLiteral("mnuCommentFromHere=To End of Line"),
            QStringLiteral("mnuContents=&Contents"),
            QStringLiteral("mnuAbout=&About"),
        };
        QStringList shown;
        for (const QJsonValue& menu : menus) {
            for (const QJsonValue& item : menu.toArray())
                shown.append(item.toArray().at(0).toString() + u'=' +
                             item.toArray().at(1).toString());
        }
        for (const QString& item : expected)
            QVERIFY2(shown.contains(item), qPrintable(item));
    }
}

// lupdate over the sources into copies of the catalogues: a text without its translation in
// either language, or a translation whose placeholders or accelerators differ, fails here.
void TestTranslations::catalogues() {
    QTemporaryDir dir;
    const QString source = QStringLiteral(QUILLARY_SOURCE_DIR);
    QStringList arguments;
    for (const char* folder : {"app", "windows", "editor", "library", "search", "history"})
        arguments.append(source + u'/' + QLatin1String(folder));
    // As the update_translations target runs it, so both read the same contexts.
    arguments << QStringLiteral("-I") << source << QStringLiteral("-extensions")
              << QStringLiteral("cpp,h") << QStringLiteral("-no-obsolete")
              << QStringLiteral("-locations") << QStringLiteral("none") << QStringLiteral("-ts");
    const QStringList catalogues =
        QDir(source + QStringLiteral("/translations")).entryList({QStringLiteral("quillary_*.ts")});
    QVERIFY(catalogues.size() >= 2);
    for (const QString& name : catalogues) {
        QVERIFY(QFile::copy(source + QStringLiteral("/translations/") + name, dir.filePath(name)));
        QFile::setPermissions(dir.filePath(name), QFile::ReadOwner | QFile::WriteOwner);
        arguments.append(dir.filePath(name));
    }
    int exitCode = -1;
    const QByteArray output =
        shell(QStringList{QStringLiteral(QUILLARY_LUPDATE)} + arguments, exitCode);
    QVERIFY2(exitCode == 0, output.constData());

    QStringList faults;
    for (const QString& name : catalogues) {
        const QString language = name.section(u'_', 1).section(u'.', 0, 0);
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString text;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"source") {
                text = xml.readElementText();
            } else if (xml.name() == u"translation") {
                ++messages;
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                const QString translation = xml.readElementText();
                const QString where =
                    language + QStringLiteral(": \"") + text + QStringLiteral("\" ");
                if (!type.isEmpty() || translation.isEmpty())
                    faults.append(where + QStringLiteral("has no translation"));
                else if (placeholders(translation) != placeholders(text))
                    faults.append(where + QStringLiteral("has other placeholders"));
                else if (accelerators(translation).size() != accelerators(text).size())
                    faults.append(where + QStringLiteral("has other accelerators"));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 100);
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet(ProbeVariable)) {
        QApplication app(argc, argv);
        return probe();
    }
    QApplication app(argc, argv);
    TestTranslations test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_translations.moc"
