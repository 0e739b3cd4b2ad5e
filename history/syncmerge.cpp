// SPDX-License-Identifier: MIT
#include "history/syncmerge.h"

#include "library/languagechoices.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringView>
#include <algorithm>

namespace syncmerge {

namespace {

// The categories' languages: one value is kept, this machine's, and never a copy beside it.
bool isLanguageFile(const QByteArray& path) {
    return path == LanguageChoices::FileName.toUtf8();
}

} // namespace

std::optional<Entry> lookup(const Files& files, const QByteArray& path) {
    const auto it = files.constFind(path);
    return it == files.cend() ? std::nullopt : std::optional<Entry>(*it);
}

bool belongsOnDisk(const QByteArray& path, const Entry& entry) {
    if (entry.mode != GIT_FILEMODE_BLOB && entry.mode != GIT_FILEMODE_BLOB_EXECUTABLE)
        return false;
    if (isLanguageFile(path))
        return true;
    if (!path.endsWith(".code") || QString::fromUtf8(path).toUtf8() != path)
        return false; // a name the library could not show or write back
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == "." || part == ".." || part.startsWith(".git") ||
            part.contains('\\') || part.contains('\0'))
            return false;
    }
    return true;
}

bool libraryCanHold(const QByteArray& path, qint64 size) {
    constexpr qsizetype LongestName = 255; // bytes, on every file system the library lives on
    constexpr qint64 Largest = qint64(128) << 20; // as LibraryFs::SnippetReadLimit
    if (size > Largest)
        return false;
    for (const QByteArray& part : path.split('/')) {
        if (part.size() > LongestName)
            return false;
    }
    return true;
}

QStringList parted(Files& files, const QString& host) {
    QStringList renamed;
    QList<QByteArray> folders; // each once, in order
    QSet<QByteArray> seen;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        for (qsizetype slash = it.key().indexOf('/'); slash >= 0;
             slash = it.key().indexOf('/', slash + 1)) {
            const QByteArray folder = it.key().left(slash);
            if (!folders.isEmpty() && folders.constLast() == folder)
                continue;
            if (!seen.contains(folder)) {
                seen.insert(folder);
                folders.append(folder);
            }
        }
    }
    for (const QByteArray& folder : folders) {
        const auto blob = files.constFind(folder);
        if (blob == files.cend())
            continue;
        const Entry entry = *blob;
        files.erase(blob);
        const QByteArray name = copyName(folder, host, [&](const QByteArray& candidate) {
            return files.contains(candidate) || seen.contains(candidate);
        });
        files.insert(name, entry);
        renamed.append(QString::fromUtf8(name));
    }
    return renamed;
}

QStringList caseApart(Files& files, const Files& onDisk, const QString& host,
                      const std::function<bool(const QByteArray&)>& taken, QStringList& moved) {
    const auto fold = [](const QByteArray& path) { return QString::fromUtf8(path).toCaseFolded(); };
    // The categories' languages keep their one name; then the library's own names go first.
    struct Met {
        QByteArray path;
        Entry entry;
        bool own; // the library's own
    };
    std::vector<Met> order;
    std::vector<Met> arriving;
    order.reserve(size_t(files.size()));
    sideBySide(files, onDisk, Files(),
               [&](const QByteArray& path, const std::optional<Entry>& entry,
                   const std::optional<Entry>& held, const std::optional<Entry>&) {
                   if (!entry)
                       return;
                   if (isLanguageFile(path))
                       order.insert(order.begin(), {path, *entry, true});
                   else
                       (held ? order : arriving).push_back({path, *entry, bool(held)});
               });
    order.insert(order.end(), arriving.cbegin(), arriving.cend());
    struct Placed {
        QByteArray path;
        bool own;
    };
    QHash<QString, QByteArray> folders; // folded -> the spelling kept
    QHash<QString, Placed> names;       // folded -> the file placed under it
    Files apart;
    QStringList copies;
    const auto inUse = [&](const QByteArray& candidate) {
        return names.contains(fold(candidate)) || folders.contains(fold(candidate)) ||
               taken(candidate);
    };
    for (const auto& [path, entry, own] : order) {
        const QList<QByteArray> parts = path.split('/');
        QByteArray spelled;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            const QByteArray folder = spelled + parts[i];
            const QString key = fold(folder);
            auto known = folders.constFind(key);
            if (known == folders.cend()) {
                QByteArray kept = folder;
                const auto file = names.constFind(key);
                if (file != names.cend() && ((file->own && !own) || isLanguageFile(file->path))) {
                    // The library's own file keeps its name: the arriving folder takes another.
                    kept = copyName(folder, host, inUse);
                    folders.insert(fold(kept), kept);
                } else if (file != names.cend()) {
                    // A file met first: it moves beside the folder, as one met after would.
                    const QByteArray was = file->path;
                    names.erase(file);
                    folders.insert(key, folder);
                    const QByteArray name = copyName(was, host, inUse);
                    names.insert(fold(name), {name, false});
                    apart.insert(name, apart.take(was));
                    moved.removeOne(QString::fromUtf8(was));
                    copies.removeOne(QString::fromUtf8(was));
                    moved.append(QString::fromUtf8(name));
                    copies.append(QString::fromUtf8(name));
                }
                known = folders.insert(key, kept);
            }
            spelled = *known + '/';
        }
        QByteArray name = spelled + parts.last();
        const bool copy = names.contains(fold(name)) || folders.contains(fold(name));
        if (copy)
            name = copyName(name, host, inUse);
        names.insert(fold(name), {name, own});
        apart.insert(name, entry);
        if (name != path)
            moved.append(QString::fromUtf8(name));
        if (copy)
            copies.append(QString::fromUtf8(name));
    }
    files = apart;
    return copies;
}

