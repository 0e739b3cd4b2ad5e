// SPDX-License-Identifier: MIT
#include "history/transportchild.h"

#include "history/gitsupport.h"
#include "history/synctransport.h"
#include "library/libraryfs.h"

#include <QCoreApplication>
#include <QFile>
#include <QTranslator>
#include <QUrl>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace gitsupport;
using syncmerge::Cancelled;
using syncmerge::Failure;

namespace transportchild {

namespace {

// One line is words separated by spaces, each percent-encoded.
QByteArray word(const QString& text) {
    return text.isEmpty() ? QByteArray("-") : QUrl::toPercentEncoding(text);
}

QString unword(const QByteArray& encoded) {
    return encoded == "-" ? QString() : QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
}

bool sendAll(int fd, const QByteArray& line) {
    qsizetype sent = 0;
    while (sent < line.size()) {
        const ssize_t n =
            ::send(fd, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// The child's end: its questions block until the parent answers.
class Channel {
public:
    explicit Channel(int fd) : m_fd(fd) {}
    void say(const QList<QByteArray>& words) {
        if (!sendAll(m_fd, words.join(' ') + '\n'))
            _exit(3); // the history is gone
    }
    QList<QByteArray> hear() {
        for (;;) {
            const qsizetype end = m_buffer.indexOf('\n');
            if (end >= 0) {
                const QByteArray line = m_buffer.left(end);
                m_buffer.remove(0, end + 1);
                return line.split(' ');
            }
            char chunk[4096];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                _exit(3);
            m_buffer.append(chunk, n);
        }
    }

private:
    int m_fd;
    QByteArray m_buffer;
};

// The child has no catalogue of its own: each text it makes is translated by the program.
class RelayedTranslator : public QTranslator {
public:
    explicit RelayedTranslator(Channel& channel) : m_channel(channel) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        m_channel.say({"tr", word(QString::fromUtf8(context)), word(QString::fromUtf8(source)),
                       word(QString::fromUtf8(disambiguation)), QByteArray::number(n)});
        const QList<QByteArray> answer = m_channel.hear();
        return answer.size() == 2 && answer[0] == "text" ? unword(answer[1]) : QString();
    }

private:
    Channel& m_channel;
};

void killChild(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

QString program() {
    const QString name = QStringLiteral("quillary-transport");
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        const QString beside =
            QFile::decodeName(QByteArray(self, length)).section(QLatin1Char('/'), 0, -2) +
            QLatin1Char('/') + name;
        if (QFile::exists(beside))
            return beside;
    }
    const QString installed = QStringLiteral(QUILLARY_TRANSPORT_INSTALLED);
    if (QFile::exists(installed))
        return installed;
    return QStringLiteral(QUILLARY_TRANSPORT_BUILT);
}

Result run(const QString& operation, const QString& gitFolder, const QString& remote,
           Relay& relay) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) < 0)
        throw Failure{QString::fromLocal8Bit(strerror(errno))};
    const int fd = pair[0];
    const auto closeOurs = [fd] { ::close(fd); };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
    const QByteArray path = QFile::encodeName(program());
    const QByteArray op = operation.toUtf8();
    const QByteArray folder = QFile::encodeName(gitFolder);
    const QByteArray parent = QByteArray::number(qint64(::getpid()));
    char* argv[] = {const_cast<char*>(path.constData()), const_cast<char*>(op.constData()),
                    const_cast<char*>(folder.constData()), const_cast<char*>(parent.constData()),
                    nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (spawned != 0) {
        closeOurs();
        throw Failure{QCoreApplication::translate("LibrarySync",
                                                  "the program's transport (%1) could not be "
                                                  "started: %2")
                          .arg(QFile::decodeName(path), QString::fromLocal8Bit(strerror(spawned)))};
    }
    // The remote goes over the channel, never on the command line, where others could read it.
    const auto answer = [&](const QList<QByteArray>& words) {
        sendAll(fd, words.join(' ') + '\n');
    };
    answer({word(remote)});

    using Clock = std::chrono::steady_clock;
    Clock::time_point heard = Clock::now();
    QByteArray buffer;
    std::optional<LibrarySync::Login> given;
    std::optional<Result> result;
    QString failure;
    bool cancelled = false;
    const auto handle = [&](const QList<QByteArray>& line) {
        const QByteArray& kind = line.value(0);
        if (kind == "progress" && line.size() == 3) {
            if (relay.progress)
                relay.progress(line[1].toULongLong(), line[2].toULongLong());
        } else if (kind == "tr" && line.size() == 5) {
            const QByteArray context = unword(line[1]).toUtf8();
            const QByteArray source = unword(line[2]).toUtf8();
            const QByteArray disambiguation = unword(line[3]).toUtf8();
            answer({"text", word(QCoreApplication::translate(
                                context.constData(), source.constData(),
                                disambiguation.isEmpty() ? nullptr : disambiguation.constData(),
                                line[4].toInt()))});
        } else if (kind == "host" && line.size() == 4) {
            const bool yes =
                relay.trustUnknownHost &&
                relay.trustUnknownHost(unword(line[1]), unword(line[2]), unword(line[3]));
            answer({yes ? "yes" : "no"});
        } else if (kind == "login" && line.size() == 3) {
            given =
                relay.askLogin ? relay.askLogin(unword(line[1]), line[2].toInt()) : std::nullopt;
            if (given)
                answer({"login", word(given->user), word(given->secret)});
            else
                answer({"no"});
        } else if (kind == "worked") {
            if (given && relay.loginWorked)
                relay.loginWorked(*given);
        } else if (kind == "fetched" && line.size() == 2) {
            result = Result{};
            if (line[1] != "none")
                result->head = oidOf(QString::fromLatin1(line[1]));
        } else if (kind == "pushed" || kind == "behind") {
            result = Result{};
            result->behind = kind == "behind";
        } else if (kind == "failed" && line.size() == 2) {
            failure = unword(line[1]);
        } else if (kind == "cancelled") {
            cancelled = true;
        }
        heard = Clock::now(); // a question's time with the user is no stall
    };
    for (;;) {
        if (relay.cancelled && relay.cancelled()) {
            killChild(pid);
            closeOurs();
            throw Cancelled{};
        }
        if (Clock::now() - heard > relay.stallTimeout) {
            killChild(pid);
            closeOurs();
            throw Failure{
                QCoreApplication::translate("LibrarySync",
                                            "the remote sent nothing for %1 seconds; it may be "
                                            "down or the network may be gone")
                    .arg(std::chrono::duration_cast<std::chrono::seconds>(relay.stallTimeout)
                             .count())};
        }
        pollfd wanted{fd, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, 40);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0) {
            if (relay.whileWaiting)
                relay.whileWaiting();
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        heard = Clock::now();
        buffer.append(chunk, n);
        for (qsizetype end; (end = buffer.indexOf('\n')) >= 0;) {
            const QList<QByteArray> line = buffer.left(end).split(' ');
            buffer.remove(0, end + 1);
            handle(line);
        }
    }
    closeOurs();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (cancelled)
        throw Cancelled{};
    if (!failure.isEmpty())
        throw Failure{failure};
    if (!result || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Failure{WIFSIGNALED(status)
                          ? QCoreApplication::translate(
                                "LibrarySync", "the program's transport stopped unexpectedly "
                                               "(signal %1)")
                                .arg(WTERMSIG(status))
                          : QCoreApplication::translate(
                                "LibrarySync", "the program's transport stopped unexpectedly")};
    return *result;
}

int childMain(int argc, char** argv) {
    // The history's end is the transport's end, however the history ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 4 || QByteArray(argv[3]).toLongLong() != qint64(::getppid()))
        return 2;
    QCoreApplication app(argc, argv);
    Channel channel(0);
    RelayedTranslator translator(channel);
    QCoreApplication::installTranslator(&translator);
    const QByteArray operation = argv[1];
    const QString gitFolder = QFile::decodeName(argv[2]);
    const QString remote = unword(channel.hear().value(0));
    const Library git;
    Repository repo;
    if (git_repository_open_ext(repo.out(), argv[2], GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0) {
        channel.say({"failed", word(lastError())});
        return 0;
    }
    LibraryFs fs(LibraryLocations{gitFolder + QLatin1Char('/'), {}});
    SyncTransport::Hooks hooks;
    hooks.progress = [&](quint64 done, quint64 total) {
        channel.say({"progress", QByteArray::number(done), QByteArray::number(total)});
    };
    hooks.alive = [&] { channel.say({"alive"}); };
    hooks.trustUnknownHost = [&](const QString& host, const QString& type, const QString& print) {
        channel.say({"host", word(host), word(type), word(print)});
        return channel.hear().value(0) == "yes";
    };
    hooks.askLogin = [&](const QString& user, int attempt) -> std::optional<LibrarySync::Login> {
        channel.say({"login", word(user), QByteArray::number(attempt)});
        const QList<QByteArray> answer = channel.hear();
        if (answer.size() != 3 || answer[0] != "login")
            return std::nullopt;
        return LibrarySync::Login{unword(answer[1]), unword(answer[2])};
    };
    hooks.loginWorked = [&](const LibrarySync::Login&) { channel.say({"worked"}); };
    SyncTransport transport(repo.get(), fs, remote, std::move(hooks));
    try {
        if (operation == "fetch") {
            const std::optional<git_oid> head = transport.fetch();
            channel.say({"fetched", head ? hex(*head).toLatin1() : QByteArray("none")});
        } else if (operation == "push") {
            channel.say({transport.push() ? "pushed" : "behind"});
        } else {
            return 2;
        }
    } catch (const Failure& failed) {
        channel.say({"failed", word(failed.cause)});
    } catch (const Cancelled&) {
        channel.say({"cancelled"});
    }
    return 0;
}

} // namespace transportchild
