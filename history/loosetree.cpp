// SPDX-License-Identifier: MIT
#include "history/loosetree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace loosetree {

namespace {

// Small enough that a replaced id costs little to compress again, large enough that each
// piece compresses about as well as the whole would.
constexpr qsizetype PieceSize = 32 * 1024;

// A raw deflate of one piece. Every piece but the last ends with an empty stored block (a sync
// flush), so the next one starts on a byte of its own with a fresh window.
QByteArray deflatePiece(z_stream& stream, const char* data, qsizetype size, bool last) {
    deflateReset(&stream);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(size))) + 16, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int done = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    if (done != (last ? Z_STREAM_END : Z_OK) || stream.avail_in != 0)
        return {};
    out.truncate(out.size() - qsizetype(stream.avail_out));
    return out;
}

} // namespace

std::shared_ptr<const Packed> pack(const QByteArray& tree, const Packed* before) {
    auto packed = std::make_shared<Packed>();
    packed->object = "tree " + QByteArray::number(tree.size()) + '\0' + tree;
    const QByteArray& object = packed->object;
    const bool reuse = before && before->object.size() == object.size();
    z_stream stream{};
    // Level 1, as libgit2 and git write loose objects.
    if (deflateInit2(&stream, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    for (qsizetype at = 0, piece = 0; at < object.size(); at += PieceSize, ++piece) {
        const qsizetype size = std::min(PieceSize, object.size() - at);
        const char* data = object.constData() + at;
        if (reuse && std::memcmp(data, before->object.constData() + at, size_t(size)) == 0) {
            packed->pieces.push_back(before->pieces[size_t(piece)]);
            packed->adlers.push_back(before->adlers[size_t(piece)]);
            continue;
        }
        QByteArray out = deflatePiece(stream, data, size, at + size == object.size());
        if (out.isEmpty()) {
            deflateEnd(&stream);
            return {};
        }
        packed->pieces.push_back(std::move(out));
        packed->adlers.push_back(
            adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data), uInt(size)));
    }
    deflateEnd(&stream);
    return packed;
}

QByteArray id(const Packed& packed) {
    return QCryptographicHash::hash(packed.object, QCryptographicHash::Sha1);
}

bool write(const QString& objects, const QByteArray& id, const Packed& packed, QString& error) {
    const QString hex = QString::fromLatin1(id.toHex());
    const QString folder = objects + QLatin1Char('/') + hex.left(2);
    const QString path = folder + QLatin1Char('/') + hex.mid(2);
    if (QFile::exists(path))
        return true;
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot make %1").arg(folder);
        return false;
    }
    // zlib's header for the fastest level, the pieces, and the whole object's adler-32.
    uLong adler = adler32(0, nullptr, 0);
    const qsizetype count = qsizetype(packed.pieces.size());
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype size = std::min(PieceSize, packed.object.size() - i * PieceSize);
        adler = adler32_combine(adler, packed.adlers[size_t(i)], z_off_t(size));
    }
    // As libgit2 writes loose objects: whole under another name, then renamed, not synced.
    QTemporaryFile file(objects + QStringLiteral("/tmp_object_XXXXXX"));
    if (!file.open()) {
        error = file.errorString();
        return false;
    }
    const char trailer[4] = {char(adler >> 24), char(adler >> 16), char(adler >> 8), char(adler)};
    bool written = file.write("\x78\x01", 2) == 2;
    for (const QByteArray& piece : packed.pieces)
        written = written && file.write(piece) == piece.size();
    written = written && file.write(trailer, 4) == 4 && file.flush();
    if (!written || !file.rename(path)) {
        error = file.errorString();
        return false;
    }
    file.setAutoRemove(false);
    // Objects are never written twice, as git keeps them.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

} // namespace loosetree
