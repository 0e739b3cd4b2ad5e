// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

// Rules for names the user types: a category or snippet name must stay inside its folder.
namespace Names {

// What every snippet file's name ends with.
inline const QString SnippetEnding = QStringLiteral(".code");

// The file that holds the snippet `name`.
inline QString snippetFileName(const QString& name) {
    return name + SnippetEnding;
}

// The nine characters a name may not hold.
inline constexpr char16_t ForbiddenCharacters[] = u"\\/:*?\"<>|";

// True when the name holds one of the nine characters or is "." or "..".
bool isForbidden(QStringView name);

// The two-line refusal shown for a bad category name.
QString categoryRefusalText();
// The like refusal for a bad snippet name.
QString snippetRefusalText();

// Snippet entry text of a file name: the name less its final ".code", or a null QString when the
// name does not end in ".code" (letter case counts).
QString snippetNameOfFile(QStringView fileName);

// The file name Save As writes for an answer: the answer with ".code" added unless it already
// ends in ".code" (letter case counts).
QString fileNameForAnswer(const QString& answer);

// The entry text Save As adds for a file name: everything before the file name's last ".".
QString entryTextForFileName(const QString& fileName);

} // namespace Names
