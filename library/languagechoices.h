// SPDX-License-Identifier: MIT
#pragma once

#include "library/libraryfs.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// Which language each category's snippets are coloured in, kept in one small file at the top of
// the library so that the history records it and a sync carries it like a snippet. A dot-file:
// never taken for a category or a snippet.
//
// The file is UTF-8, one choice a line: the language's id, a TAB, the category's folder below the
// library ("Strings" or "Strings/Reverse"); the category comes last so any name fits. Lines
// starting with '#' and empty lines are skipped; CR LF is read as LF.
namespace LanguageChoices {

inline const QString FileName = QStringLiteral(".quillary-languages");

using Choices = QMap<QString, QString>; // category folder -> language id
// The id a sub-category takes to keep the word list's colouring under a parent with a language.
inline const QString WordList = QStringLiteral("wordlist");

struct Parsed {
    Choices choices;
    int badLine = 0; // from 1; 0 when every line is a choice; 1 for a file far too large
};
Parsed parse(const QByteArray& bytes);
QByteArray format(const Choices& choices);

// The category's own choice, or its nearest parent's; empty for the word list's colouring.
QString choiceFor(const Choices& choices, const QString& category);
// An empty id chooses the word list's colouring: the category's own choice goes, and under a
// parent with a language it keeps WordList.
void set(Choices& choices, const QString& category, const QString& id);
// A removed category takes its sub-categories' choices with it.
void removeCategory(Choices& choices, const QString& category);

struct Loaded {
    enum class State { Missing, Read, Unreadable, Malformed } state = State::Missing;
    Choices choices;          // empty unless Read
    LibraryFs::Result result; // why, when Unreadable
    int badLine = 0;          // when Malformed
};
QString filePath(const LibraryFs& fs);
Loaded load(LibraryFs& fs);
LibraryFs::Result save(LibraryFs& fs, const Choices& choices);

} // namespace LanguageChoices
