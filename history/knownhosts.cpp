// SPDX-License-Identifier: MIT
#include "history/knownhosts.h"

#include <QByteArrayList>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QtEndian>

namespace knownhosts {

namespace {

const QByteArray HashedMark = "|1|";

// ssh's patterns: '*' and '?' only; a '[' is the bracket of "[host]:port".
bool globMatches(const QByteArray& pattern, const QByteArray& name) {
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

QByteArray hashed(const QByteArray& salt, const QByteArray& name) {
    return QMessageAuthenticationCode::hash(name, salt, QCryptographicHash::Sha1);
}

bool hostsMatch(const QByteArray& hosts, const QByteArray& name) {
    if (hosts.startsWith(HashedMark)) {
        const QByteArrayList parts = hosts.mid(HashedMark.size()).split('|');
        return parts.size() == 2 &&
               hashed(QByteArray::fromBase64(parts[0]), name) == QByteArray::fromBase64(parts[1]);
    }
    bool matched = false;
    for (const QByteArray& pattern : hosts.toLower().split(',')) {
        if (pattern.startsWith('!')) {
            if (globMatches(pattern.mid(1), name))
                return false; // a negation wins over every other pattern
        } else if (globMatches(pattern, name)) {
            matched = true;
        }
    }
    return matched;
}

QByteArrayList fieldsOf(const QByteArray& line) {
    QByteArrayList fields;
    for (const QByteArray& field : line.simplified().split(' ')) {
        if (!field.isEmpty())
            fields.append(field);
    }
    return fields;
}

} // namespace

QString entryName(const QString& host, int port) {
    const QString lower = host.toLower();
    return port <= 0 || port == 22 ? lower : QStringLiteral("[%1]:%2").arg(lower).arg(port);
}

QString keyType(const QByteArray& key) {
    if (key.size() < 4)
        return {};
    const quint32 length = qFromBigEndian<quint32>(key.constData());
    return length > quint32(key.size() - 4) ? QString()
                                            : QString::fromLatin1(key.mid(4, qsizetype(length)));
}

QString fingerprint(const QByteArray& key) {
    QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toBase64();
    while (digest.endsWith('='))
        digest.chop(1);
    return QStringLiteral("SHA256:") + QString::fromLatin1(digest);
}

Verdict check(const QByteArray& file, const QString& name, const QByteArray& key) {
    const QByteArray host = name.toLower().toUtf8();
    const QByteArray type = keyType(key).toLatin1();
    bool known = false;
    bool other = false;
    for (const QByteArray& line : file.split('\n')) {
        QByteArrayList fields = fieldsOf(line);
        if (fields.isEmpty() || fields.first().startsWith('#'))
            continue;
        QByteArray marker;
        if (fields.first().startsWith('@'))
            marker = fields.takeFirst();
        if (fields.size() < 3 || marker == "@cert-authority" || !hostsMatch(fields[0], host))
            continue;
        const bool same = QByteArray::fromBase64(fields[2]) == key;
        if (marker == "@revoked") {
            if (same)
                return Verdict::Changed;
            continue;
        }
        if (same)
            known = true;
        else if (fields[1] == type)
            other = true;
    }
    return known ? Verdict::Known : other ? Verdict::Changed : Verdict::Unknown;
}

QByteArray addition(const QByteArray& file, const QString& name, const QByteArray& key) {
    bool hash = false;
    for (const QByteArray& line : file.split('\n')) {
        const QByteArrayList fields = fieldsOf(line);
        if (!fields.isEmpty() && !fields.first().startsWith('#') && !fields.first().startsWith('@'))
            hash = fields.first().startsWith(HashedMark);
    }
    QByteArray hosts = name.toLower().toUtf8();
    if (hash) {
        QByteArray salt(20, Qt::Uninitialized);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()),
                                              salt.size() / 4);
        hosts = HashedMark + salt.toBase64() + '|' + hashed(salt, hosts).toBase64();
    }
    const QByteArray start = !file.isEmpty() && !file.endsWith('\n') ? "\n" : "";
    return start + hosts + ' ' + keyType(key).toLatin1() + ' ' + key.toBase64() + '\n';
}

} // namespace knownhosts
