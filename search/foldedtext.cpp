// SPDX-License-Identifier: MIT
#include "search/foldedtext.h"

#include "library/snippetcodec.h"

#include <QChar>
#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype FoldPiece = 4 << 20;

int utf8Length(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

char* putUtf8(char* out, char32_t c) {
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

void markUpper(QByteArray& upper, qsizetype offset) {
    upper[offset >> 3] = char(uchar(upper[offset >> 3]) | (1u << (offset & 7)));
}

bool isAscii(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const auto* end = p + bytes.size();
    quint64 any = 0;
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        any |= word;
    }
    for (; p < end; ++p)
        any |= *p;
    return (any & 0x8080808080808080ull) == 0;
}

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Plain ASCII decodes to itself under both decodings: fold straight from the bytes.
FoldedText fromAscii(const QByteArray& bytes, const std::atomic<bool>* cancel) {
    FoldedText result;
    result.bytes = QByteArray(bytes.size(), Qt::Uninitialized);
    result.upper = QByteArray((bytes.size() + 7) / 8, '\0');
    const char* in = bytes.constData();
    const qsizetype n = bytes.size();
    char* out = result.bytes.data();
    auto* upper = reinterpret_cast<uchar*>(result.upper.data());
    qsizetype o = 0;
    for (qsizetype from = 0; from < n; from += FoldPiece) {
        if (cancelled(cancel))
            return {};
        for (qsizetype i = from, to = std::min(n, from + FoldPiece); i < to; ++i) {
            const char c = in[i];
            if (c == '\r' && i + 1 < n && in[i + 1] == '\n')
                continue;
            const bool isUpper = uchar(c - 'A') < 26;
            out[o] = isUpper ? char(c + 32) : c;
            upper[o >> 3] |= uchar(uchar(isUpper) << (o & 7));
            ++o;
        }
    }
    result.bytes.truncate(o);
    result.upper.truncate((o + 7) / 8);
    return result;
}

template <typename Sink> void foldCodePoints(QStringView text, Sink&& sink) {
    const QChar* p = text.data();
    const QChar* end = p + text.size();
    while (p < end) {
        char32_t c = p->unicode();
        ++p;
        if (QChar::isHighSurrogate(c) && p < end && p->isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), p->unicode());
            ++p;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        char32_t f = c;
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                f = c + 32;
        } else {
            f = QChar::toCaseFolded(c);
            if (utf8Length(f) != utf8Length(c))
                f = c; // keeps offsets shared with the original
        }
        sink(c, f);
    }
}

// Folds decoded text onto what it holds so far.
class FoldSink {
public:
    void append(QStringView text) {
        // Folding keeps UTF-8 lengths, so a UTF-16 unit never takes more than three bytes.
        const qsizetype need = m_size + text.size() * 3;
        if (m_result.bytes.size() < need) {
            const qsizetype grown = std::max(need, m_result.bytes.size() * 3 / 2);
            m_result.bytes.resize(grown);
            const qsizetype had = m_result.upper.size();
            m_result.upper.resize((grown + 7) / 8);
            std::memset(m_result.upper.data() + had, 0, size_t(m_result.upper.size() - had));
        }
        char* const start = m_result.bytes.data();
        char* out = start + m_size;
        foldCodePoints(text, [&](char32_t c, char32_t f) {
            const qsizetype offset = out - start;
            if (f != c) {
                if (c < 0x80)
                    markUpper(m_result.upper, offset);
                else
                    m_result.others.emplace_back(quint32(offset), c);
            }
            out = putUtf8(out, f);
        });
        m_size = out - start;
    }

    FoldedText finish() {
        m_result.bytes.truncate(m_size);
        m_result.bytes.squeeze();
        m_result.upper.truncate((m_size + 7) / 8);
        m_result.upper.squeeze();
        m_result.others.shrink_to_fit();
        return std::move(m_result);
    }

private:
    FoldedText m_result;
    qsizetype m_size = 0;
};

} // namespace

qsizetype FoldedText::memoryBytes() const {
    return bytes.capacity() + upper.capacity() +
           qsizetype(others.capacity() * sizeof(decltype(others)::value_type));
}

namespace TextFold {

FoldedText fromText(QStringView text) {
    FoldSink sink;
    sink.append(text);
    return sink.finish();
}

FoldedText fromFileBytes(QByteArray bytes, const std::atomic<bool>* cancel) {
    if (isAscii(bytes))
        return fromAscii(bytes, cancel);
    // A piece at a time, so that a long file is never held decoded whole and the work stops
    // soon when asked.
    SnippetCodec::PieceDecoder decoder(std::move(bytes));
    FoldSink sink;
    while (!decoder.atEnd()) {
        if (cancelled(cancel))
            return {};
        sink.append(decoder.next(FoldPiece));
    }
    return sink.finish();
}

QByteArray fold(QStringView text) {
    QByteArray result(text.size() * 3, Qt::Uninitialized);
    char* out = result.data();
    foldCodePoints(text, [&](char32_t, char32_t f) { out = putUtf8(out, f); });
    result.truncate(out - result.constData());
    return result;
}

QString original(QByteArrayView folded, const QByteArray& upper,
                 const std::vector<std::pair<quint32, char32_t>>& others, qsizetype from,
                 qsizetype to) {
    from = std::clamp<qsizetype>(from, 0, folded.size());
    to = std::clamp<qsizetype>(to, from, folded.size());
    QByteArray bytes = folded.sliced(from, to - from).toByteArray();
    for (qsizetype i = from; i < to && (i >> 3) < upper.size(); ++i) {
        if (uchar(upper.at(i >> 3)) & (1u << (i & 7)))
            bytes[i - from] = char(bytes[i - from] - 32);
    }
    auto it = std::lower_bound(others.begin(), others.end(),
                               std::pair<quint32, char32_t>(quint32(from), 0));
    for (; it != others.end() && it->first < to; ++it)
        putUtf8(bytes.data() + (it->first - from), it->second);
    return QString::fromUtf8(bytes);
}

} // namespace TextFold
