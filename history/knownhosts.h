// SPDX-License-Identifier: MIT
// ssh's ~/.ssh/known_hosts, read and added to as OpenSSH does, for the sync's ssh remotes.
#pragma once

#include <QByteArray>
#include <QString>

namespace knownhosts {

enum class Verdict {
    Known,   // a line names the host with this very key
    Unknown, // no line has a key of this type for the host
    Changed, // the host is there with another key of this type, or this key is revoked
};

// The host as known_hosts names it: "host", or "[host]:port" off port 22.
QString entryName(const QString& host, int port);
Verdict check(const QByteArray& file, const QString& name, const QByteArray& key);
// The key's type ("ssh-ed25519") and its fingerprint as ssh shows it ("SHA256:...").
QString keyType(const QByteArray& key);
QString fingerprint(const QByteArray& key);
// The line that adds the host to `file`, hashed like the file's last line (a newline first when
// the file does not end in one).
QByteArray addition(const QByteArray& file, const QString& name, const QByteArray& key);

} // namespace knownhosts
