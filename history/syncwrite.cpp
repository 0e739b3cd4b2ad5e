// SPDX-License-Identifier: MIT
#include "history/syncwrite.h"

#include "history/gitsupport.h"
#include "library/libraryfs.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <algorithm>
#include <vector>

using namespace gitsupport;

namespace syncwrite {

using namespace syncmerge;

namespace {

// Why an arriving snippet cannot be a file in the library, checked before anything is read or
// written; empty when it can.
QString cannotHold(git_repository* repo, LibraryFs& fs, const QString& rel, const git_oid& id) {
    size_t size = 0;
    git_object_t type = GIT_OBJECT_INVALID;
    Odb odb;
    if (git_repository_odb(odb.out(), repo) < 0 ||
        git_odb_read_header(&size, &type, odb.get(), &id) < 0)
        return lastError();
    if (!libraryCanHold(rel.toUtf8(), qint64(size)))
        return qint64(size) > LibraryFs::SnippetReadLimit
                   ? QCoreApplication::translate("LibrarySync", "larger than %1 MiB")
                         .arg(LibraryFs::SnippetReadLimit >> 20)
                   : QCoreApplication::translate("LibrarySync", "its name is too long");
    const QString library = fs.libraryPath();
    QString folder = library;
    const QStringList parts = rel.split(QLatin1Char('/'));
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        folder += parts[i];
        if (fs.fileExists(folder) && !fs.folderExists(folder))
            return QCoreApplication::translate("LibrarySync",
                                               "\"%1\" is a file there, not a category")
                .arg(folder.mid(library.size()));
        folder += QLatin1Char('/');
    }
    if (fs.folderExists(library + rel))
        return QCoreApplication::translate("LibrarySync", "a category has its name");
    if (!fs.insideLibrary(library + rel))
        return LibraryFs::outsideReason();
    return {};
}

} // namespace

// What the library holds at `path`: its id as a blob, or none when nothing is there.
// A file that cannot be read counts as an edit, so it is never overwritten.
std::optional<Entry> onDisk(LibraryFs& fs, const QByteArray& path, bool& unreadable) {
    unreadable = false;
    const QString full = fs.libraryPath() + QString::fromUtf8(path);
    if (!fs.fileExists(full))
        return std::nullopt;
    const LibraryFs::Read read = fs.readFile(full, LibraryFs::SnippetReadLimit);
    Entry entry;
    if (!read.result.ok || read.tooLarge ||
        git_odb_hash(&entry.id, read.bytes.constData(), size_t(read.bytes.size()),
                     GIT_OBJECT_BLOB) < 0) {
        unreadable = true;
        return std::nullopt;
    }
    return entry;
}

// Whether the library's file at `path` is still what the last version holds.
bool unchanged(LibraryFs& fs, const QByteArray& path, const Files& before) {
    bool unreadable = false;
    const std::optional<Entry> disk = onDisk(fs, path, unreadable);
    if (unreadable)
        return false;
    const auto was = before.constFind(path);
    if (was == before.cend())
        return !disk;
    return disk && git_oid_equal(&disk->id, &was->id);
}

bool ignoresCase(LibraryFs& fs) {
    const QString name =
        QStringLiteral(".Quillary-case-probe-%1").arg(QCoreApplication::applicationPid());
    const QString made = fs.libraryPath() + name;
    const QString other = fs.libraryPath() + name.toLower();
    if (fs.fileExists(other))
        fs.removeFile(other); // a probe left by a copy that crashed
    if (!fs.writeFileAtomically(made, {}).ok)
        return false;
    const bool blind = fs.fileExists(other);
    fs.removeFile(made);
    return blind;
}

