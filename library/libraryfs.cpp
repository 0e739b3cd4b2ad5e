// SPDX-License-Identifier: MIT
#include "library/libraryfs.h"

#include "library/names.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

LibraryFs::Stamp stampOf(const struct stat& info) {
    LibraryFs::Stamp stamp;
    stamp.exists = true;
    stamp.regular = S_ISREG(info.st_mode);
    stamp.size = info.st_size;
    stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

using Result = LibraryFs::Result;

// The C calls stop at the first NUL, so such a path would name some other file.
bool holdsNul(const QString& path) {
    return path.contains(QChar(u'\0'));
}

Result errnoFailure(const QString& path, int error) {
    return Result::failure(path, qt_error_string(error));
}

void sortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

enum class Wanted { Folders, NonFolders };

LibraryFs::Listing listEntries(const QString& path, Wanted wanted) {
    LibraryFs::Listing listing;
    if (holdsNul(path)) {
        listing.result = errnoFailure(path, EINVAL);
        return listing;
    }
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir) {
        listing.result = errnoFailure(path, errno);
        return listing;
    }
    const int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                listing.result = errnoFailure(path, errno);
            break;
        }
        const char* name = entry->d_name;
        if (qstrcmp(name, ".") == 0 || qstrcmp(name, "..") == 0)
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // A link counts as what it points to; a dangling link is not a folder.
            struct stat target;
            if (::fstatat(dirFd, name, &target, 0) == 0) {
                isFolder = S_ISDIR(target.st_mode);
            } else {
                struct stat self;
                if (::fstatat(dirFd, name, &self, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // gone since readdir
                isFolder = false;
            }
        }
        if (isFolder == (wanted == Wanted::Folders))
            listing.names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    if (!listing.result.ok)
        listing.names.clear();
    sortNames(listing.names);
    return listing;
}

// Where a write lands: a link to a file keeps pointing at the file it names.
QString writeTarget(const QString& path) {
    QString target = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            break;
        target = info.symLinkTarget();
    }
    return target;
}

} // namespace

LibraryFs::LibraryFs(LibraryLocations locations) : m_locations(std::move(locations)) {}

LibraryFs::LibraryFs(const QString& folder) : LibraryFs(LibraryLocations::beside(folder)) {}

LibraryFs::~LibraryFs() = default;

QString LibraryFs::categoryFolder(const QString& category) const {
    return libraryPath() + category;
}

QString LibraryFs::subCategoryFolder(const QString& category, const QString& subCategory) const {
    return libraryPath() + category + QLatin1Char('/') + subCategory;
}

QString LibraryFs::fileInFolder(const QString& folder, const QString& fileName) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + fileName;
    return folder + QLatin1Char('/') + fileName;
}

bool LibraryFs::folderExists(const QString& path) {
    return !holdsNul(path) && QFileInfo(path).isDir();
}

bool LibraryFs::fileExists(const QString& path) {
    if (holdsNul(path))
        return false;
    const QFileInfo info(path);
    return info.isSymLink() || (info.exists() && !info.isDir());
}

