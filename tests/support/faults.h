// SPDX-License-Identifier: MIT
#pragma once

// Real file system faults for tests that run as root, where permission bits alone prove nothing.

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Runs a system tool; true only if it ran to the end and succeeded. Spawned directly rather than
// through QProcess, whose fork inside Qt trips ThreadSanitizer's runtime.
inline bool run(const QString& program, const QStringList& arguments) {
    QList<QByteArray> words{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        words.append(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Makes a file or folder immutable for its lifetime, so that even root cannot change it.
class Immutable {
public:
    explicit Immutable(QString path) : m_path(std::move(path)) {
        m_on = run(QStringLiteral("chattr"), {QStringLiteral("+i"), m_path});
    }
    ~Immutable() {
        if (m_on)
            run(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool on() const { return m_on; }

private:
    QString m_path;
    bool m_on = false;
};

// A 64 KiB tmpfs mounted over a folder for its lifetime: a disk that can really fill up.
class SmallDisk {
public:
    explicit SmallDisk(QString path) : m_path(std::move(path)) {
        m_mounted = run(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=64k"), QStringLiteral("tmpfs"), m_path});
    }
    ~SmallDisk() {
        if (m_mounted)
            run(QStringLiteral("umount"), {m_path});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};

// Sets a path's permission bits for its lifetime, then puts back `restore`. Root ignores them,
// so pair it with PermissionBitsEnforced.
class ModeChange {
public:
    ModeChange(const QString& path, mode_t mode, mode_t restore)
        : m_path(QFile::encodeName(path)), m_restore(restore),
          m_done(::chmod(m_path.constData(), mode) == 0) {}
    ~ModeChange() { ::chmod(m_path.constData(), m_restore); }
    ModeChange(const ModeChange&) = delete;
    ModeChange& operator=(const ModeChange&) = delete;
    bool done() const { return m_done; }

private:
    QByteArray m_path;
    mode_t m_restore;
    bool m_done;
};

// Writes until the file system refuses; true once it is really full.
inline bool fillUp(const QString& file) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'f');
    bool full = false;
    for (int i = 0; i < 1000 && !full; ++i)
        full = ::write(fd, block.constData(), size_t(block.size())) < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}

// Whether a new file can be made in a folder, so a test knows its fault is real.
inline bool canCreateIn(const QString& folder) {
    QFile probe(folder + QStringLiteral("/probe"));
    const bool ok = probe.open(QIODevice::WriteOnly);
    if (ok)
        probe.remove();
    return ok;
}
