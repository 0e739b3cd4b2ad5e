// SPDX-License-Identifier: MIT
#pragma once

#include "library/locations.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>

// The one object that builds library paths and touches the disk. Every primitive is virtual so
// that tests can make any step fail; the compound operations call only the primitives.
class LibraryFs {
public:
    struct Result {
        bool ok = true;
        QString path;   // the file or folder the failure concerns
        QString reason; // the system's reason, readable by a person
        static Result success() { return {}; }
        static Result failure(QString path, QString reason) {
            return {false, std::move(path), std::move(reason)};
        }
    };

    struct Listing {
        Result result;
        QStringList names; // sorted case-insensitively
    };

    // What a look at a path tells without opening it.
    struct Stamp {
        bool exists = false;
        bool regular = false; // a plain file (a link counts as what it points to)
        qint64 size = 0;
        qint64 modified = 0; // nanoseconds since the epoch
    };

    struct Read {
        Result result;
        QByteArray bytes;
        Stamp stamp;            // of the file opened; nothing exists when it could not be opened
        bool tooLarge = false;  // longer than the limit: nothing was kept
        bool cancelled = false; // the caller's flag was raised part way
    };
    static constexpr qint64 NoLimit = -1;
    // Snippet files longer than this are neither opened nor searched. Reading one takes several
    // times its size (bytes, text, the editor's document, the search index's folded copy), so a
    // stray multi-gigabyte file would take the program down; 128 MiB stays well clear of that on
    // any desktop, and is twice the largest text a person could keep as one snippet.
    static constexpr qint64 SnippetReadLimit = qint64(128) << 20;

    enum class CreateOutcome { Created, AlreadyExists, Failed };
    struct Create {
        CreateOutcome outcome = CreateOutcome::Created;
        Result result;
    };

    enum class RemoveOutcome {
        Removed,       // its snippet files, then the folder (or the link) are gone
        Missing,       // nothing was at the path
        HasSubfolders, // refused before anything was deleted
        HasOtherFiles, // refused before anything was deleted: `others` names them
        Outside,       // refused: the folder's real place is outside the library
        Failed,        // stopped at result.path; what was deleted before stays deleted
    };
    struct Remove {
        RemoveOutcome outcome = RemoveOutcome::Removed;
        Result result;
        QStringList others; // files that are not snippets, for HasOtherFiles
    };

    explicit LibraryFs(LibraryLocations locations);
    // The library and the keyword list both in `folder`.
    explicit LibraryFs(const QString& folder);
    virtual ~LibraryFs();
    LibraryFs(const LibraryFs&) = delete;
    LibraryFs& operator=(const LibraryFs&) = delete;

    // Paths. The library path ends with '/'.
    QString libraryPath() const { return m_locations.library; }
    QString keywordFilePath() const { return m_locations.keywordFile; }
    QString categoryFolder(const QString& category) const;
    QString subCategoryFolder(const QString& category, const QString& subCategory) const;
    static QString fileInFolder(const QString& folder, const QString& fileName);

    // Primitives.
    virtual bool folderExists(const QString& path);
    virtual Create createFolder(const QString& path); // the parent must exist
    virtual Listing listFolders(const QString& path); // sub-folders (links to folders included)
    virtual Listing listFiles(const QString& path);   // everything that is not a folder
    // The whole file; refuses what is not a file. Above `limit` bytes nothing is kept and the
    // read says tooLarge; a raised `cancel` stops it between blocks.
    virtual Read readFile(const QString& path, qint64 limit = NoLimit,
                          const std::atomic<bool>* cancel = nullptr);
    virtual Result writeFileAtomically(const QString& path, const QByteArray& bytes);
    // Adds `bytes` at the end, made if missing (0600): lines other programs added meanwhile stay.
    virtual Result appendToFile(const QString& path, const QByteArray& bytes);
    virtual Result removeFile(const QString& path);
    virtual Result removeEmptyFolder(const QString& path);
    // Only the owner may read or write it (0700 for a folder, 0600 for a file), as ssh wants.
    virtual Result restrictToOwner(const QString& path);
    virtual bool isSymbolicLink(const QString& path);
    virtual bool fileExists(const QString& path);
    virtual Stamp stamp(const QString& path);

    // Compound operations.
    // Creates the library folder, and any missing folder above it, when it is missing.
    Result ensureLibraryFolder();
    // Removes a category folder: refuses one that holds any folder or any file that is not a
    // snippet, or that lies outside the library, then deletes its snippet files and the folder. A
    // folder that is a symbolic link loses the link alone.
    Remove removeCategoryFolder(const QString& path);
    // What removeCategoryFolder would refuse, asked before the user is: the outcome is Removed
    // when nothing stands in the way.
    Remove checkCategoryRemoval(const QString& path);

    // Whether `path` lies below the library folder once every link on the way is followed (the
    // last part too when `followLast`). The path need not exist.
    bool insideLibrary(const QString& path, bool followLast = true);
    // Where `path` really lies, relative to the library ("Strings/Reverse.code") once every link
    // is followed as insideLibrary follows them; empty when that is outside the library.
    QString placeInLibrary(const QString& path, bool followLast = true);
    // The commands' writes: each refuses a path whose real place is outside the library, so a
    // link inside the library never lets the program change anything elsewhere.
    Result writeSnippet(const QString& path, const QByteArray& bytes);
    Result deleteSnippet(const QString& path); // a link goes, never what it points to
    Create createCategoryFolder(const QString& path);

    // Why a command refused a path outside the library.
    static QString outsideReason();

private:
    LibraryLocations m_locations;
};
