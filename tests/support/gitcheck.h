// SPDX-License-Identifier: MIT
#pragma once

// Reading back with git itself what the program wrote through libgit2.

#include "tests/support/faults.h"

#include <QString>
#include <cstdio>

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
