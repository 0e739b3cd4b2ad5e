// SPDX-License-Identifier: MIT
#include "library/libraryfs.h"
#include "library/locations.h"
#include "library/names.h"
#include "tests/support/faults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using Outcome = LibraryFs::RemoveOutcome;
Q_DECLARE_METATYPE(LibraryFs::CreateOutcome)

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool makeFolder(const QString& path) {
    return QDir().mkpath(path);
}

bool makeLink(const QString& target, const QString& link) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) ==
           0;
}

bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestLibraryFs : public QObject {
    Q_OBJECT

private slots:
    void paths();
    void locationSearchFromEnvironment_data();
    void locationSearchFromEnvironment();
    void resolveLocations_data();
    void resolveLocations();
    void forbiddenNames_data();
    void forbiddenNames();
    void refusalTexts();
    void snippetNameOfFile_data();
    void snippetNameOfFile();
    void saveAsNames_data();
    void saveAsNames();

    void listingSortsAndSeparatesFoldersFromFiles();
    void listingFailsWithReason();
    void readFile();
    void readFileRefusesFifoWithoutBlocking();
    void createFolder();
    void ensureLibraryFolder();

    void writeNewAndReplace();
    void writeThroughLinkKeepsLink();
    void writeIntoImmutableFolderKeepsOldFile();
    void writeOntoFullDiskKeepsOldFile();

    void removeFileAndFolder();
    void removeCategoryDeletesSnippetsOnly_data();
    void removeCategoryDeletesSnippetsOnly();
    void outsideTheLibraryIsRefused();
    void removeCategoryRefusesSubfolders_data();
    void removeCategoryRefusesSubfolders();
    void removeCategoryImmutableFolderDeletesNothing();
    void removeCategoryStopsAtFirstFailure();
    void removeCategoryMissingAndOddPaths();
    void removeCategoryLinkRemovesOnlyLink();

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/quillary-fs-XXXXXX")};
    int m_case = 0;
    // A fresh program folder for each test.
    QString freshFolder() {
        const QString path = m_dir.path() + QStringLiteral("/case%1").arg(++m_case);
        QDir().mkpath(path);
        return path;
    }
};

void TestLibraryFs::paths() {
    LibraryFs fs(QStringLiteral("/opt/quillary"));
    QCOMPARE(fs.libraryPath(), QStringLiteral("/opt/quillary/Code/"));
    QCOMPARE(fs.keywordFilePath(), QStringLiteral("/opt/quillary/wordlist.dat"));
    QCOMPARE(fs.categoryFolder(QStringLiteral("Web")), QStringLiteral("/opt/quillary/Code/Web"));
    QCOMPARE(fs.subCategoryFolder(QStringLiteral("Web"), QStringLiteral("Forms")),
             QStringLiteral("/opt/quillary/Code/Web/Forms"));
    QCOMPARE(LibraryFs::fileInFolder(QStringLiteral("/a/B"), QStringLiteral("x.code.code")),
             QStringLiteral("/a/B/x.code.code"));
    QCOMPARE(LibraryFs::fileInFolder(QStringLiteral("/a/Code/"), QStringLiteral("wordlist")),
             QStringLiteral("/a/Code/wordlist"));

    LibraryFs atRoot(QStringLiteral("/"));
    QCOMPARE(atRoot.libraryPath(), QStringLiteral("/Code/"));
}

void TestLibraryFs::locationSearchFromEnvironment_data() {
    QTest::addColumn<QByteArray>("dataHome"); // unset when empty
    QTest::addColumn<QByteArray>("dataDirs"); // unset when empty
    QTest::addColumn<QString>("userFolder");
    QTest::addColumn<QStringList>("installedFolders");
    const QString home = QDir::homePath();
    const QString own = QStringLiteral("/opt/q/share/quillary");
    QTest::newRow("set") << QByteArray("/h/data") << QByteArray("/a:/b/") << "/h/data/quillary"
                         << QStringList{"/a/quillary", "/b/quillary", own};
    QTest::newRow("defaults") << QByteArray() << QByteArray() << home + "/.local/share/quillary"
                              << QStringList{"/usr/local/share/quillary", "/usr/share/quillary",
                                             own};
    QTest::newRow("prefix among them") << QByteArray("/h") << QByteArray("/opt/q/share:/usr/share")
                                       << "/h/quillary" << QStringList{own, "/usr/share/quillary"};
}

