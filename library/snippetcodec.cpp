// SPDX-License-Identifier: MIT
#include "library/snippetcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <utility>

namespace SnippetCodec {
namespace {

const QByteArray Bom("\xEF\xBB\xBF", 3);

// Windows-1252 for 0x80-0x9F; the five bytes the code page leaves undefined stand for themselves.
constexpr char16_t HighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Strict: the bytes count as UTF-8 only if they come back unchanged from the decoded text, so
// nothing the decoder would tolerate (overlong forms, surrogates) can change bytes on saving.
bool decodeUtf8(QByteArrayView bytes, QString& text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    text = decoder.decode(bytes);
    return !decoder.hasError() && QByteArrayView(text.toUtf8()) == bytes;
}

QString decodeWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(HighControlRange[b - 0x80]) : QChar(b);
    }
    return text;
}

bool encodeWindows1252(const QString& text, QByteArray& bytes) {
    bytes.resize(text.size());
    char* out = bytes.data();
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *out++ = static_cast<char>(u);
            continue;
        }
        int index = 0;
        while (index < 32 && HighControlRange[index] != u)
            ++index;
        if (index == 32)
            return false;
        *out++ = static_cast<char>(0x80 + index);
    }
    return true;
}

bool isAscii(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

PieceDecoder::PieceDecoder(QByteArray bytes, qsizetype blockBytes)
    : m_bytes(std::move(bytes)), m_size(m_bytes.size()) {
    // Valid UTF-8 decodes without error and encodes back to the same bytes (Qt checks validity
    // with its decoder's own rules), so one test over the bytes settles the encoding.
    const QByteArrayView all(m_bytes);
    if (all.startsWith(Bom) && all.sliced(Bom.size()).isValidUtf8())
        m_encoding = Encoding::Utf8Bom;
    else if (all.isValidUtf8())
        m_encoding = Encoding::Utf8;
    else
        m_encoding = Encoding::Windows1252;
    m_position = m_encoding == Encoding::Utf8Bom ? Bom.size() : 0;
    const qsizetype firstLf = m_bytes.indexOf('\n', m_position);
    m_lineEnd =
        (firstLf > m_position && m_bytes.at(firstLf - 1) == '\r') ? LineEnd::CrLf : LineEnd::Lf;
    blockBytes = std::max<qsizetype>(1, blockBytes);
    if (m_size - m_position > blockBytes) {
        const qsizetype from = std::exchange(m_position, 0);
        m_dropped = from;
        for (qsizetype at = from + blockBytes; at < m_size; at += blockBytes)
            m_blocks.push_back(all.sliced(at, std::min(blockBytes, m_size - at)).toByteArray());
        m_bytes = all.sliced(from, blockBytes).toByteArray();
    }
}

void PieceDecoder::takeNextBlock() {
    if (m_position > 0) {
        m_dropped += m_position;
        m_bytes = QByteArrayView(m_bytes).sliced(m_position).toByteArray();
        m_position = 0;
    }
    m_bytes.append(m_blocks.front());
    m_blocks.pop_front();
}

std::optional<qsizetype> PieceDecoder::pieceEnd(qsizetype bytes) const {
    const qsizetype size = m_bytes.size();
    const bool last = m_blocks.empty();
    const qsizetype wanted = m_position + std::max<qsizetype>(1, bytes);
    if (wanted >= size)
        return last ? std::optional<qsizetype>(size) : std::nullopt;
    // Looked for within the piece only: a search back to the start of a single line of megabytes
    // at every piece makes its load quadratic.
    if (const qsizetype lf =
            QByteArrayView(m_bytes).sliced(m_position, wanted - m_position).lastIndexOf('\n');
        lf >= 0)
        return m_position + lf + 1;
    // No line end within reach: a long line is cut between characters. Never inside a UTF-8
    // sequence, and never after a CR, which may be the first half of a line end. The end of the
    // last block is a place to cut; the end of another is not known to be one.
    const auto splits = [this](qsizetype at) {
        return at < m_bytes.size() &&
               (m_bytes.at(at - 1) == '\r' ||
                (m_encoding != Encoding::Windows1252 &&
                 (static_cast<unsigned char>(m_bytes.at(at)) & 0xC0) == 0x80));
    };
    qsizetype end = wanted;
    while (end > m_position + 1 && splits(end))
        --end;
    if (splits(end)) {
        end = wanted;
        while (splits(end))
            ++end;
        if (end >= size && !last)
            return std::nullopt;
    }
    return end;
}

QString PieceDecoder::next(qsizetype bytes) {
    std::optional<qsizetype> found = pieceEnd(bytes);
    while (!found) {
        takeNextBlock();
        found = pieceEnd(bytes);
    }
    const qsizetype end = *found;
    const qsizetype size = m_bytes.size();
    const QByteArrayView piece = QByteArrayView(m_bytes).sliced(m_position, end - m_position);
    QString text;
    if (m_encoding == Encoding::Windows1252) {
        text = decodeWindows1252(piece);
    } else {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                         QStringDecoder::Flag::Stateless);
        text = decoder.decode(piece);
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_position = end;
    // Once more has been decoded than is left, the rest moves to a buffer of its own.
    if (m_position >= size) {
        m_dropped += m_position;
        m_position = 0;
        m_bytes = QByteArray();
    } else if (m_position > (1 << 20) && m_position > size - m_position) {
        m_dropped += m_position;
        m_bytes = m_bytes.sliced(m_position);
        m_position = 0;
    }
    return text;
}

Decoded decode(const QByteArray& bytes) {
    PieceDecoder decoder(bytes);
    Decoded result;
    result.text = decoder.next(bytes.size());
    result.encoding = decoder.encoding();
    result.lineEnd = decoder.lineEnd();
    return result;
}

QByteArray encode(const QString& text, Encoding encoding, LineEnd lineEnd) {
    QString lines = text;
    if (lineEnd == LineEnd::CrLf)
        lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));

    if (encoding == Encoding::Windows1252) {
        QByteArray bytes;
        // Bytes that happen to be valid UTF-8 would be read back as UTF-8, showing other text.
        QString asUtf8;
        if (encodeWindows1252(lines, bytes) && (isAscii(bytes) || !decodeUtf8(bytes, asUtf8)))
            return bytes;
    }
    const QByteArray utf8 = lines.toUtf8();
    // Reading drops one leading mark, so a text that begins with U+FEFF needs one of its own.
    if (encoding == Encoding::Utf8Bom || utf8.startsWith(Bom))
        return Bom + utf8;
    return utf8;
}

QString decodeText(const QByteArray& bytes) {
    return decode(bytes).text;
}

} // namespace SnippetCodec
