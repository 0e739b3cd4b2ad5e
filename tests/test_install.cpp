// SPDX-License-Identifier: MIT
// The program as `cmake --install` lays it out, with the user's and the system's data folders
// pointed at temporary ones.

#include "app/frmmain.h"
#include "editor/codeeditor.h"
#include "editor/colours.h"
#include "library/libraryfs.h"
#include "library/locations.h"
#include "tests/support/faults.h"
#include "tests/support/mainwindowparts.h"
#include "tests/support/scripteddialogs.h"
#include "windows/programicon.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString AppId = QStringLiteral(QUILLARY_APP_ID);

// Every path under a folder with its size and time, to see that nothing was written there.
QStringList snapshot(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        out.append(QStringLiteral("%1 %2 %3")
                       .arg(info.filePath())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch()));
    }
    out.sort();
    return out;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void installedFiles_data();
    void installedFiles();
    void scalableIconIsTheWindowPicture();
    void installedProgramStarts();
    void keywordList_data();
    void keywordList();
    void libraryBesideProgramWins();
    void unwritableDataFolder();

private:
    // The window as main() opens it: locations worked out from the environment.
    std::unique_ptr<frmMain> openAsInstalled();

    QTemporaryDir m_root{QDir::tempPath() + QStringLiteral("/quillary-install-XXXXXX")};
    QString m_prefix;
    QString m_dataHome;   // $XDG_DATA_HOME
    QString m_userFolder; // the program's folder in it
    ScriptedDialogs* m_dialogs = nullptr;
    int m_case = 0;
};

void TestInstall::initTestCase() {
    QVERIFY(m_root.isValid());
    m_prefix = m_root.path() + QStringLiteral("/prefix");
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(QUILLARY_BUILD_DIR),
                   QStringLiteral("--prefix"), m_prefix});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             install.readAll().constData());
}

// Fresh data folders for each test; the system's are an empty one and the prefix's share/.
void TestInstall::init() {
    const QString base = m_root.path() + QStringLiteral("/case%1").arg(++m_case);
    m_dataHome = base + QStringLiteral("/data");
    m_userFolder = m_dataHome + QStringLiteral("/quillary");
    QVERIFY(QDir().mkpath(base + QStringLiteral("/system")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(base + QStringLiteral("/system:") + m_prefix +
                                               QStringLiteral("/share")));
}

std::unique_ptr<frmMain> TestInstall::openAsInstalled() {
    LibraryFs probe(LibraryLocations{});
    const LibraryLocations locations =
        resolveLocations(locationSearch(m_prefix + QStringLiteral("/bin")), probe);
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    auto window = std::make_unique<frmMain>(locations, std::move(dialogs));
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("main window not exposed");
    return window;
}

void TestInstall::installedFiles_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("pixels"); // an icon's width and height; 0 for other files
    const QString icons = QStringLiteral("share/icons/hicolor/");
    QTest::newRow("program") << QStringLiteral("bin/quillary") << 0;
    QTest::newRow("keyword list") << QStringLiteral("share/quillary/wordlist.dat") << 0;
    QTest::newRow("menu entry") << QStringLiteral("share/applications/%1.desktop").arg(AppId) << 0;
    QTest::newRow("metainfo") << QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId) << 0;
    QTest::newRow("readme") << QStringLiteral("share/doc/quillary/README.md") << 0;
    QTest::newRow("licence") << QStringLiteral("share/doc/quillary/LICENSE") << 0;
    QTest::newRow("a grammar's licence")
        << QStringLiteral("share/doc/quillary/grammars/tree-sitter-sql-0.3.11.LICENSE") << 0;
    for (const int size : {48, 128, 256})
        QTest::addRow("icon %d", size)
            << icons + QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(AppId) << size;
}

void TestInstall::installedFiles() {
    QFETCH(QString, path);
    QFETCH(int, pixels);
    const QFileInfo info(m_prefix + QLatin1Char('/') + path);
    QVERIFY2(info.isFile() && info.size() > 0, qPrintable(path));
    if (pixels > 0)
        QCOMPARE(QImage(info.filePath()).size(), QSize(pixels, pixels));
}

