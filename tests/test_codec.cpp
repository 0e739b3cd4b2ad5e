// SPDX-License-Identifier: MIT
#include "library/snippetcodec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace SnippetCodec;

Q_DECLARE_METATYPE(SnippetCodec::Encoding)
Q_DECLARE_METATYPE(SnippetCodec::LineEnd)

namespace {
QByteArray bytes(const char* s) {
    return QByteArray(s);
}
QByteArray bytes(std::initializer_list<unsigned char> list) {
    QByteArray out;
    for (unsigned char b : list)
        out.append(static_cast<char>(b));
    return out;
}
} // namespace

class TestCodec : public QObject {
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void roundTripIsByteExact_data();
    void roundTripIsByteExact();
    void everyWindows1252ByteRoundTrips();
    void undefinedWindows1252BytesMapToSameCodePoint();
    void randomSingleStyleFilesRoundTrip();
    void encodes_data();
    void encodes();
    void windows1252TextThatMustNotBeMisreadAsUtf8();
    void decodeTextMatchesDecode();
};

void TestCodec::decodes_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<LineEnd>("lineEnd");

    QTest::newRow("empty") << QByteArray() << QString() << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("ascii, no line end")
        << bytes("Dim x") << u"Dim x"_qs << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("utf-8") << bytes("caf\xC3\xA9 \xE2\x82\xAC") << u"caf\u00E9 \u20AC"_qs
                           << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("utf-8 outside the BMP")
        << bytes("\xF0\x9F\x98\x80") << QString::fromUcs4(U"\U0001F600") << Encoding::Utf8
        << LineEnd::Lf;
    QTest::newRow("bom is not text")
        << bytes("\xEF\xBB\xBFx\r\ny") << u"x\ny"_qs << Encoding::Utf8Bom << LineEnd::CrLf;
    QTest::newRow("bom alone") << bytes("\xEF\xBB\xBF") << QString() << Encoding::Utf8Bom
                               << LineEnd::Lf;
    QTest::newRow("second bom stays text")
        << bytes("\xEF\xBB\xBF\xEF\xBB\xBF") << u"\uFEFF"_qs << Encoding::Utf8Bom << LineEnd::Lf;
    QTest::newRow("bom before invalid utf-8")
        << bytes("\xEF\xBB\xBF\xE9") << u"\u00EF\u00BB\u00BF\u00E9"_qs << Encoding::Windows1252
        << LineEnd::Lf;
    QTest::newRow("windows-1252") << bytes("caf\xE9 \x80\x93") << u"caf\u00E9 \u20AC\u201C"_qs
                                  << Encoding::Windows1252 << LineEnd::Lf;
    QTest::newRow("truncated utf-8")
        << bytes("a\xC3") << u"a\u00C3"_qs << Encoding::Windows1252 << LineEnd::Lf;
    QTest::newRow("overlong utf-8 is not utf-8")
        << bytes("\xC0\xAF") << u"\u00C0\u00AF"_qs << Encoding::Windows1252 << LineEnd::Lf;
    QTest::newRow("encoded surrogate is not utf-8")
        << bytes("\xED\xA0\x80") << u"\u00ED\u00A0\u20AC"_qs << Encoding::Windows1252
        << LineEnd::Lf;
    QTest::newRow("nul byte") << bytes({'a', 0, 'b'}) << QStringView(u"a\0b", 3).toString()
                              << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("crlf") << bytes("a\r\nb\r\n") << u"a\nb\n"_qs << Encoding::Utf8 << LineEnd::CrLf;
    QTest::newRow("lf") << bytes("a\nb\n") << u"a\nb\n"_qs << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("mixed, crlf first")
        << bytes("a\r\nb\nc") << u"a\nb\nc"_qs << Encoding::Utf8 << LineEnd::CrLf;
    QTest::newRow("mixed, lf first")
        << bytes("a\nb\r\nc") << u"a\nb\nc"_qs << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("lone cr stays")
        << bytes("a\rb\nc") << u"a\rb\nc"_qs << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("cr before crlf")
        << bytes("a\r\r\nb") << u"a\r\nb"_qs << Encoding::Utf8 << LineEnd::CrLf;
    QTest::newRow("lone cr only") << bytes("a\rb") << u"a\rb"_qs << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("final line end kept")
        << bytes("x\r\n") << u"x\n"_qs << Encoding::Utf8 << LineEnd::CrLf;
    QTest::newRow("empty lines at the end")
        << bytes("\n\n") << u"\n\n"_qs << Encoding::Utf8 << LineEnd::Lf;
    QTest::newRow("windows-1252 crlf")
        << bytes("\xE9\r\n") << u"\u00E9\n"_qs << Encoding::Windows1252 << LineEnd::CrLf;
    QTest::newRow("run of crs, then euros")
        << bytes("x\r\r\r\n\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC") << u"x\r\r\n\u20AC\u20AC\u20AC"_qs
        << Encoding::Utf8 << LineEnd::CrLf;
}

