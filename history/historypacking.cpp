// SPDX-License-Identifier: MIT
// libgit2 never packs by itself: loose objects are packed on the worker now and then.
#include "history/historyworker.h"

#include <QDir>
#include <QSet>

using namespace gitsupport;
using namespace historydetail;

namespace {

// libgit2 never packs by itself; loose objects past this many are packed on the worker.
constexpr int PackAfterLooseObjects = 4000;

} // namespace

void History::Worker::packIfNeeded() {
    if (looseObjects < PackAfterLooseObjects || !repo)
        return;
    looseObjects = 0;
    const QStringList loose = countLoose();
    if (loose.size() < PackAfterLooseObjects / 2)
        return;
    Packbuilder builder;
    if (git_packbuilder_new(builder.out(), repo.get()) < 0)
        return failed(History::tr("a packed copy of its objects"));
    // Named first, so that each version of a tree or snippet finds the one before it.
    const QSet<QString> looseSet(loose.cbegin(), loose.cend());
    for (const auto& [id, name] : written) {
        if (looseSet.contains(hex(id)))
            git_packbuilder_insert(builder.get(), &id, name.constData());
    }
    written.clear();
    for (const QString& name : loose) {
        const std::optional<git_oid> id = oidOf(name);
        if (id)
            git_packbuilder_insert(builder.get(), &*id, nullptr);
    }
    if (git_packbuilder_write(builder.get(), nullptr, 0, nullptr, nullptr) < 0)
        return failed(History::tr("a packed copy of its objects"));
    // Only now that the pack is whole on disk may the loose copies go.
    const QDir objects(gitFolder + QStringLiteral("/objects"));
    for (const QString& name : loose)
        QFile::remove(objects.filePath(name.left(2) + QLatin1Char('/') + name.mid(2)));
    Odb odb;
    if (git_repository_odb(odb.out(), repo.get()) == 0)
        git_odb_refresh(odb.get());
}

QStringList History::Worker::countLoose() const {
    QStringList loose;
    const QDir objects(gitFolder + QStringLiteral("/objects"));
    const QStringList fans = objects.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& fan : fans) {
        if (fan.size() != 2)
            continue;
        const QStringList files = QDir(objects.filePath(fan)).entryList(QDir::Files);
        for (const QString& file : files) {
            if (file.size() == GIT_OID_HEXSZ - 2)
                loose.append(fan + file);
        }
    }
    return loose;
}