void TestLibraryFs::locationSearchFromEnvironment() {
    QFETCH(QByteArray, dataHome);
    QFETCH(QByteArray, dataDirs);
    QFETCH(QString, userFolder);
    QFETCH(QStringList, installedFolders);
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    const QByteArray savedDirs = qgetenv("XDG_DATA_DIRS");
    dataHome.isEmpty() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", dataHome);
    dataDirs.isEmpty() ? qunsetenv("XDG_DATA_DIRS") : qputenv("XDG_DATA_DIRS", dataDirs);
    const LocationSearch search = locationSearch(QStringLiteral("/opt/q/bin"));
    qputenv("XDG_DATA_HOME", savedHome);
    qputenv("XDG_DATA_DIRS", savedDirs);
    QCOMPARE(search.programFolder, QStringLiteral("/opt/q/bin"));
    QCOMPARE(QDir::cleanPath(search.userFolder), userFolder);
    QStringList cleaned;
    for (const QString& folder : search.installedFolders)
        cleaned.append(QDir::cleanPath(folder));
    QCOMPARE(cleaned, installedFolders);
}

void TestLibraryFs::resolveLocations_data() {
    // What exists, by short names: "Code" and "Code-file" beside the program, and a keyword list
    // in "user", "beside", "sys1", "sys2".
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("library");     // "beside" or "user"
    QTest::addColumn<QString>("keywordFile"); // where the list is taken from
    QTest::newRow("nothing yet") << QStringList{} << "user"
                                 << "user";
    QTest::newRow("library beside") << QStringList{"Code"} << "beside"
                                    << "user";
    QTest::newRow("a file named Code") << QStringList{"Code-file"} << "user"
                                       << "user";
    QTest::newRow("second system folder") << QStringList{"sys2"} << "user"
                                          << "sys2";
    QTest::newRow("first system folder wins") << QStringList{"sys1", "sys2"} << "user"
                                              << "sys1";
    QTest::newRow("beside beats installed") << QStringList{"beside", "sys1"} << "user"
                                            << "beside";
    QTest::newRow("own list beats all") << QStringList{"Code", "user", "beside", "sys1"} << "beside"
                                        << "user";
}

void TestLibraryFs::resolveLocations() {
    QFETCH(QStringList, present);
    QFETCH(QString, library);
    QFETCH(QString, keywordFile);
    const QString root = freshFolder();
    const QHash<QString, QString> folders = {{"beside", root + "/bin"},
                                             {"user", root + "/data/quillary"},
                                             {"sys1", root + "/sys1/quillary"},
                                             {"sys2", root + "/sys2/quillary"}};
    for (const QString& folder : folders)
        QVERIFY(makeFolder(folder));
    for (const QString& what : present) {
        if (what == QStringLiteral("Code"))
            QVERIFY(makeFolder(folders["beside"] + "/Code"));
        else if (what == QStringLiteral("Code-file"))
            QVERIFY(writeBytes(folders["beside"] + "/Code", "x"));
        else
            QVERIFY(writeBytes(folders[what] + "/wordlist.dat", "dim"));
    }
    LibraryFs probe(LibraryLocations{});
    const LibraryLocations found = ::resolveLocations(
        {folders["beside"], folders["user"], {folders["sys1"], folders["sys2"]}}, probe);
    QCOMPARE(found.library, folders[library] + "/Code/");
    QCOMPARE(found.keywordFile, folders[keywordFile] + "/wordlist.dat");
}

void TestLibraryFs::forbiddenNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("forbidden");
    QTest::newRow("plain") << QStringLiteral("Blah") << false;
    QTest::newRow("spaces and dots") << QStringLiteral(" a.b. ") << false;
    QTest::newRow("three dots") << QStringLiteral("...") << false;
    QTest::newRow("dot") << QStringLiteral(".") << true;
    QTest::newRow("dot dot") << QStringLiteral("..") << true;
    const QString nine = QStringLiteral("\\/:*?\"<>|");
    for (QChar c : nine)
        QTest::addRow("holds %c", c.toLatin1())
            << (QStringLiteral("a") + c + QStringLiteral("b")) << true;
    QTest::newRow("escape upwards") << QStringLiteral("../../etc") << true;
}

void TestLibraryFs::forbiddenNames() {
    QFETCH(QString, name);
    QFETCH(bool, forbidden);
    QCOMPARE(Names::isForbidden(name), forbidden);
}

void TestLibraryFs::refusalTexts() {
    const QString second = QStringLiteral("                \\ / : * ? \" < > |");
    QCOMPARE(Names::categoryRefusalText(),
             QStringLiteral("A category name cannot include any of the following characters:\n") +
                 second);
    QCOMPARE(Names::snippetRefusalText(),
             QStringLiteral("A file name cannot include any of the following characters:\n") +
                 second);
}

void TestLibraryFs::snippetNameOfFile_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("isSnippet");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("loop.code") << true << QStringLiteral("loop");
    QTest::newRow("double ending")
        << QStringLiteral("x.code.code") << true << QStringLiteral("x.code");
    QTest::newRow("ending alone") << QStringLiteral(".code") << true << QString();
    QTest::newRow("capitals") << QStringLiteral("x.CODE") << false << QString();
    QTest::newRow("mixed case") << QStringLiteral("x.Code") << false << QString();
    QTest::newRow("other file") << QStringLiteral("readme.txt") << false << QString();
    QTest::newRow("no dot") << QStringLiteral("xcode") << false << QString();
    QTest::newRow("short") << QStringLiteral("code") << false << QString();
}

