// SPDX-License-Identifier: MIT
#pragma once

// What the search index's tests share: writing library files and reading results as text.

#include "search/snippetindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

inline void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(f.errorString()));
    f.write(bytes);
}

// "category/sub/name" for a name match, "category/sub/name:line:text" for a text match.
inline QStringList describe(const SnippetIndex::Results& results) {
    QStringList out;
    for (const SnippetIndex::Hit& hit : results.listed) {
        QString s = hit.category + QLatin1Char('/') + hit.subCategory + QLatin1Char('/') + hit.name;
        if (!hit.nameMatch)
            s += QStringLiteral(":%1:%2").arg(hit.line).arg(hit.lineText);
        out.append(s);
    }
    return out;
}
