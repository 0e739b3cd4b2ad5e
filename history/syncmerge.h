// SPDX-License-Identifier: MIT
// The sync's rules for bringing two versions of the library together, path by path. No network,
// no disk: trees as maps of paths to blobs.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <git2.h>
#include <optional>
#include <utility>
#include <vector>

namespace syncmerge {

struct Entry {
    git_oid id{};
    git_filemode_t mode = GIT_FILEMODE_BLOB;
    bool operator==(const Entry& other) const {
        return mode == other.mode && git_oid_equal(&id, &other.id);
    }
};
using Files = QMap<QByteArray, Entry>; // every blob of a tree by its path

// Why a sync stopped, in the program's words; and a sync the user stopped.
struct Failure {
    QString cause;
};
struct Cancelled {};

// What a sync brings the library to.
struct Plan {
    std::optional<git_oid> target; // the commit main is to be; none when both are empty
    Files before;                  // the library's last version
    Files after;                   // the target's
    QStringList copies;
    QString host;                  // the other side's machine, which names its copies
    QSet<QByteArray> editedOnDisk; // edits not yet recorded when planned: they stay as they are
};

std::optional<Entry> lookup(const Files& files, const QByteArray& path);

// Visits every path of up to three maps once, in order, with its entry on each side: one walk
// instead of a lookup per path, which on a library of 100,000 snippets costs a second a sync.
template <typename Visit>
void sideBySide(const Files& a, const Files& b, const Files& c, Visit&& visit) {
    auto ia = a.cbegin(), ib = b.cbegin(), ic = c.cbegin();
    const auto take = [](Files::const_iterator& it, const Files& side,
                         const QByteArray& path) -> std::optional<Entry> {
        if (it == side.cend() || it.key() != path)
            return std::nullopt;
        return *it++;
    };
    for (;;) {
        const QByteArray* least = ia != a.cend() ? &ia.key() : nullptr;
        if (ib != b.cend() && (!least || ib.key() < *least))
            least = &ib.key();
        if (ic != c.cend() && (!least || ic.key() < *least))
            least = &ic.key();
        if (!least)
            return;
        const QByteArray path = *least;
        const std::optional<Entry> x = take(ia, a, path);
        const std::optional<Entry> y = take(ib, b, path);
        const std::optional<Entry> z = take(ic, c, path);
        visit(path, x, y, z);
    }
}

// Only snippet files and category folders are written into the library; anything else a
// remote's tree holds stays in the history alone.
bool belongsOnDisk(const QByteArray& path, const Entry& entry);

// Whether a snippet the history holds at `path` can be a file in the library: a name each of
// whose parts fits a file system's 255 bytes, and no larger than a snippet may be read.
bool libraryCanHold(const QByteArray& path, qint64 size);

// What a tree may hold before the sync walks it: a remote's history is not trusted.
constexpr int MostFolderDepth = 64;
constexpr qsizetype MostEntries = 2'000'000;

// A blob of the tree named `path` that is a folder's name in it too, renamed beside it: a
// file cannot be a folder.
QStringList parted(Files& files, const QString& host);

// On a file system that ignores case, two names that differ only in case are one file, and two
// such folders one folder. Each name keeps the spelling met first (the categories' languages,
// then the library's own: those in `onDisk`), and a file whose name is taken so is renamed beside
// it, as a copy. A file and a folder one but for case: the file is the copy, unless it is the
// library's own (or the languages) and the folder arrives, which then takes a free name with all
// it holds. Returns the copies; `moved` is told every path that changed, copies included.
QStringList caseApart(Files& files, const Files& onDisk, const QString& host,
                      const std::function<bool(const QByteArray&)>& taken, QStringList& moved);

// A machine's name as it may stand in a file name.
QString fileSafe(QString host);

// "Strings/Reverse.code" -> "Strings/Reverse (HOST).code", numbered while the name is taken.
QByteArray copyName(const QByteArray& path, const QString& host,
                    const std::function<bool(const QByteArray&)>& taken);

// Path by path: a side that changed nothing takes the other's; a change beats a deletion;
// two different versions both kept: ours in the result, theirs told in `clashes`.
Files merge(const Files& base, const Files& ours, const Files& theirs,
            std::vector<std::pair<QByteArray, Entry>>& clashes);

// What the library holds at a path now: its blob, none when nothing is there. A file that
// cannot be read counts as an edit, so it is never overwritten.
struct OnDisk {
    std::optional<Entry> entry;
    bool unreadable = false;
};
using Disk = std::function<OnDisk(const QByteArray& path)>;

// What the library and its history are to become when `theirs` arrives on `plan.before` (ours),
// of the machine `plan.host`: merged path by path from `base` (null: theirs follows ours and is
// taken whole); each clash kept twice; a file that differs on disk from its last version is an
// edit not yet recorded, which stays as it is with what would have replaced it beside it; names
// the file system would take for one kept apart. Fills the plan's copies and editedOnDisk;
// `moved` is told every path that took a name of its own.
Files resolve(const Files* base, const Files& theirs, const Disk& disk, bool ignoresCase,
              Plan& plan, QStringList& moved);

} // namespace syncmerge