void TestLibraryFs::snippetNameOfFile() {
    QFETCH(QString, file);
    QFETCH(bool, isSnippet);
    QFETCH(QString, name);
    const QString result = Names::snippetNameOfFile(file);
    QCOMPARE(!result.isNull(), isSnippet);
    if (isSnippet)
        QCOMPARE(result, name);
}

void TestLibraryFs::saveAsNames_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("entry");
    QTest::newRow("default") << QStringLiteral("untitled.code") << QStringLiteral("untitled.code")
                             << QStringLiteral("untitled");
    QTest::newRow("bare") << QStringLiteral("loop") << QStringLiteral("loop.code")
                          << QStringLiteral("loop");
    QTest::newRow("capital ending")
        << QStringLiteral("loop.CODE") << QStringLiteral("loop.CODE.code")
        << QStringLiteral("loop.CODE");
    QTest::newRow("inner dot") << QStringLiteral("a.b") << QStringLiteral("a.b.code")
                               << QStringLiteral("a.b");
    QTest::newRow("ending alone") << QStringLiteral(".code") << QStringLiteral(".code")
                                  << QString();
    QTest::newRow("short") << QStringLiteral("abc") << QStringLiteral("abc.code")
                           << QStringLiteral("abc");
    QTest::newRow("double") << QStringLiteral("x.code.code") << QStringLiteral("x.code.code")
                            << QStringLiteral("x.code");
    QTest::newRow("spaces kept") << QStringLiteral(" a ") << QStringLiteral(" a .code")
                                 << QStringLiteral(" a ");
}

void TestLibraryFs::saveAsNames() {
    QFETCH(QString, answer);
    QFETCH(QString, file);
    QFETCH(QString, entry);
    QCOMPARE(Names::fileNameForAnswer(answer), file);
    QCOMPARE(Names::entryTextForFileName(file), entry);
    // What Save As adds is what the list shows for that file.
    QCOMPARE(Names::snippetNameOfFile(file), entry);
}

void TestLibraryFs::listingSortsAndSeparatesFoldersFromFiles() {
    const QString root = freshFolder();
    const QString elsewhere = freshFolder();
    QVERIFY(makeFolder(elsewhere + QStringLiteral("/target")));
    QVERIFY(writeBytes(elsewhere + QStringLiteral("/file.txt"), "t"));
    for (const char* folder : {"beta", "Alpha", ".hidden", "zeta.code"})
        QVERIFY(makeFolder(root + QLatin1Char('/') + QLatin1String(folder)));
    for (const char* file : {"b.code", "A.code", ".x", "c.CODE"})
        QVERIFY(writeBytes(root + QLatin1Char('/') + QLatin1String(file), "x"));
    QVERIFY(makeLink(elsewhere + QStringLiteral("/target"), root + QStringLiteral("/Gamma")));
    QVERIFY(makeLink(elsewhere + QStringLiteral("/file.txt"), root + QStringLiteral("/link")));
    QVERIFY(makeLink(elsewhere + QStringLiteral("/nothing"), root + QStringLiteral("/dangling")));
    QVERIFY(makeFifo(root + QStringLiteral("/pipe")));

    LibraryFs fs(root);
    const LibraryFs::Listing folders = fs.listFolders(root);
    QVERIFY(folders.result.ok);
    QCOMPARE(folders.names, QStringList({".hidden", "Alpha", "beta", "Gamma", "zeta.code"}));

    const LibraryFs::Listing files = fs.listFiles(root);
    QVERIFY(files.result.ok);
    QCOMPARE(files.names,
             QStringList({".x", "A.code", "b.code", "c.CODE", "dangling", "link", "pipe"}));

    QVERIFY(fs.folderExists(root + QStringLiteral("/Gamma")));
    QVERIFY(fs.isSymbolicLink(root + QStringLiteral("/Gamma")));
    QVERIFY(!fs.isSymbolicLink(root + QStringLiteral("/beta")));
    QVERIFY(!fs.folderExists(root + QStringLiteral("/b.code")));
    QVERIFY(fs.fileExists(root + QStringLiteral("/b.code")));
    QVERIFY(fs.fileExists(root + QStringLiteral("/dangling")));
    QVERIFY(!fs.fileExists(root + QStringLiteral("/beta")));
    QVERIFY(!fs.fileExists(root + QStringLiteral("/none")));

    const LibraryFs::Listing empty = fs.listFiles(root + QStringLiteral("/beta"));
    QVERIFY(empty.result.ok);
    QVERIFY(empty.names.isEmpty());
}

