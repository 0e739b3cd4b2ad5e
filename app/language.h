// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

class QCoreApplication;

// Which language the program speaks: the desktop's, where a catalogue of ours fits, else English.
namespace Language {

// The languages built into the program, besides English: "de", "es".
QStringList catalogued();

// The first of the desktop's languages ("de-DE", "de", ...) that `available` holds, by its
// language part; empty for English. `messagesLocale` is what LC_ALL, LC_MESSAGES or LANG name:
// under "C" or "POSIX" the program speaks English whatever LANGUAGE asks, as gettext does.
QString choose(const QStringList& uiLanguages, const QString& messagesLocale,
               const QStringList& available);

// The language chosen from this process's environment.
QString fromDesktop();

// Installs our catalogue and Qt's own for `language` (empty: English), replacing any installed
// before. Returns whether our catalogue was found.
bool install(const QString& language);

} // namespace Language