void TestCodec::decodes() {
    QFETCH(QByteArray, input);
    QFETCH(QString, text);
    QFETCH(Encoding, encoding);
    QFETCH(LineEnd, lineEnd);
    const Decoded decoded = decode(input);
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.encoding, encoding);
    QCOMPARE(decoded.lineEnd, lineEnd);
    // A long file is read in pieces: no piece size may split a character or a CR LF pair, and a
    // line longer than a piece is cut too, never right after a CR (the editor would take a CR
    // that ends a piece as a line end of its own). Nor may the blocks the bytes are kept in.
    for (const qsizetype block : {qsizetype(1), qsizetype(2), qsizetype(5), qsizetype(1) << 20})
        for (qsizetype size = 1; size <= input.size(); ++size) {
            PieceDecoder pieces(input, block);
            QString joined;
            while (!pieces.atEnd()) {
                const qsizetype before = pieces.position();
                const QString piece = pieces.next(size);
                QVERIFY2(pieces.position() - before <= size + 4, qPrintable(piece));
                QVERIFY(!piece.endsWith(QLatin1Char('\r')) || pieces.atEnd());
                joined += piece;
            }
            QCOMPARE(joined, text);
            QCOMPARE(pieces.encoding(), encoding);
            QCOMPARE(pieces.lineEnd(), lineEnd);
        }
}

void TestCodec::roundTripIsByteExact_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ascii lf") << bytes("Sub Main()\n    ' hi\nEnd Sub\n");
    QTest::newRow("ascii crlf") << bytes("Sub Main()\r\n    ' hi\r\nEnd Sub\r\n");
    QTest::newRow("no final line end") << bytes("a\r\nb");
    QTest::newRow("only line ends") << bytes("\r\n\r\n\r\n");
    QTest::newRow("utf-8 crlf") << bytes("\xC3\xA9\r\n\xE2\x82\xAC\r\n");
    QTest::newRow("bom crlf") << bytes("\xEF\xBB\xBFx\r\ny\r\n");
    QTest::newRow("bom alone") << bytes("\xEF\xBB\xBF");
    QTest::newRow("double bom") << bytes("\xEF\xBB\xBF\xEF\xBB\xBFz");
    QTest::newRow("windows-1252 lf") << bytes("\xE9t\xE9\n\x93quoted\x94\n");
    QTest::newRow("windows-1252 crlf") << bytes("\xE9t\xE9\r\n\x80\r\n");
    QTest::newRow("lone cr in lf file") << bytes("a\rb\nc\r");
    QTest::newRow("cr before crlf") << bytes("a\r\r\nb\r\n\r");
    QTest::newRow("nul bytes") << bytes({0, '\n', 0, 0xFF});
    QTest::newRow("overlong utf-8") << bytes("\xC0\xAF\n");
}

void TestCodec::roundTripIsByteExact() {
    QFETCH(QByteArray, input);
    const Decoded decoded = decode(input);
    QCOMPARE(encode(decoded.text, decoded.encoding, decoded.lineEnd), input);
}

void TestCodec::everyWindows1252ByteRoundTrips() {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            all.append(static_cast<char>(b));
    }
    const Decoded decoded = decode(all);
    QCOMPARE(decoded.encoding, Encoding::Windows1252);
    QCOMPARE(decoded.text.size(), all.size());
    QCOMPARE(encode(decoded.text, decoded.encoding, decoded.lineEnd), all);

    // One character per byte, each byte alone too (a lone byte >= 0x80 is never valid UTF-8).
    for (int b = 0x80; b < 256; ++b) {
        const QByteArray one(1, static_cast<char>(b));
        const Decoded single = decode(one);
        QCOMPARE(single.encoding, Encoding::Windows1252);
        QCOMPARE(single.text.size(), 1);
        QCOMPARE(encode(single.text, single.encoding, single.lineEnd), one);
    }
}

void TestCodec::undefinedWindows1252BytesMapToSameCodePoint() {
    const QByteArray undefined = bytes({0x81, 0x8D, 0x8F, 0x90, 0x9D});
    const Decoded decoded = decode(undefined);
    QCOMPARE(decoded.text, u"\u0081\u008D\u008F\u0090\u009D"_qs);
    QCOMPARE(encode(decoded.text, Encoding::Windows1252, LineEnd::Lf), undefined);

    // Well-known mappings of the 0x80-0x9F range.
    QCOMPARE(decode(bytes({0x80, 0x99, 0x9F, 0xFF})).text, u"\u20AC\u2122\u0178\u00FF"_qs);
}