// Writes what changed into the library, then moves HEAD; a failed write undoes the ones
// before it and HEAD stays.
void write(git_repository* repo, LibraryFs& fs, const Plan& plan,
           const std::optional<git_oid>& ours, SyncOutcome& outcome) {
    if (!plan.target || (ours && git_oid_equal(&*plan.target, &*ours)))
        return;
    struct Undo {
        QString path;
        std::optional<QByteArray> bytes; // none: the file was not there
    };
    std::vector<Undo> undo;
    QStringList madeFolders;
    const QString library = fs.libraryPath();
    const auto undoAll = [&] {
        for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
            if (it->bytes)
                fs.writeSnippet(it->path, *it->bytes);
            else
                fs.deleteSnippet(it->path);
        }
        for (auto it = madeFolders.crbegin(); it != madeFolders.crend(); ++it)
            fs.removeEmptyFolder(*it);
    };
    const auto fail = [&](const LibraryFs::Result& result) {
        undoAll();
        throw Failure{QStringLiteral("\"%1\" could not be written (%2); the library is as "
                                     "it was")
                          .arg(QDir::toNativeSeparators(result.path), result.reason)};
    };
    const auto keepForUndo = [&](const QString& full) {
        if (!fs.fileExists(full)) {
            undo.push_back({full, std::nullopt});
            return;
        }
        const LibraryFs::Read read = fs.readFile(full, LibraryFs::SnippetReadLimit);
        if (!read.result.ok || read.tooLarge)
            fail(read.result.ok ? LibraryFs::Result::failure(
                                      full, QCoreApplication::translate("LibrarySync", "too large"))
                                : read.result);
        undo.push_back({full, read.bytes});
    };
    const QSet<QString> copies(plan.copies.cbegin(), plan.copies.cend());
    QStringList written;
    QStringList removed;
    QStringList lateCopies;
    QStringList skipped;
    QSet<QString> emptied;
    // Deletions first: a folder may arrive where a file was.
    for (auto it = plan.before.cbegin(); it != plan.before.cend(); ++it) {
        const QString rel = QString::fromUtf8(it.key());
        if (plan.after.contains(it.key()) || !belongsOnDisk(it.key(), *it) ||
            !unchanged(fs, it.key(), plan.before))
            continue;
        const QString full = library + rel;
        keepForUndo(full);
        const LibraryFs::Result result = fs.deleteSnippet(full);
        if (!result.ok)
            fail(result);
        removed.append(rel);
        emptied.insert(rel.section(QLatin1Char('/'), 0, -2));
    }
    for (auto it = plan.after.cbegin(); it != plan.after.cend(); ++it) {
        const std::optional<Entry> was = lookup(plan.before, it.key());
        if ((was && *was == *it) || !belongsOnDisk(it.key(), *it))
            continue;
        QString rel = QString::fromUtf8(it.key());
        if (!copies.contains(rel) && !unchanged(fs, it.key(), plan.before)) {
            if (plan.editedOnDisk.contains(it.key()))
                continue; // its arriving version is a copy beside it already
            // The file changed since the merge was planned (a save or delete made meanwhile):
            // decided again now, against the file as it is, so neither side is lost.
            bool unreadable = false;
            const std::optional<Entry> disk = onDisk(fs, it.key(), unreadable);
            if (!unreadable && disk && git_oid_equal(&disk->id, &it->id))
                continue;             // the edit is what arrives
            if (unreadable || disk) { // kept beside the edit, which stays as it is
                rel = QString::fromUtf8(copyName(it.key(), plan.host, [&](const QByteArray& name) {
                    return plan.after.contains(name) ||
                           fs.fileExists(library + QString::fromUtf8(name));
                }));
                lateCopies.append(rel);
            } // deleted meanwhile: a change beats a deletion
        }
        const QString full = library + rel;
        if (const QString why = cannotHold(repo, fs, rel, it->id); !why.isEmpty()) {
            skipped.append(QCoreApplication::translate(
                               "LibrarySync", "\"%1\" was not written into the library (%2); it "
                                              "stays in the history and on the remote")
                               .arg(rel, why));
            continue;
        }
        Blob blob;
        if (git_blob_lookup(blob.out(), repo, &it->id) < 0)
            fail(LibraryFs::Result::failure(full, lastError()));
        QString folder = library;
        const QStringList parts = rel.split(QLatin1Char('/'));
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            folder += parts[i] + QLatin1Char('/');
            if (fs.folderExists(folder))
                continue;
            const LibraryFs::Create made = fs.createCategoryFolder(folder);
            if (made.outcome == LibraryFs::CreateOutcome::Failed)
                fail(made.result);
            madeFolders.append(folder);
        }
        keepForUndo(full);
        const LibraryFs::Result result = fs.writeSnippet(
            full, QByteArray(static_cast<const char*>(git_blob_rawcontent(blob.get())),
                             qsizetype(git_blob_rawsize(blob.get()))));
        if (!result.ok)
            fail(result);
        written.append(rel);
    }
    const QByteArray branch = "refs/heads/main";
    Reference moved;
    const int error = ours ? git_reference_create_matching(moved.out(), repo, branch.constData(),
                                                           &*plan.target, 1, &*ours, "sync")
                           : git_reference_create(moved.out(), repo, branch.constData(),
                                                  &*plan.target, 0, "sync");
    if (error < 0) {
        const QString cause = lastError();
        undoAll();
        throw Failure{
            QCoreApplication::translate("LibrarySync", "the history could not be moved on (%1)")
                .arg(cause)};
    }
    // A category the sync emptied of snippets goes with its last one, as Remove Category
    // would have left it; one that still holds anything stays.
    for (QString folder : emptied) {
        while (!folder.isEmpty()) {
            const QByteArray prefix = folder.toUtf8() + '/';
            const bool stillThere =
                std::any_of(plan.after.keyBegin(), plan.after.keyEnd(),
                            [&](const QByteArray& path) { return path.startsWith(prefix); });
            if (stillThere || !fs.removeEmptyFolder(library + folder).ok)
                break;
            removed.append(folder);
            folder = folder.section(QLatin1Char('/'), 0, -2);
        }
    }
    outcome.written = written;
    outcome.removed = removed;
    outcome.copies = plan.copies + lateCopies;
    outcome.skipped = skipped;
}

} // namespace syncwrite
