// SPDX-License-Identifier: MIT
#pragma once

// Reading back with git itself what the program wrote through libgit2.

#include "tests/support/faults.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>

// git and libgit2 read a HOME, an XDG_CONFIG_HOME and no system configuration of the test's own,
// so the machine's settings never decide a result. Called before the first repository is
// touched (libgit2 finds these folders once); returns the configuration folder, where a test
// may write a hostile git/config or git/attributes.
inline QString ownGitHome() {
    static QTemporaryDir home;
    static const bool set = [] {
        const QString config = home.filePath(QStringLiteral(".config"));
        QDir().mkpath(config + QStringLiteral("/git"));
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        qputenv("GIT_CONFIG_NOSYSTEM", "1");
        return true;
    }();
    (void)set;
    return home.filePath(QStringLiteral(".config"));
}

// What a shell command prints on its standard output, trimmed; its errors are dropped.
inline QString commandOutput(const QString& command) {
    QByteArray out;
    if (FILE* pipe =
            ::popen((command + QStringLiteral(" 2>/dev/null")).toUtf8().constData(), "r")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = ::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, qsizetype(got));
        ::pclose(pipe);
    }
    return QString::fromUtf8(out).trimmed();
}

// `git fsck --strict` on a git directory. fsck reads no work tree, but git refuses to start when
// the configured one is gone, so a test that removed it names another.
inline bool fsckStrict(const QString& gitFolder, const QString& workTree = QString()) {
    QStringList arguments{QStringLiteral("--git-dir=") + gitFolder};
    if (!workTree.isEmpty())
        arguments.append(QStringLiteral("--work-tree=") + workTree);
    arguments << QStringLiteral("fsck") << QStringLiteral("--strict");
    return run(QStringLiteral("git"), arguments);
}
