// SPDX-License-Identifier: MIT
#include "history/gitsupport.h"

#include <QStringList>
#include <array>
#include <pwd.h>
#include <unistd.h>

namespace gitsupport {

namespace {

struct Word {
    History::Action action;
    const char* word;
};
constexpr std::array Words{
    Word{History::Action::Save, "save"},
    Word{History::Action::SaveAs, "save-as"},
    Word{History::Action::Delete, "delete"},
    Word{History::Action::AddCategory, "add-category"},
    Word{History::Action::RemoveCategory, "remove-category"},
    Word{History::Action::Restore, "restore"},
    Word{History::Action::ChangedOutside, "changed-outside"},
    Word{History::Action::FirstVersion, "first-version"},
    Word{History::Action::Draft, "draft"},
    Word{History::Action::Sync, "sync"}, // LibrarySync::ActionWord
};

const QString ActionTrailer = QStringLiteral("Quillary-Action:");
const QString PathTrailer = QStringLiteral("Quillary-Path:");

// A path as pathTrailer wrote it.
QString unquoted(const QString& text) {
    if (text.size() < 2 || !text.startsWith(QLatin1Char('"')) || !text.endsWith(QLatin1Char('"')))
        return text;
    QString path;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 2 < text.size()) {
            const QChar next = text[++i];
            c = next == QLatin1Char('n')   ? QChar(QLatin1Char('\n'))
                : next == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                                           : next;
        }
        path += c;
    }
    return path;
}

} // namespace

void tune() {
    // The root tree of a large library and the tree of a large category are read again at every
    // command; libgit2 keeps no tree larger than 4 KB in its cache by default.
    git_libgit2_opts(GIT_OPT_SET_CACHE_OBJECT_LIMIT, GIT_OBJECT_TREE, size_t(8) << 20);
    git_libgit2_opts(GIT_OPT_SET_CACHE_OBJECT_LIMIT, GIT_OBJECT_COMMIT, size_t(64) << 10);
    // git itself does not hash every object again as it reads it; `git fsck` is there for that.
    git_libgit2_opts(GIT_OPT_ENABLE_STRICT_HASH_VERIFICATION, 0);
}

const char* actionWord(History::Action action) {
    for (const Word& word : Words) {
        if (word.action == action)
            return word.word;
    }
    return "";
}

std::optional<History::Action> actionOfWord(const QString& text) {
    for (const Word& word : Words) {
        if (text == QLatin1String(word.word))
            return word.action;
    }
    return std::nullopt;
}

Trailers trailersOf(const char* message) {
    Trailers trailers;
    const QStringList lines = QString::fromUtf8(message).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(ActionTrailer))
            trailers.action = actionOfWord(line.mid(ActionTrailer.size()).trimmed());
        else if (line.startsWith(PathTrailer))
            trailers.paths.append(
                unquoted(line.mid(PathTrailer.size() + 1))); // names may end in spaces
    }
    return trailers;
}

QByteArray pathTrailer(const QString& path) {
    QByteArray text = path.toUtf8();
    if (text.contains('\n') || text.contains('\r') || text.startsWith('"')) {
        QByteArray quoted = "\"";
        for (const char c : std::as_const(text)) {
            switch (c) {
            case '\\':
                quoted += "\\\\";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            default:
                quoted += c;
            }
        }
        text = quoted + '"';
    }
    return "Quillary-Path: " + text + "\n";
}

QString loginName() {
    if (const passwd* user = getpwuid(getuid()); user && user->pw_name && *user->pw_name)
        return QString::fromLocal8Bit(user->pw_name);
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QStringLiteral("quillary") : fromEnvironment;
}

} // namespace gitsupport