void TestInstall::scalableIconIsTheWindowPicture() {
    // A broken view box or a lost shape shows here.
    QSvgRenderer svg(m_prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/") + AppId +
                     QStringLiteral(".svg"));
    QVERIFY(svg.isValid());
    QImage drawn(64, 64, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    {
        QPainter painter(&drawn);
        svg.render(&painter);
    }
    const QImage window = programImage(64);
    int differing = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            differing += qAbs(qAlpha(drawn.pixel(x, y)) - qAlpha(window.pixel(x, y))) > 128 ||
                         qAbs(qGray(drawn.pixel(x, y)) - qGray(window.pixel(x, y))) > 64;
    QVERIFY2(differing < 64 * 64 / 50, qPrintable(QString::number(differing)));
}

void TestInstall::installedProgramStarts() {
    const QStringList before = snapshot(m_prefix);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), m_root.path() + QStringLiteral("/home"));
    program.setProcessEnvironment(env);
    program.start(m_prefix + QStringLiteral("/bin/quillary"), {});
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
    const QString library = m_userFolder + QStringLiteral("/Code");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(library).isDir(), 30000);
    QTest::qWait(500); // anything else start-up would write
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
    QCOMPARE(snapshot(m_prefix), before);
}

void TestInstall::keywordList_data() {
    QTest::addColumn<QByteArray>("ownList"); // the user's own list; empty: none
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("plainWord");
    QTest::newRow("installed list")
        << QByteArray() << QStringLiteral("Dim") << QStringLiteral("Zebra");
    QTest::newRow("own list wins")
        << QByteArray("zebra\n") << QStringLiteral("Zebra") << QStringLiteral("Dim");
}

void TestInstall::keywordList() {
    QFETCH(QByteArray, ownList);
    QFETCH(QString, keyword);
    QFETCH(QString, plainWord);
    if (!ownList.isEmpty())
        QVERIFY(writeBytes(m_userFolder + QStringLiteral("/wordlist.dat"), ownList));
    const auto w = openAsInstalled();
    ui(*w).txtCodeFile->setText(keyword + QLatin1Char(' ') + plainWord);
    w->ColorCode();
    QCOMPARE(ui(*w).txtCodeFile->colourAt(0), Colours::Keyword);
    QCOMPARE(ui(*w).txtCodeFile->colourAt(int(keyword.size()) + 1), Colours::Default);
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestInstall::libraryBesideProgramWins() {
    const QString beside = m_prefix + QStringLiteral("/bin/Code");
    QVERIFY(QDir().mkpath(beside + QStringLiteral("/Portable")));
    {
        const auto w = openAsInstalled();
        QVERIFY(w->nodeByKey(QStringLiteral("Portable")));
        QVERIFY(m_dialogs->shown.isEmpty());
    }
    QVERIFY(QDir(beside).removeRecursively());
    QVERIFY(!QFileInfo::exists(m_dataHome));
}

void TestInstall::unwritableDataFolder() {
    QVERIFY(QDir().mkpath(m_userFolder));
    Immutable locked(m_userFolder);
    if (!locked.on())
        QSKIP("chattr +i does not work here");
    QVERIFY2(!canCreateIn(m_userFolder), "the folder is still writable: the fault is not real");
    const auto w = openAsInstalled();
    QVERIFY(w->isVisible());
    QCOMPARE(w->rootNode()->childCount(), 0);
    QCOMPARE(m_dialogs->shown.size(), 1);
    const Dialogs::Message m = m_dialogs->shown.first().message;
    QCOMPARE(m.icon, Dialogs::Icon::Error);
    QCOMPARE(m.text, QStringLiteral("The library folder \"%1/Code\" cannot be created: %2.")
                         .arg(m_userFolder, qt_error_string(EPERM)));
}

QTEST_MAIN(TestInstall)
#include "test_install.moc"