void TestLibraryFs::listingFailsWithReason() {
    const QString root = freshFolder();
    QVERIFY(writeBytes(root + QStringLiteral("/plain"), "x"));
    LibraryFs fs(root);

    struct Case {
        QString path;
        QString reason;
    };
    const Case cases[] = {
        {root + QStringLiteral("/gone"), qt_error_string(ENOENT)},
        {root + QStringLiteral("/plain"), qt_error_string(ENOTDIR)},
        {root + QStringLiteral("/plain/below"), qt_error_string(ENOTDIR)},
        {root + QStringLiteral("/a") + QChar(u'\0') + QStringLiteral("b"), qt_error_string(EINVAL)},
    };
    for (const Case& c : cases) {
        for (bool folders : {true, false}) {
            const LibraryFs::Listing listing =
                folders ? fs.listFolders(c.path) : fs.listFiles(c.path);
            QVERIFY(!listing.result.ok);
            QCOMPARE(listing.result.path, c.path);
            QCOMPARE(listing.result.reason, c.reason);
            QVERIFY(listing.names.isEmpty());
        }
    }
}

void TestLibraryFs::readFile() {
    const QString root = freshFolder();
    const QByteArray content("Sub A()\r\n\xE9\r\n", 11);
    QVERIFY(writeBytes(root + QStringLiteral("/a.code"), content));
    QVERIFY(writeBytes(root + QStringLiteral("/empty.code"), QByteArray()));
    QVERIFY(makeLink(root + QStringLiteral("/a.code"), root + QStringLiteral("/link.code")));
    QVERIFY(makeLink(root + QStringLiteral("/none"), root + QStringLiteral("/dangling.code")));
    QVERIFY(makeFolder(root + QStringLiteral("/folder.code")));
    LibraryFs fs(root);

    LibraryFs::Read read = fs.readFile(root + QStringLiteral("/a.code"));
    QVERIFY(read.result.ok);
    QCOMPARE(read.bytes, content);
    read = fs.readFile(root + QStringLiteral("/link.code"));
    QVERIFY(read.result.ok);
    QCOMPARE(read.bytes, content);
    read = fs.readFile(root + QStringLiteral("/empty.code"));
    QVERIFY(read.result.ok);
    QVERIFY(read.bytes.isEmpty());

    struct Case {
        const char* name;
        QString reason;
    };
    const Case refused[] = {
        {"/missing.code", qt_error_string(ENOENT)},
        {"/dangling.code", qt_error_string(ENOENT)},
        {"/folder.code", qt_error_string(EISDIR)},
    };
    for (const Case& c : refused) {
        const QString path = root + QLatin1String(c.name);
        read = fs.readFile(path);
        QVERIFY2(!read.result.ok, c.name);
        QCOMPARE(read.result.path, path);
        QCOMPARE(read.result.reason, c.reason);
        QVERIFY(read.bytes.isEmpty());
    }

    // A file of gigabytes is refused by its size, without a byte read; a sparse one costs no disk.
    const QString huge = root + QStringLiteral("/huge.code");
    QVERIFY(writeBytes(huge, QByteArray()));
    QVERIFY(::truncate(QFile::encodeName(huge).constData(), qint64(3) << 30) == 0);
    read = fs.readFile(huge, LibraryFs::SnippetReadLimit);
    QVERIFY(read.tooLarge);
    QVERIFY(!read.result.ok);
    QVERIFY(read.bytes.isEmpty());
    QCOMPARE(read.stamp.size, qint64(3) << 30);
    read = fs.readFile(root + QStringLiteral("/a.code"), content.size());
    QVERIFY(read.result.ok && !read.tooLarge);
    QCOMPARE(read.bytes, content);
    read = fs.readFile(root + QStringLiteral("/a.code"), content.size() - 1);
    QVERIFY(read.tooLarge);

    const std::atomic<bool> cancelled{true};
    read = fs.readFile(huge, LibraryFs::NoLimit, &cancelled);
    QVERIFY(read.cancelled);
    QVERIFY(!read.result.ok);
    QVERIFY(read.bytes.isEmpty());
}

void TestLibraryFs::readFileRefusesFifoWithoutBlocking() {
    const QString root = freshFolder();
    const QString pipe = root + QStringLiteral("/pipe.code");
    QVERIFY(makeFifo(pipe));
    LibraryFs fs(root);

    auto pending = std::async(std::launch::async, [&] { return fs.readFile(pipe); });
    if (pending.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Release the blocked reader so the test can end, then report the fault.
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        pending.wait();
        QFAIL("reading a named pipe blocked");
    }
    const LibraryFs::Read read = pending.get();
    QVERIFY(!read.result.ok);
    QCOMPARE(read.result.path, pipe);
    QVERIFY(!read.result.reason.isEmpty());
}

