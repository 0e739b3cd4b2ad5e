// SPDX-License-Identifier: MIT
#pragma once

// What the fuzz targets and the regression test share: turning raw bytes into text, and
// collecting the first broken rule of a check.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <string>

namespace FuzzInput {

// Latin-1 reaches every unit below 256, UTF-8 the rest of Unicode as an editor would hold it,
// and raw UTF-16 anything at all, lone surrogates included.
inline QString text(QByteArrayView bytes, unsigned how) {
    switch (how % 3) {
    case 0:
        return QString::fromLatin1(bytes);
    case 1:
        return QString::fromUtf8(bytes);
    default: {
        QString out(bytes.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < out.size(); ++i)
            out[i] = QChar(char16_t(quint8(bytes[2 * i]) | (quint8(bytes[2 * i + 1]) << 8)));
        return out;
    }
    }
}

// Units are shown as hex so that control characters and surrogates survive the report.
inline QString show(QStringView text) {
    QString out;
    for (qsizetype i = 0; i < text.size() && i < 200; ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x20 && u < 0x7F)
            out += QChar(u);
        else
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
    }
    if (text.size() > 200)
        out += QStringLiteral("...");
    return out;
}

} // namespace FuzzInput

// The message is built only when the rule fails: checks run millions of times.
#define FUZZ_EXPECT(verdict, holds, message) (bool(holds) || (verdict).fail(message))

// The first rule that failed, or nothing.
class Verdict {
public:
    bool failed() const { return !m_message.isEmpty(); }
    const QString& message() const { return m_message; }
    // Keeps the first failure only: later ones usually follow from it.
    bool fail(const QString& what) {
        if (m_message.isEmpty())
            m_message = what;
        return false;
    }

private:
    QString m_message;
};