LibraryFs::Stamp LibraryFs::stamp(const QString& path) {
    struct stat info {};
    if (holdsNul(path) || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return stampOf(info);
}

bool LibraryFs::isSymbolicLink(const QString& path) {
    return !holdsNul(path) && QFileInfo(path).isSymLink();
}

LibraryFs::Create LibraryFs::createFolder(const QString& path) {
    if (holdsNul(path))
        return {CreateOutcome::Failed, errnoFailure(path, EINVAL)};
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return {CreateOutcome::Created, Result::success()};
    const int error = errno;
    if (error == EEXIST && folderExists(path))
        return {CreateOutcome::AlreadyExists, Result::success()};
    return {CreateOutcome::Failed, errnoFailure(path, error)};
}

LibraryFs::Listing LibraryFs::listFolders(const QString& path) {
    return listEntries(path, Wanted::Folders);
}

LibraryFs::Listing LibraryFs::listFiles(const QString& path) {
    return listEntries(path, Wanted::NonFolders);
}

LibraryFs::Read LibraryFs::readFile(const QString& path, qint64 limit,
                                    const std::atomic<bool>* cancel) {
    Read read;
    if (holdsNul(path)) {
        read.result = errnoFailure(path, EINVAL);
        return read;
    }
    // Non-blocking, so that opening a named pipe returns at once instead of waiting for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        read.result = errnoFailure(path, errno);
        return read;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        read.result = errnoFailure(path, errno);
        ::close(fd);
        return read;
    }
    read.stamp = stampOf(info);
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        read.result =
            S_ISDIR(info.st_mode)
                ? errnoFailure(path, EISDIR)
                : Result::failure(path,
                                  QCoreApplication::translate("LibraryFs", "Not a regular file"));
        return read;
    }
    const auto refuseAsTooLarge = [&] {
        read.tooLarge = true;
        read.bytes = QByteArray();
        read.result = Result::failure(
            path,
            QCoreApplication::translate("LibraryFs", "it is larger than %1 MB").arg(limit >> 20));
    };
    if (limit >= 0 && info.st_size > limit) {
        ::close(fd);
        refuseAsTooLarge();
        return read;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // In blocks, so that a caller going away (Quit) is not kept waiting by a slow disk.
    constexpr qsizetype Block = 1 << 20;
    if (limit >= 0 || info.st_size <= SnippetReadLimit)
        read.bytes.reserve(qsizetype(info.st_size));
    qsizetype used = 0;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            read.cancelled = true;
            read.bytes = QByteArray();
            read.result = Result::failure(
                path, QCoreApplication::translate("LibraryFs", "Reading was cancelled"));
            break;
        }
        if (limit >= 0 && used > limit) {
            refuseAsTooLarge(); // it grew while being read
            break;
        }
        read.bytes.resize(used + Block);
        const ssize_t got = ::read(fd, read.bytes.data() + used, size_t(Block));
        if (got < 0) {
            if (errno == EINTR) {
                read.bytes.resize(used);
                continue;
            }
            read.result = errnoFailure(path, errno);
            read.bytes = QByteArray();
            break;
        }
        used += got;
        read.bytes.resize(used);
        if (got == 0)
            break;
    }
    ::close(fd);
    if (read.result.ok)
        read.bytes.squeeze();
    return read;
}

LibraryFs::Result LibraryFs::writeFileAtomically(const QString& path, const QByteArray& bytes) {
    if (holdsNul(path))
        return errnoFailure(path, EINVAL);
    QSaveFile file(writeTarget(path));
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Result::failure(path, reason);
    }
    if (!file.commit())
        return Result::failure(path, file.errorString());
    return Result::success();
}

LibraryFs::Result LibraryFs::appendToFile(const QString& path, const QByteArray& bytes) {
    if (holdsNul(path))
        return errnoFailure(path, EINVAL);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return errnoFailure(path, errno);
    // One write: O_APPEND puts it whole after whatever is there when it lands.
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    const int error = errno;
    if (::close(fd) != 0 && written == bytes.size())
        return errnoFailure(path, errno);
    if (written != bytes.size())
        return errnoFailure(path, written < 0 ? error : EIO);
    return Result::success();
}

LibraryFs::Result LibraryFs::removeFile(const QString& path) {
    if (holdsNul(path))
        return errnoFailure(path, EINVAL);
    QFile file(path);
    if (!file.remove())
        return Result::failure(path, file.errorString());
    return Result::success();
}

LibraryFs::Result LibraryFs::restrictToOwner(const QString& path) {
    if (holdsNul(path))
        return errnoFailure(path, EINVAL);
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 ||
        ::chmod(name.constData(), S_ISDIR(info.st_mode) ? 0700 : 0600) != 0)
        return errnoFailure(path, errno);
    return Result::success();
}

LibraryFs::Result LibraryFs::removeEmptyFolder(const QString& path) {
    if (holdsNul(path))
        return errnoFailure(path, EINVAL);
    if (::rmdir(QFile::encodeName(path).constData()) != 0)
        return errnoFailure(path, errno);
    return Result::success();
}

LibraryFs::Result LibraryFs::ensureLibraryFolder() {
    // On a fresh account even the user's data folder may not exist yet.
    QStringList missing;
    for (QString path = QDir::cleanPath(libraryPath()); !folderExists(path);) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    for (const QString& folder : missing) {
        const Create created = createFolder(folder);
        if (created.outcome == CreateOutcome::Failed)
            return created.result;
    }
    return Result::success();
}