void TestLibraryFs::createFolder() {
    const QString root = freshFolder();
    QVERIFY(writeBytes(root + QStringLiteral("/file"), "x"));
    QVERIFY(makeFolder(root + QStringLiteral("/locked")));
    LibraryFs fs(root);
    using C = LibraryFs::CreateOutcome;

    LibraryFs::Create made = fs.createFolder(root + QStringLiteral("/Blah"));
    QCOMPARE(made.outcome, C::Created);
    QVERIFY(made.result.ok);
    QVERIFY(QFileInfo(root + QStringLiteral("/Blah")).isDir());

    made = fs.createFolder(root + QStringLiteral("/Blah"));
    QCOMPARE(made.outcome, C::AlreadyExists);

    made = fs.createFolder(root + QStringLiteral("/file"));
    QCOMPARE(made.outcome, C::Failed);
    QCOMPARE(made.result.reason, qt_error_string(EEXIST));
    QVERIFY(QFileInfo(root + QStringLiteral("/file")).isFile());

    made = fs.createFolder(root + QStringLiteral("/no/parent"));
    QCOMPARE(made.outcome, C::Failed);
    QCOMPARE(made.result.path, root + QStringLiteral("/no/parent"));
    QCOMPARE(made.result.reason, qt_error_string(ENOENT));

    made = fs.createFolder(root + QStringLiteral("/file/below"));
    QCOMPARE(made.outcome, C::Failed);
    QCOMPARE(made.result.reason, qt_error_string(ENOTDIR));

    Immutable locked(root + QStringLiteral("/locked"));
    if (!locked.on())
        QSKIP("chattr +i is not available here");
    QVERIFY2(!canCreateIn(root + QStringLiteral("/locked")), "the folder is still writable");
    made = fs.createFolder(root + QStringLiteral("/locked/sub"));
    QCOMPARE(made.outcome, C::Failed);
    QCOMPARE(made.result.reason, qt_error_string(EPERM));
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/locked/sub")));
}

void TestLibraryFs::ensureLibraryFolder() {
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    QVERIFY(QFileInfo(root + QStringLiteral("/Code")).isDir());
    QVERIFY(writeBytes(root + QStringLiteral("/Code/keep.txt"), "k"));
    QVERIFY(fs.ensureLibraryFolder().ok);
    QCOMPARE(readBytes(root + QStringLiteral("/Code/keep.txt")), QByteArray("k"));

    // A fresh account has no data folder yet: every missing folder down to the library is made.
    LibraryFs fresh(root + QStringLiteral("/not-there/quillary"));
    LibraryFs::Result result = fresh.ensureLibraryFolder();
    QVERIFY(result.ok);
    QVERIFY(QFileInfo(root + QStringLiteral("/not-there/quillary/Code")).isDir());

    const QString blocked = freshFolder();
    QVERIFY(writeBytes(blocked + QStringLiteral("/Code"), "not a folder"));
    result = LibraryFs(blocked).ensureLibraryFolder();
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(readBytes(blocked + QStringLiteral("/Code")), QByteArray("not a folder"));
}

void TestLibraryFs::writeNewAndReplace() {
    const QString root = freshFolder();
    LibraryFs fs(root);
    const QString path = root + QStringLiteral("/loop.code");

    QVERIFY(fs.writeFileAtomically(path, QByteArray("a longer first text\r\n")).ok);
    QCOMPARE(readBytes(path), QByteArray("a longer first text\r\n"));
    QVERIFY(fs.writeFileAtomically(path, QByteArray("short")).ok);
    QCOMPARE(readBytes(path), QByteArray("short"));
    QVERIFY(fs.writeFileAtomically(path, QByteArray()).ok);
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(entriesOf(root), QStringList({"loop.code"}));

    const LibraryFs::Result missingFolder =
        fs.writeFileAtomically(root + QStringLiteral("/gone/x.code"), "x");
    QVERIFY(!missingFolder.ok);
    QCOMPARE(missingFolder.path, root + QStringLiteral("/gone/x.code"));
    QVERIFY(!missingFolder.reason.isEmpty());
}

void TestLibraryFs::writeThroughLinkKeepsLink() {
    const QString root = freshFolder();
    const QString target = root + QStringLiteral("/real.code");
    const QString link = root + QStringLiteral("/link.code");
    QVERIFY(writeBytes(target, "old"));
    QVERIFY(makeLink(QStringLiteral("real.code"), link)); // relative, as people make them
    LibraryFs fs(root);

    QVERIFY(fs.writeFileAtomically(link, "new").ok);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(target), QByteArray("new"));
}

