// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <optional>

// Bytes on disk <-> editor text. Editor text separates lines with a single '\n'.
namespace SnippetCodec {

enum class Encoding {
    Utf8,        // valid UTF-8 without a byte-order mark (pure ASCII lands here too)
    Utf8Bom,     // valid UTF-8 that began with EF BB BF; the mark is kept on writing
    Windows1252, // anything that is not valid UTF-8: one character per byte
};

enum class LineEnd { Lf, CrLf };

struct Decoded {
    QString text; // line breaks as '\n'; a byte-order mark is not part of the text
    Encoding encoding = Encoding::Utf8;
    LineEnd lineEnd = LineEnd::Lf; // style of the first line end; Lf when there is none
};

// The style to use for text that never came from a file.
inline constexpr Encoding NewTextEncoding = Encoding::Utf8;
inline constexpr LineEnd NewTextLineEnd = LineEnd::Lf;

// UTF-8 if the bytes are valid UTF-8, else Windows-1252 (the five undefined bytes map to the
// code points of the same value). CR LF and lone LF both become '\n'; a lone CR is kept as is.
Decoded decode(const QByteArray& bytes);

// Decodes a file's bytes a piece at a time with decode()'s rules, for text too long to take in
// one go. A piece ends after a line end, or inside a line longer than the piece between two
// characters, never after a CR; so no character and no CR LF pair is ever split, and the pieces
// joined are decode()'s text.
class PieceDecoder {
public:
    // The bytes are kept in blocks of `blockBytes`, each let go as soon as it is decoded: letting
    // go of the decoded part of one buffer would copy what is left of it, half a long file at once.
    explicit PieceDecoder(QByteArray bytes, qsizetype blockBytes = 1 << 20);
    bool atEnd() const { return m_position >= m_bytes.size() && m_blocks.empty(); }
    qsizetype position() const { return m_dropped + m_position; }
    qsizetype size() const { return m_size; }
    Encoding encoding() const { return m_encoding; }
    LineEnd lineEnd() const { return m_lineEnd; }
    // The next piece of about `bytes` bytes, a few more where a character needs them. Bytes already
    // decoded are let go as the text grows, so a long file is not held twice over.
    QString next(qsizetype bytes);

private:
    // Where the piece from m_position ends; none when that needs bytes of the next block.
    std::optional<qsizetype> pieceEnd(qsizetype bytes) const;
    void takeNextBlock();

    QByteArray m_bytes;              // what is not yet decoded, from m_position on
    std::deque<QByteArray> m_blocks; // the blocks after m_bytes
    qsizetype m_position = 0;
    qsizetype m_dropped = 0; // bytes let go before m_bytes
    qsizetype m_size = 0;
    Encoding m_encoding = Encoding::Utf8;
    LineEnd m_lineEnd = LineEnd::Lf;
};

// Line breaks become the given style; the text is written in the given encoding when every
// character fits in it, else as UTF-8 (a Windows-1252 text that gained a character outside the
// code page is never written with '?'). No line end is added after the text.
QByteArray encode(const QString& text, Encoding encoding, LineEnd lineEnd);

// Decoding for text that only needs reading (the keyword list): same rules as decode().
QString decodeText(const QByteArray& bytes);

} // namespace SnippetCodec