LibraryFs::Remove LibraryFs::checkCategoryRemoval(const QString& path) {
    if (QDir::cleanPath(path) == QDir::cleanPath(libraryPath()))
        return {RemoveOutcome::Failed,
                Result::failure(path, QCoreApplication::translate(
                                          "LibraryFs", "This is the library folder itself")),
                {}};
    const bool link = isSymbolicLink(path);
    if (!insideLibrary(path, !link))
        return {RemoveOutcome::Outside, Result::failure(path, outsideReason()), {}};
    if (link)
        return {}; // whatever the link points to belongs elsewhere; only the link goes
    if (!folderExists(path)) {
        if (fileExists(path))
            return {RemoveOutcome::Failed, errnoFailure(path, ENOTDIR), {}};
        return {RemoveOutcome::Missing, Result::failure(path, qt_error_string(ENOENT)), {}};
    }

    const Listing folders = listFolders(path);
    if (!folders.result.ok)
        return {RemoveOutcome::Failed, folders.result, {}};
    if (!folders.names.isEmpty())
        return {RemoveOutcome::HasSubfolders,
                Result::failure(path, QCoreApplication::translate(
                                          "LibraryFs", "The folder holds other folders")),
                {}};

    const Listing files = listFiles(path);
    if (!files.result.ok)
        return {RemoveOutcome::Failed, files.result, {}};
    QStringList others;
    for (const QString& name : files.names) {
        if (Names::snippetNameOfFile(name).isNull())
            others.append(name);
    }
    if (!others.isEmpty())
        return {RemoveOutcome::HasOtherFiles,
                Result::failure(path, QCoreApplication::translate(
                                          "LibraryFs", "The folder holds files that are not "
                                                       "code snippets")),
                others};
    return {};
}

LibraryFs::Remove LibraryFs::removeCategoryFolder(const QString& path) {
    // Asked again: the folder may have changed since the user was asked.
    const Remove check = checkCategoryRemoval(path);
    if (check.outcome != RemoveOutcome::Removed)
        return check;
    if (isSymbolicLink(path)) {
        const Result removed = removeFile(path);
        return {removed.ok ? RemoveOutcome::Removed : RemoveOutcome::Failed, removed, {}};
    }
    const Listing files = listFiles(path);
    if (!files.result.ok)
        return {RemoveOutcome::Failed, files.result, {}};
    for (const QString& name : files.names) {
        if (Names::snippetNameOfFile(name).isNull())
            continue; // came after the check: it stays, and so does the folder
        const Result removed = removeFile(fileInFolder(path, name));
        if (!removed.ok)
            return {RemoveOutcome::Failed, removed, {}};
    }
    const Result removed = removeEmptyFolder(path);
    return {removed.ok ? RemoveOutcome::Removed : RemoveOutcome::Failed, removed, {}};
}

QString LibraryFs::placeInLibrary(const QString& path, bool followLast) {
    if (holdsNul(path))
        return {};
    const QString library = QDir::cleanPath(libraryPath());
    const QString realLibrary = QFileInfo(library).canonicalFilePath();
    // The nearest part of the path that exists, with every link in it followed, then the rest.
    QFileInfo info(QDir::cleanPath(path));
    QString rest;
    if (!followLast) {
        rest = info.fileName();
        info = QFileInfo(info.absolutePath());
    }
    QString real = info.canonicalFilePath();
    while (real.isEmpty()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return {};
        rest = rest.isEmpty() ? info.fileName() : info.fileName() + QLatin1Char('/') + rest;
        info = QFileInfo(parent);
        real = info.canonicalFilePath();
    }
    if (!rest.isEmpty())
        real = QDir::cleanPath(real + QLatin1Char('/') + rest);
    const QString base = realLibrary.isEmpty() ? library : realLibrary;
    if (!real.startsWith(base + QLatin1Char('/')))
        return {};
    return real.mid(base.size() + 1);
}

bool LibraryFs::insideLibrary(const QString& path, bool followLast) {
    return !placeInLibrary(path, followLast).isEmpty();
}

QString LibraryFs::outsideReason() {
    return QCoreApplication::translate("LibraryFs", "it lies outside the library folder");
}

LibraryFs::Result LibraryFs::writeSnippet(const QString& path, const QByteArray& bytes) {
    if (!insideLibrary(writeTarget(path)))
        return Result::failure(path, outsideReason());
    return writeFileAtomically(path, bytes);
}

LibraryFs::Result LibraryFs::deleteSnippet(const QString& path) {
    if (!insideLibrary(path, false))
        return Result::failure(path, outsideReason());
    return removeFile(path);
}

LibraryFs::Create LibraryFs::createCategoryFolder(const QString& path) {
    if (!insideLibrary(path, false))
        return {CreateOutcome::Failed, Result::failure(path, outsideReason())};
    return createFolder(path);
}