void TestLibraryFs::writeIntoImmutableFolderKeepsOldFile() {
    const QString root = freshFolder();
    const QString folder = root + QStringLiteral("/Cat");
    const QString path = folder + QStringLiteral("/x.code");
    const QByteArray original("original text\r\n");
    QVERIFY(makeFolder(folder));
    QVERIFY(writeBytes(path, original));

    Immutable locked(folder);
    if (!locked.on())
        QSKIP("chattr +i is not available here");
    QVERIFY2(!canCreateIn(folder), "the folder is still writable");

    LibraryFs fs(root);
    const LibraryFs::Result result = fs.writeFileAtomically(path, "replacement");
    QVERIFY(!result.ok);
    QCOMPARE(result.path, path);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(readBytes(path), original);
    QCOMPARE(entriesOf(folder), QStringList({"x.code"}));

    const LibraryFs::Result fresh = fs.writeFileAtomically(folder + QStringLiteral("/y.code"), "y");
    QVERIFY(!fresh.ok);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/y.code")));
}

void TestLibraryFs::writeOntoFullDiskKeepsOldFile() {
    const QString mountPoint = freshFolder();
    SmallDisk disk(mountPoint);
    if (!disk.mounted())
        QSKIP("cannot mount a small tmpfs here");

    const QString path = mountPoint + QStringLiteral("/x.code");
    const QByteArray original("original text\n");
    QVERIFY(writeBytes(path, original));
    QVERIFY2(fillUp(mountPoint + QStringLiteral("/filler")), "the tmpfs never filled up");
    QVERIFY2(!writeBytes(mountPoint + QStringLiteral("/probe"), QByteArray(8192, 'p')),
             "the disk is not full");
    QFile::remove(mountPoint + QStringLiteral("/probe"));

    LibraryFs fs(mountPoint);
    const LibraryFs::Result result = fs.writeFileAtomically(path, QByteArray(32 * 1024, 'n'));
    QVERIFY(!result.ok);
    QCOMPARE(result.path, path);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(readBytes(path), original);
    QCOMPARE(entriesOf(mountPoint), QStringList({"filler", "x.code"}));
}

void TestLibraryFs::removeFileAndFolder() {
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(writeBytes(root + QStringLiteral("/a.code"), "a"));
    QVERIFY(fs.removeFile(root + QStringLiteral("/a.code")).ok);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/a.code")));

    LibraryFs::Result result = fs.removeFile(root + QStringLiteral("/a.code"));
    QVERIFY(!result.ok);
    QCOMPARE(result.path, root + QStringLiteral("/a.code"));
    QVERIFY(!result.reason.isEmpty());

    QVERIFY(makeFolder(root + QStringLiteral("/full")));
    QVERIFY(writeBytes(root + QStringLiteral("/full/keep"), "k"));
    result = fs.removeEmptyFolder(root + QStringLiteral("/full"));
    QVERIFY(!result.ok);
    QCOMPARE(result.reason, qt_error_string(ENOTEMPTY));
    QCOMPARE(readBytes(root + QStringLiteral("/full/keep")), QByteArray("k"));

    QVERIFY(makeFolder(root + QStringLiteral("/empty")));
    QVERIFY(fs.removeEmptyFolder(root + QStringLiteral("/empty")).ok);
    QVERIFY(!QFileInfo::exists(root + QStringLiteral("/empty")));
}

void TestLibraryFs::removeCategoryDeletesSnippetsOnly_data() {
    QTest::addColumn<QStringList>("others"); // beside a.code; each kind must stop the removal
    QTest::newRow("snippets only") << QStringList{};
    QTest::newRow("text file") << QStringList{"notes.txt"};
    QTest::newRow("dotfile and no extension") << QStringList{".hidden", "noext"};
    QTest::newRow("ending in another case") << QStringList{"x.CODE"};
    QTest::newRow("named pipe") << QStringList{"pipe"};
    QTest::newRow("links") << QStringList{"dangling", "link"};
}

void TestLibraryFs::removeCategoryDeletesSnippetsOnly() {
    QFETCH(QStringList, others);
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    const QString category = fs.categoryFolder(QStringLiteral("Web"));
    const QString other = fs.categoryFolder(QStringLiteral("Other"));
    QVERIFY(makeFolder(category));
    QVERIFY(makeFolder(other));
    QVERIFY(writeBytes(other + QStringLiteral("/kept.code"), "k"));
    QVERIFY(writeBytes(category + QStringLiteral("/a.code"), "a"));
    // A link named like a snippet is a snippet: only the link goes.
    QVERIFY(makeLink(other + QStringLiteral("/kept.code"), category + QStringLiteral("/l.code")));
    for (const QString& name : others) {
        const QString path = category + QLatin1Char('/') + name;
        if (name == QStringLiteral("pipe"))
            QVERIFY(makeFifo(path));
        else if (name == QStringLiteral("link"))
            QVERIFY(makeLink(other + QStringLiteral("/kept.code"), path));
        else if (name == QStringLiteral("dangling"))
            QVERIFY(makeLink(root + QStringLiteral("/none"), path));
        else
            QVERIFY(writeBytes(path, "x"));
    }
    const QStringList before = entriesOf(category);

    const LibraryFs::Remove checked = fs.checkCategoryRemoval(category);
    const LibraryFs::Remove removed = fs.removeCategoryFolder(category);
    QCOMPARE(readBytes(other + QStringLiteral("/kept.code")), QByteArray("k"));
    if (others.isEmpty()) {
        QCOMPARE(checked.outcome, Outcome::Removed);
        QCOMPARE(removed.outcome, Outcome::Removed);
        QVERIFY(removed.result.ok);
        QVERIFY(!QFileInfo::exists(category));
        return;
    }
    for (const LibraryFs::Remove& refused : {checked, removed}) {
        QCOMPARE(refused.outcome, Outcome::HasOtherFiles);
        QVERIFY(!refused.result.ok);
        QCOMPARE(refused.result.path, category);
        QStringList named = refused.others;
        named.sort();
        QStringList expected = others;
        expected.sort();
        QCOMPARE(named, expected);
    }
    QCOMPARE(entriesOf(category), before);
}

