// SPDX-License-Identifier: MIT
#pragma once

// SnippetCodec on any bytes. Input: the bytes of a file, taken as they are.
//
// Opening and saving without an edit gives back the same bytes whenever the line ends are of one
// style: no LF right after a CR, or every LF right after a CR (lone CRs are ordinary characters in
// either). Writing any text that holds no CR right before an LF and reading it back gives back the
// text and the line-end style, in every encoding, without adding a '?'. Decoding a piece at a time
// gives the same text, encoding and line-end style, whatever the piece size.

#include "fuzz/fuzzinput.h"
#include "library/snippetcodec.h"

namespace FuzzChecks {

namespace CodecDetail {

inline QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.left(200).toHex(' '));
}

} // namespace CodecDetail

inline Verdict codec(QByteArrayView input) {
    using namespace SnippetCodec;
    using CodecDetail::hex;
    Verdict verdict;
    const QByteArray bytes = input.toByteArray();

    const Decoded opened = decode(bytes);
    FUZZ_EXPECT(verdict, decodeText(bytes) == opened.text,
                QStringLiteral("decodeText differs from decode for %1").arg(hex(bytes)));

    for (const qsizetype size : {1, 2, 3, 7, 64}) {
        // Blocks of a few bytes, so that pieces and characters meet their ends.
        PieceDecoder pieces(bytes, 9 - size % 8);
        QString joined;
        while (!pieces.atEnd())
            joined += pieces.next(size);
        FUZZ_EXPECT(verdict,
                    joined == opened.text && pieces.encoding() == opened.encoding &&
                        pieces.lineEnd() == opened.lineEnd,
                    QStringLiteral("pieces of %1 bytes give \"%2\" for %3")
                        .arg(size)
                        .arg(FuzzInput::show(joined), hex(bytes)));
    }

    qsizetype lfAfterCr = 0;
    qsizetype lfAlone = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n')
            ++(i > 0 && bytes[i - 1] == '\r' ? lfAfterCr : lfAlone);
    }
    const qsizetype firstLf = bytes.indexOf('\n');
    const LineEnd style = firstLf > 0 && bytes[firstLf - 1] == '\r' ? LineEnd::CrLf : LineEnd::Lf;
    FUZZ_EXPECT(verdict, opened.lineEnd == style,
                QStringLiteral("decode took the wrong line-end style from %1").arg(hex(bytes)));
    FUZZ_EXPECT(verdict, opened.text.count(QLatin1Char('\n')) == lfAfterCr + lfAlone,
                QStringLiteral("decode lost or made line breaks in %1").arg(hex(bytes)));
    if (lfAfterCr == 0 || lfAlone == 0) {
        const QByteArray saved = encode(opened.text, opened.encoding, opened.lineEnd);
        FUZZ_EXPECT(verdict, saved == bytes,
                    QStringLiteral("%1 was saved back as %2 (encoding %3)")
                        .arg(hex(bytes), hex(saved))
                        .arg(int(opened.encoding)));
    }

    // The same bytes as text typed in the editor.
    const QString typed = QString::fromUtf8(bytes);
    if (typed.contains(QLatin1String("\r\n")))
        return verdict;
    for (const Encoding encoding : {Encoding::Utf8, Encoding::Utf8Bom, Encoding::Windows1252}) {
        for (const LineEnd lineEnd : {LineEnd::Lf, LineEnd::CrLf}) {
            const QByteArray written = encode(typed, encoding, lineEnd);
            const Decoded read = decode(written);
            const auto context = [&] {
                return QStringLiteral("text \"%1\" in encoding %2, line end %3 "
                                      "written as %4")
                    .arg(FuzzInput::show(typed))
                    .arg(int(encoding))
                    .arg(int(lineEnd))
                    .arg(hex(written));
            };
            FUZZ_EXPECT(verdict, read.text == typed,
                        QStringLiteral("read back as \"%1\": %2")
                            .arg(FuzzInput::show(read.text), context()));
            FUZZ_EXPECT(verdict,
                        read.lineEnd == (typed.contains(QLatin1Char('\n')) ? lineEnd : LineEnd::Lf),
                        QStringLiteral("line-end style lost: %1").arg(context()));
            FUZZ_EXPECT(verdict, written.count('?') == typed.count(QLatin1Char('?')),
                        QStringLiteral("a '?' was written: %1").arg(context()));
            if (verdict.failed())
                return verdict;
        }
    }
    return verdict;
}

} // namespace FuzzChecks
