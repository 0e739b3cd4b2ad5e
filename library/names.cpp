// SPDX-License-Identifier: MIT
#include "library/names.h"

#include <QCoreApplication>

namespace Names {
namespace {

// Sixteen spaces, then the nine characters one space apart.
QString forbiddenCharactersLine() {
    return QStringLiteral("                \\ / : * ? \" < > |");
}

} // namespace

bool isForbidden(QStringView name) {
    if (name == u"." || name == u"..")
        return true;
    for (QChar ch : name) {
        for (char16_t forbidden : ForbiddenCharacters) {
            if (forbidden != u'\0' && ch == QChar(forbidden))
                return true;
        }
    }
    return false;
}

QString categoryRefusalText() {
    return QCoreApplication::translate(
               "Names", "A category name cannot include any of the following characters:\n") +
           forbiddenCharactersLine();
}

QString snippetRefusalText() {
    return QCoreApplication::translate(
               "Names", "A file name cannot include any of the following characters:\n") +
           forbiddenCharactersLine();
}

QString snippetNameOfFile(QStringView fileName) {
    if (!fileName.endsWith(SnippetEnding, Qt::CaseSensitive))
        return QString();
    // ".code" alone names a snippet with empty text, which must not read as "not a snippet".
    QString name = fileName.first(fileName.size() - SnippetEnding.size()).toString();
    return name.isNull() ? QStringLiteral("") : name;
}

QString fileNameForAnswer(const QString& answer) {
    if (answer.endsWith(SnippetEnding, Qt::CaseSensitive))
        return answer;
    return answer + SnippetEnding;
}

QString entryTextForFileName(const QString& fileName) {
    const qsizetype lastDot = fileName.lastIndexOf(QLatin1Char('.'));
    if (lastDot < 0)
        return fileName;
    QString text = fileName.left(lastDot);
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace Names