void TestLibraryFs::outsideTheLibraryIsRefused() {
    // Code/home is a link to a folder outside the library, as a user might make to ~.
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    const QString away = root + QStringLiteral("/away");
    QVERIFY(makeFolder(away + QStringLiteral("/Downloads")));
    QVERIFY(writeBytes(away + QStringLiteral("/Downloads/x.code"), "x"));
    QVERIFY(writeBytes(away + QStringLiteral("/target.code"), "t"));
    QVERIFY(makeLink(away, fs.categoryFolder(QStringLiteral("home"))));
    QVERIFY(makeFolder(fs.categoryFolder(QStringLiteral("Web"))));
    const QString linkToFile = fs.categoryFolder(QStringLiteral("Web")) + QStringLiteral("/l.code");
    QVERIFY(makeLink(away + QStringLiteral("/target.code"), linkToFile));
    const QString sub = fs.subCategoryFolder(QStringLiteral("home"), QStringLiteral("Downloads"));

    QVERIFY(fs.insideLibrary(fs.categoryFolder(QStringLiteral("Web")) + QStringLiteral("/n.code")));
    QVERIFY(fs.insideLibrary(fs.categoryFolder(QStringLiteral("New/Deeper"))));
    QVERIFY(!fs.insideLibrary(sub + QStringLiteral("/x.code")));
    QVERIFY(!fs.insideLibrary(linkToFile));
    QVERIFY(fs.insideLibrary(linkToFile, false));
    QVERIFY(!fs.insideLibrary(fs.libraryPath()));
    QVERIFY(!fs.insideLibrary(root + QStringLiteral("/Codex/a.code")));

    QCOMPARE(fs.removeCategoryFolder(sub).outcome, Outcome::Outside);
    QVERIFY(!fs.writeSnippet(sub + QStringLiteral("/x.code"), "lost").ok);
    QVERIFY(!fs.writeSnippet(sub + QStringLiteral("/new.code"), "new").ok);
    QVERIFY(!fs.writeSnippet(linkToFile, "lost").ok);
    QVERIFY(!fs.deleteSnippet(sub + QStringLiteral("/x.code")).ok);
    QCOMPARE(fs.createCategoryFolder(sub + QStringLiteral("/Deeper")).outcome,
             LibraryFs::CreateOutcome::Failed);
    QCOMPARE(entriesOf(away + QStringLiteral("/Downloads")), QStringList{"x.code"});
    QCOMPARE(readBytes(away + QStringLiteral("/Downloads/x.code")), QByteArray("x"));
    QCOMPARE(readBytes(away + QStringLiteral("/target.code")), QByteArray("t"));

    // The link itself lies in the library: deleting it leaves what it points to.
    QVERIFY(fs.deleteSnippet(linkToFile).ok);
    QCOMPARE(readBytes(away + QStringLiteral("/target.code")), QByteArray("t"));
    QVERIFY(
        fs.writeSnippet(fs.categoryFolder(QStringLiteral("Web")) + QStringLiteral("/n.code"), "n")
            .ok);
}

void TestLibraryFs::removeCategoryRefusesSubfolders_data() {
    QTest::addColumn<QString>("inner");
    QTest::addColumn<bool>("isLink");
    QTest::newRow("folder") << QStringLiteral("Forms") << false;
    QTest::newRow("hidden folder") << QStringLiteral(".git") << false;
    QTest::newRow("folder named like a snippet") << QStringLiteral("x.code") << false;
    QTest::newRow("link to a folder") << QStringLiteral("elsewhere") << true;
}

