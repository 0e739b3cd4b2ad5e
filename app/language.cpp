// SPDX-License-Identifier: MIT
#include "app/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace {
const QString CataloguePrefix = QStringLiteral(":/i18n/quillary_");

std::unique_ptr<QTranslator>& ours() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}
std::unique_ptr<QTranslator>& qts() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}
} // namespace

namespace Language {

QStringList catalogued() {
    QStringList languages;
    const QStringList files =
        QDir(QStringLiteral(":/i18n")).entryList({QStringLiteral("quillary_*.qm")});
    for (const QString& file : files)
        languages.append(file.section(QLatin1Char('_'), 1).section(QLatin1Char('.'), 0, 0));
    return languages;
}

QString choose(const QStringList& uiLanguages, const QString& messagesLocale,
               const QStringList& available) {
    const QString locale = messagesLocale.section(QLatin1Char('@'), 0, 0);
    if (locale == u"C" || locale == u"POSIX")
        return QString();
    for (const QString& wanted : uiLanguages) {
        // "de-DE", "de_DE.UTF-8" and "de" all ask for German.
        const QString language = wanted.section(QLatin1Char('-'), 0, 0)
                                     .section(QLatin1Char('_'), 0, 0)
                                     .section(QLatin1Char('.'), 0, 0)
                                     .toLower();
        // English is the source texts: asking for it first ends the search.
        if (language == u"en" || language == u"c")
            return QString();
        if (available.contains(language))
            return language;
    }
    return QString();
}

QString fromDesktop() {
    QString messages = qEnvironmentVariable("LC_ALL");
    if (messages.isEmpty())
        messages = qEnvironmentVariable("LC_MESSAGES");
    if (messages.isEmpty())
        messages = qEnvironmentVariable("LANG");
    return choose(QLocale::system().uiLanguages(), messages, catalogued());
}

bool install(const QString& language) {
    for (auto* slot : {&ours(), &qts()}) {
        if (*slot)
            QCoreApplication::removeTranslator(slot->get());
        slot->reset();
    }
    if (language.isEmpty())
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(CataloguePrefix + language))
        return false;
    QCoreApplication::installTranslator(translator.get());
    ours() = std::move(translator);
    // Qt's own buttons and menus; a desktop without Qt's catalogues keeps them English.
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_") + language,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        qts() = std::move(qt);
    }
    return true;
}

} // namespace Language
