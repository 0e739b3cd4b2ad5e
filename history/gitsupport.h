// SPDX-License-Identifier: MIT
// Owning handles for libgit2's objects, and the little the history needs around them.
#pragma once

#include "history/history.h"

#include <QString>
#include <git2.h>
#include <git2/sys/mempack.h>
#include <git2/sys/odb_backend.h>
#include <optional>
#include <utility>

namespace gitsupport {

// Settings for the whole process, made once.
void tune();

// The user's login name, for commits and ssh logins that name no one.
QString loginName();

// libgit2 is set up once and kept for the life of the process. Shut down while another thread
// still held an error of its own, it would lose that thread's state, which leaks.
struct Library {
    Library() {
        static const bool ready = [] {
            git_libgit2_init();
            tune();
            return true;
        }();
        (void)ready;
    }
};

template <typename T, void (*Free)(T*)> class Own {
public:
    Own() = default;
    explicit Own(T* p) : m_p(p) {}
    ~Own() { reset(); }
    Own(Own&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    Own& operator=(Own&& other) noexcept {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    T* get() const { return m_p; }
    T** out() {
        reset();
        return &m_p;
    }
    explicit operator bool() const { return m_p != nullptr; }
    void reset() {
        if (m_p)
            Free(m_p);
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

using Repository = Own<git_repository, git_repository_free>;
using Commit = Own<git_commit, git_commit_free>;
using Tree = Own<git_tree, git_tree_free>;
using TreeEntry = Own<git_tree_entry, git_tree_entry_free>;
using Reference = Own<git_reference, git_reference_free>;
using Index = Own<git_index, git_index_free>;
using Signature = Own<git_signature, git_signature_free>;
using Revwalk = Own<git_revwalk, git_revwalk_free>;
using Odb = Own<git_odb, git_odb_free>;
using Diff = Own<git_diff, git_diff_free>;
using Blob = Own<git_blob, git_blob_free>;
using Packbuilder = Own<git_packbuilder, git_packbuilder_free>;
using Config = Own<git_config, git_config_free>;

// libgit2's last error, for a message.
inline QString lastError() {
    const git_error* error = git_error_last();
    return error && error->message ? QString::fromUtf8(error->message).trimmed()
                                   : QStringLiteral("unknown error");
}

inline QString hex(const git_oid& id) {
    char text[GIT_OID_HEXSZ + 1] = {};
    git_oid_tostr(text, sizeof text, &id);
    return QString::fromLatin1(text);
}

inline std::optional<git_oid> oidOf(const QString& text) {
    git_oid id;
    const QByteArray latin = text.toLatin1();
    if (latin.size() != GIT_OID_HEXSZ || git_oid_fromstr(&id, latin.constData()) != 0)
        return std::nullopt;
    return id;
}

// The trailer words of each action, as the commit messages spell them.
const char* actionWord(History::Action action);
std::optional<History::Action> actionOfWord(const QString& word);

// What a commit message says of itself: its action and paths, from the trailers.
struct Trailers {
    std::optional<History::Action> action;
    QStringList paths;
};
Trailers trailersOf(const char* message);
// "Quillary-Path: <path>\n", the path quoted when it holds a line break or starts with '"'.
QByteArray pathTrailer(const QString& path);

} // namespace gitsupport