QString fileSafe(QString host) {
    host.removeIf(
        [](QChar c) { return c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|()").contains(c); });
    host = host.trimmed();
    return host.size() > 40 ? host.left(40) : host;
}

QByteArray copyName(const QByteArray& path, const QString& host,
                    const std::function<bool(const QByteArray&)>& taken) {
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    const qsizetype cut = dot > slash + 1 ? dot : path.size();
    const QByteArray stem = path.left(cut);
    const QByteArray ending = path.mid(cut);
    for (int n = 1;; ++n) {
        const QByteArray tag = n == 1 ? host.toUtf8() : host.toUtf8() + ' ' + QByteArray::number(n);
        const QByteArray name = stem + " (" + tag + ")" + ending;
        if (!taken(name))
            return name;
    }
}

Files merge(const Files& base, const Files& ours, const Files& theirs,
            std::vector<std::pair<QByteArray, Entry>>& clashes) {
    Files merged;
    sideBySide(base, ours, theirs,
               [&](const QByteArray& path, const std::optional<Entry>& b,
                   const std::optional<Entry>& o, const std::optional<Entry>& t) {
                   std::optional<Entry> kept;
                   if (o == t || t == b)
                       kept = o;
                   else if (o == b)
                       kept = t;
                   else if (!o || !t)
                       kept = o ? o : t;
                   else {
                       kept = o;
                       clashes.emplace_back(path, *t);
                   }
                   if (kept)
                       merged.insert(merged.cend(), path, *kept); // in order: no search
               });
    return merged;
}

namespace {

bool differs(const OnDisk& now, const std::optional<Entry>& was) {
    if (now.unreadable)
        return true;
    return was ? !now.entry || !git_oid_equal(&now.entry->id, &was->id) : now.entry.has_value();
}

void keepBoth(Files& merged, std::vector<std::pair<QByteArray, Entry>> keep, const Disk& disk,
              Plan& plan) {
    sideBySide(plan.before, merged, Files(),
               [&](const QByteArray& path, const std::optional<Entry>& was,
                   const std::optional<Entry>& will, const std::optional<Entry>&) {
                   if (was == will || (will && !belongsOnDisk(path, *will)) ||
                       (!will && !belongsOnDisk(path, *was)))
                       return;
                   const OnDisk now = disk(path);
                   if (!differs(now, was))
                       return;
                   if (!now.unreadable && now.entry && will &&
                       git_oid_equal(&now.entry->id, &will->id))
                       return; // the edit is what arrives
                   if (will && !isLanguageFile(path))
                       keep.emplace_back(path, *will);
                   plan.editedOnDisk.insert(path);
               });
    std::sort(keep.begin(), keep.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [path, entry] : keep) {
        const QByteArray name = copyName(path, plan.host, [&](const QByteArray& candidate) {
            const OnDisk there = disk(candidate);
            return merged.contains(candidate) || there.entry || there.unreadable;
        });
        merged.insert(name, entry);
        plan.copies.append(QString::fromUtf8(name));
    }
}

// On a disk that ignores case, a file the sync removes (unchanged since its last version) is no
// longer there under another spelling: the removal comes first.
Disk leaving(const Files& merged, const Files& before, const Disk& disk) {
    QHash<QString, QByteArray> gone; // folded -> the path that goes
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!merged.contains(it.key()))
            gone.insert(QString::fromUtf8(it.key()).toCaseFolded(), it.key());
    }
    return [gone, &before, disk](const QByteArray& path) {
        const auto it = gone.constFind(QString::fromUtf8(path).toCaseFolded());
        if (it != gone.cend() && *it != path && !before.contains(path) &&
            !differs(disk(*it), lookup(before, *it)))
            return OnDisk{};
        return disk(path);
    };
}

} // namespace

Files resolve(const Files* base, const Files& theirs, const Disk& disk, bool ignoresCase,
              Plan& plan, QStringList& moved) {
    std::vector<std::pair<QByteArray, Entry>> clashes;
    Files merged = base ? merge(*base, plan.before, theirs, clashes) : theirs;
    clashes.erase(std::remove_if(clashes.begin(), clashes.end(),
                                 [](const auto& clash) { return isLanguageFile(clash.first); }),
                  clashes.end());
    // Before anything is compared with the disk, which would find one name under another.
    if (ignoresCase)
        plan.copies += caseApart(
            merged, plan.before, plan.host,
            [&](const QByteArray& name) {
                const OnDisk there = disk(name);
                return there.entry || there.unreadable;
            },
            moved);
    keepBoth(merged, std::move(clashes), ignoresCase ? leaving(merged, plan.before, disk) : disk,
             plan);
    const QStringList apart = parted(merged, plan.host);
    plan.copies += apart;
    moved += plan.copies;
    moved.removeDuplicates();
    return merged;
}

} // namespace syncmerge
