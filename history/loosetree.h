// SPDX-License-Identifier: MIT
// A large tree written as git's loose object by the history itself, compressed in pieces of its
// own, so that the next version of it, one id replaced, is compressed again only where it changed.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace loosetree {

// Below this a tree is written through libgit2 as any other object.
constexpr qsizetype LargeTree = 64 * 1024;

// The object ("tree N\0" and the entries), each piece of it deflated on its own, and the
// adler-32 of each piece: together one zlib stream, as git reads any loose object.
struct Packed {
    QByteArray object;
    std::vector<QByteArray> pieces;
    std::vector<unsigned long> adlers;
};

// `tree`'s entries packed, reusing the pieces of `before` (the same tree with ids replaced in
// place, so of the same size) that hold the same bytes.
std::shared_ptr<const Packed> pack(const QByteArray& tree, const Packed* before);

// The object's id as git names it: the SHA-1 of the object.
QByteArray id(const Packed& packed);

// Writes objects/xx/yyyy... under `objects` unless it is there; false, with errno's text in
// `error`, when it cannot be written.
bool write(const QString& objects, const QByteArray& id, const Packed& packed, QString& error);

} // namespace loosetree