void TestLibraryFs::removeCategoryRefusesSubfolders() {
    QFETCH(QString, inner);
    QFETCH(bool, isLink);
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    const QString category = fs.categoryFolder(QStringLiteral("Graphics"));
    QVERIFY(makeFolder(category));
    for (const char* name : {"a.code", "b.code", "notes.txt"})
        QVERIFY(writeBytes(category + QLatin1Char('/') + QLatin1String(name), name));
    if (isLink) {
        QVERIFY(makeFolder(root + QStringLiteral("/outside")));
        QVERIFY(makeLink(root + QStringLiteral("/outside"), category + QLatin1Char('/') + inner));
    } else {
        QVERIFY(makeFolder(category + QLatin1Char('/') + inner));
    }
    const QStringList before = entriesOf(category);

    const LibraryFs::Remove removed = fs.removeCategoryFolder(category);
    QCOMPARE(removed.outcome, Outcome::HasSubfolders);
    QVERIFY(!removed.result.ok);
    QCOMPARE(removed.result.path, category);
    QVERIFY(!removed.result.reason.isEmpty());
    QCOMPARE(entriesOf(category), before);
    QCOMPARE(readBytes(category + QStringLiteral("/a.code")), QByteArray("a.code"));
}

void TestLibraryFs::removeCategoryImmutableFolderDeletesNothing() {
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    const QString category = fs.categoryFolder(QStringLiteral("Locked"));
    QVERIFY(makeFolder(category));
    for (const char* name : {"a.code", "b.code", "c.code"})
        QVERIFY(writeBytes(category + QLatin1Char('/') + QLatin1String(name), name));

    Immutable locked(category);
    if (!locked.on())
        QSKIP("chattr +i is not available here");
    QVERIFY2(!canCreateIn(category), "the folder is still writable");

    const LibraryFs::Remove removed = fs.removeCategoryFolder(category);
    QCOMPARE(removed.outcome, Outcome::Failed);
    QCOMPARE(removed.result.path, category + QStringLiteral("/a.code"));
    QVERIFY(!removed.result.reason.isEmpty());
    QCOMPARE(entriesOf(category), QStringList({"a.code", "b.code", "c.code"}));
}

void TestLibraryFs::removeCategoryStopsAtFirstFailure() {
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    const QString category = fs.categoryFolder(QStringLiteral("Half"));
    QVERIFY(makeFolder(category));
    for (const char* name : {"a.code", "B.code", "c.code"})
        QVERIFY(writeBytes(category + QLatin1Char('/') + QLatin1String(name), name));

    // An immutable file cannot be unlinked, not even by root.
    Immutable locked(category + QStringLiteral("/B.code"));
    if (!locked.on())
        QSKIP("chattr +i is not available here");

    const LibraryFs::Remove removed = fs.removeCategoryFolder(category);
    QCOMPARE(removed.outcome, Outcome::Failed);
    QCOMPARE(removed.result.path, category + QStringLiteral("/B.code"));
    QVERIFY(!removed.result.reason.isEmpty());
    QCOMPARE(entriesOf(category), QStringList({"B.code", "c.code"}));
}

void TestLibraryFs::removeCategoryMissingAndOddPaths() {
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    QVERIFY(writeBytes(fs.libraryPath() + QStringLiteral("stray.code"), "s"));

    LibraryFs::Remove removed = fs.removeCategoryFolder(fs.categoryFolder(QStringLiteral("Gone")));
    QCOMPARE(removed.outcome, Outcome::Missing);

    removed = fs.removeCategoryFolder(fs.categoryFolder(QStringLiteral("stray.code")));
    QCOMPARE(removed.outcome, Outcome::Failed);
    QCOMPARE(readBytes(fs.libraryPath() + QStringLiteral("stray.code")), QByteArray("s"));

    // An empty category name must never empty the library itself.
    removed = fs.removeCategoryFolder(fs.categoryFolder(QString()));
    QCOMPARE(removed.outcome, Outcome::Failed);
    QCOMPARE(readBytes(fs.libraryPath() + QStringLiteral("stray.code")), QByteArray("s"));
}

void TestLibraryFs::removeCategoryLinkRemovesOnlyLink() {
    const QString root = freshFolder();
    LibraryFs fs(root);
    QVERIFY(fs.ensureLibraryFolder().ok);
    const QString target = root + QStringLiteral("/precious");
    QVERIFY(makeFolder(target));
    QVERIFY(writeBytes(target + QStringLiteral("/keep.code"), "keep"));
    const QString category = fs.categoryFolder(QStringLiteral("Linked"));
    QVERIFY(makeLink(target, category));

    const LibraryFs::Remove removed = fs.removeCategoryFolder(category);
    QCOMPARE(removed.outcome, Outcome::Removed);
    QVERIFY(!QFileInfo(category).isSymLink());
    QVERIFY(!QFileInfo::exists(category));
    QCOMPARE(readBytes(target + QStringLiteral("/keep.code")), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(TestLibraryFs)
#include "test_libraryfs.moc"