void TestCodec::randomSingleStyleFilesRoundTrip() {
    QRandomGenerator random(20240611);
    const QByteArray pool =
        bytes({'a',  'Z',  ' ',  '\'', '\r', '\n', '\n', 0x00, 0x7F, 0x80, 0x81, 0x9D,
               0xA0, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xEF, 0xBB, 0xBF, 0xF0, 0x9F, 0xFF});
    for (int round = 0; round < 3000; ++round) {
        const bool crlf = round % 2 == 1;
        const int length = random.bounded(0, 40);
        QByteArray raw;
        for (int i = 0; i < length; ++i)
            raw.append(pool.at(random.bounded(pool.size())));
        // All line ends of one style: LF files hold no CR LF, CR LF files no bare LF.
        QByteArray input;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            const char c = raw.at(i);
            if (c == '\n') {
                if (crlf && !input.endsWith('\r'))
                    input.append('\r');
                while (!crlf && input.endsWith('\r'))
                    input.chop(1);
            }
            input.append(c);
        }
        const Decoded decoded = decode(input);
        const QByteArray output = encode(decoded.text, decoded.encoding, decoded.lineEnd);
        if (output != input)
            QFAIL(qPrintable(QStringLiteral("round %1: %2 came back as %3")
                                 .arg(round)
                                 .arg(QString::fromLatin1(input.toHex(' ')),
                                      QString::fromLatin1(output.toHex(' ')))));
    }
}

void TestCodec::encodes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<LineEnd>("lineEnd");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("new text") << u"a\nb"_qs << NewTextEncoding << NewTextLineEnd << bytes("a\nb");
    QTest::newRow("crlf") << u"a\nb\n"_qs << Encoding::Utf8 << LineEnd::CrLf << bytes("a\r\nb\r\n");
    QTest::newRow("no line end added") << u"x"_qs << Encoding::Utf8 << LineEnd::CrLf << bytes("x");
    QTest::newRow("empty") << QString() << Encoding::Windows1252 << LineEnd::CrLf << QByteArray();
    QTest::newRow("empty keeps bom")
        << QString() << Encoding::Utf8Bom << LineEnd::Lf << bytes("\xEF\xBB\xBF");
    QTest::newRow("bom written") << u"\u00E9\n"_qs << Encoding::Utf8Bom << LineEnd::CrLf
                                 << bytes("\xEF\xBB\xBF\xC3\xA9\r\n");
    QTest::newRow("fits windows-1252")
        << u"\u00E9\u20AC"_qs << Encoding::Windows1252 << LineEnd::Lf << bytes({0xE9, 0x80});
    QTest::newRow("gained a character outside windows-1252")
        << u"\u00E9 \u0416"_qs << Encoding::Windows1252 << LineEnd::CrLf
        << bytes("\xC3\xA9 \xD0\x96");
    QTest::newRow("U+0080 is not the euro byte")
        << u"\u0080"_qs << Encoding::Windows1252 << LineEnd::Lf << bytes("\xC2\x80");
    QTest::newRow("utf-8 text stays utf-8")
        << u"\u00E9"_qs << Encoding::Utf8 << LineEnd::Lf << bytes("\xC3\xA9");
}

void TestCodec::encodes() {
    QFETCH(QString, text);
    QFETCH(Encoding, encoding);
    QFETCH(LineEnd, lineEnd);
    QFETCH(QByteArray, expected);
    const QByteArray written = encode(text, encoding, lineEnd);
    QCOMPARE(written, expected);
    QVERIFY(!written.contains('?'));
    // Whatever is written reads back as the same text.
    QCOMPARE(decode(written).text, text);
}

void TestCodec::windows1252TextThatMustNotBeMisreadAsUtf8() {
    // A Windows-1252 file "Ã©" plus an invalid byte; with that byte deleted, the bytes C3 A9 would
    // read back as "é". Such text is written as UTF-8 so it reads back as typed.
    const Decoded opened = decode(bytes("\xC3\xA9\xFF"));
    QCOMPARE(opened.encoding, Encoding::Windows1252);
    QString edited = opened.text;
    edited.chop(1);
    const QByteArray written = encode(edited, opened.encoding, opened.lineEnd);
    QCOMPARE(decode(written).text, edited);
}

void TestCodec::decodeTextMatchesDecode() {
    const QByteArray input = bytes("\xEF\xBB\xBF"
                                   "Dim\r\nAs\r\n");
    QCOMPARE(decodeText(input), u"Dim\nAs\n"_qs);
    QCOMPARE(decodeText(bytes("If\nThen")), u"If\nThen"_qs);
}

QTEST_APPLESS_MAIN(TestCodec)
#include "test_codec.moc"
