// SPDX-License-Identifier: MIT
#include "library/languagechoices.h"

#include <QStringDecoder>

namespace LanguageChoices {

namespace {
// A few hundred categories take a few KB; anything far larger is not this file.
constexpr qint64 ReadLimit = qint64(1) << 20;

bool isCategory(const QString& folder) {
    if (folder.isEmpty() || folder.startsWith(u'/') || folder.endsWith(u'/'))
        return false;
    for (const QString& part : folder.split(u'/')) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

bool isId(const QString& id) {
    if (id.isEmpty())
        return false;
    for (const QChar c : id) {
        if (!(c.isLower() && c.unicode() < 128) && !(c.isDigit() && c.unicode() < 128) &&
            c != u'-' && c != u'_')
            return false;
    }
    return true;
}
} // namespace

Parsed parse(const QByteArray& bytes) {
    Parsed parsed;
    // Taken in, it would be refused unread at the next load.
    if (bytes.size() > ReadLimit) {
        parsed.badLine = 1;
        return parsed;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        parsed.badLine = 1;
        return parsed;
    }
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        const QString id = line.left(tab);
        const QString category = line.mid(tab + 1);
        if (tab < 0 || !isId(id) || !isCategory(category) || parsed.choices.contains(category)) {
            parsed.choices.clear();
            parsed.badLine = int(i) + 1;
            return parsed;
        }
        parsed.choices.insert(category, id);
    }
    return parsed;
}

QByteArray format(const Choices& choices) {
    QString text = QStringLiteral("# Quillary: the language each category is coloured in "
                                  "(id, TAB, category)\n");
    for (auto it = choices.cbegin(); it != choices.cend(); ++it)
        text += it.value() + u'\t' + it.key() + u'\n';
    return text.toUtf8();
}

QString choiceFor(const Choices& choices, const QString& category) {
    QString folder = category;
    while (!folder.isEmpty()) {
        if (const auto it = choices.constFind(folder); it != choices.cend())
            return *it == WordList ? QString() : *it;
        const qsizetype slash = folder.lastIndexOf(u'/');
        folder = slash < 0 ? QString() : folder.left(slash);
    }
    return QString();
}

void set(Choices& choices, const QString& category, const QString& id) {
    choices.remove(category);
    if (!id.isEmpty())
        choices.insert(category, id);
    else if (!choiceFor(choices, category).isEmpty())
        choices.insert(category, WordList);
}

void removeCategory(Choices& choices, const QString& category) {
    const QString below = category + u'/';
    for (auto it = choices.begin(); it != choices.end();) {
        if (it.key() == category || it.key().startsWith(below))
            it = choices.erase(it);
        else
            ++it;
    }
}

QString filePath(const LibraryFs& fs) {
    return LibraryFs::fileInFolder(fs.libraryPath(), FileName);
}

Loaded load(LibraryFs& fs) {
    Loaded loaded;
    const QString path = filePath(fs);
    if (!fs.fileExists(path) && !fs.isSymbolicLink(path))
        return loaded;
    const LibraryFs::Read read = fs.readFile(path, ReadLimit);
    if (read.tooLarge) {
        loaded.state = Loaded::State::Malformed;
        loaded.badLine = 1;
        return loaded;
    }
    if (!read.result.ok) {
        loaded.state = Loaded::State::Unreadable;
        loaded.result = read.result;
        return loaded;
    }
    Parsed parsed = parse(read.bytes);
    if (parsed.badLine > 0) {
        loaded.state = Loaded::State::Malformed;
        loaded.badLine = parsed.badLine;
        return loaded;
    }
    loaded.state = Loaded::State::Read;
    loaded.choices = std::move(parsed.choices);
    return loaded;
}

LibraryFs::Result save(LibraryFs& fs, const Choices& choices) {
    return fs.writeSnippet(filePath(fs), format(choices));
}

} // namespace LanguageChoices
