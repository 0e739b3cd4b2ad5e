// SPDX-License-Identifier: MIT
#include "history/syncmerge.h"

#include <QList>
#include <QSet>
#include <QStringView>

namespace syncmerge {

std::optional<Entry> lookup(const Files& files, const QByteArray& path) {
    const auto it = files.constFind(path);
    return it == files.cend() ? std::nullopt : std::optional<Entry>(*it);
}

bool belongsOnDisk(const QByteArray& path, const Entry& entry) {
    if (entry.mode != GIT_FILEMODE_BLOB && entry.mode != GIT_FILEMODE_BLOB_EXECUTABLE)
        return false;
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
    QList<QByteArray> folders;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        for (qsizetype slash = it.key().indexOf('/'); slash >= 0;
             slash = it.key().indexOf('/', slash + 1))
            folders.append(it.key().left(slash));
    }
    for (const QByteArray& folder : folders) {
        const auto blob = files.constFind(folder);
        if (blob == files.cend())
            continue;
        const Entry entry = *blob;
        files.erase(blob);
        const QByteArray name = copyName(folder, host, [&](const QByteArray& candidate) {
            return files.contains(candidate) || folders.contains(candidate);
        });
        files.insert(name, entry);
        renamed.append(QString::fromUtf8(name));
    }
    return renamed;
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
    QSet<QByteArray> paths;
    for (const Files* side : {&base, &ours, &theirs}) {
        for (auto it = side->cbegin(); it != side->cend(); ++it)
            paths.insert(it.key());
    }
    Files merged;
    for (const QByteArray& path : paths) {
        const std::optional<Entry> b = lookup(base, path);
        const std::optional<Entry> o = lookup(ours, path);
        const std::optional<Entry> t = lookup(theirs, path);
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
            merged.insert(path, *kept);
    }
    return merged;
}

} // namespace syncmerge
