// SPDX-License-Identifier: MIT
#pragma once

// Reproducible BASIC-like code for the tests and the benchmarks.

#include <QRandomGenerator>
#include <QString>

namespace BasicCode {

inline QString identifier(QRandomGenerator& random) {
    static const char* const syllables[] = {"co", "un", "ter", "na", "me", "val", "ue",  "it",
                                            "em", "ro", "w",   "ix", "st", "ar",  "pos", "buf"};
    static const char* const prefixes[] = {"s", "n", "l", "b", "o", "i", "d", "m_", "", ""};
    QString name = QString::fromLatin1(prefixes[random.bounded(10)]);
    const int parts = 1 + random.bounded(3);
    for (int i = 0; i < parts; ++i) {
        QString part = QString::fromLatin1(syllables[random.bounded(16)]);
        if (i > 0 || name.size() == 1)
            part[0] = part[0].toUpper();
        name += part;
    }
    return name;
}

// Reproducible BASIC-like code of about `size` characters.
inline QString basicCode(qsizetype size, quint32 seed) {
    QRandomGenerator random(seed);
    QString code;
    code.reserve(size + 200);
    int indent = 0;
    auto line = [&](const QString& text) { code += QString(indent * 4, u' ') + text + u'\n'; };
    while (code.size() < size) {
        const QString a = identifier(random);
        const QString b = identifier(random);
        switch (random.bounded(12)) {
        case 0:
            line(QStringLiteral("Dim %1 As %2")
                     .arg(a, random.bounded(2) ? u"Integer"_qs : u"String"_qs));
            break;
        case 1:
            line(QStringLiteral("If %1 > %2 Then").arg(a).arg(random.bounded(100)));
            ++indent;
            break;
        case 2:
            if (indent > 0) {
                --indent;
                line(QStringLiteral("End If"));
            }
            break;
        case 3:
            line(QStringLiteral("For %1 = 1 To %2.Count").arg(a, b));
            line(QStringLiteral("    %1 = %1 + %2(%3)").arg(b, a, a));
            line(QStringLiteral("Next %1").arg(a));
            break;
        case 4:
            line(QStringLiteral("' %1 keeps the %2 of the last call").arg(a, b));
            break;
        case 5:
            line(QStringLiteral("%1 = \"it's %2\" & %3").arg(a, b, a));
            break;
        case 6:
            line(QStringLiteral("Call %1(%2, \"%3\") ' see %3").arg(a, b, identifier(random)));
            break;
        case 7:
            indent = 0;
            line(QString());
            line(QStringLiteral("Private Sub %1(ByVal %2 As Long)").arg(a, b));
            indent = 1;
            break;
        case 8:
            indent = 0;
            line(QStringLiteral("End Sub"));
            line(QString());
            line(QStringLiteral("Public Function %1() As Boolean").arg(a));
            indent = 1;
            break;
        case 9:
            line(QStringLiteral("Set %1 = New Collection").arg(a));
            break;
        case 10:
            line(QStringLiteral("%1.Text = Trim$(%2.Text)").arg(a, b));
            break;
        default:
            line(QStringLiteral("MsgBox %1 & vbCrLf & %2, vbOKOnly").arg(a, b));
            break;
        }
    }
    return code;
}

// The same few lines of code, with keywords and comments, repeated to exactly `bytes` bytes
// (LF line ends): quick to make in the sizes that stress the program.
inline QByteArray repeatedLines(qsizetype bytes) {
    static const char* const lines[] = {
        "Dim sName As String ' the name\n",
        "For i = 1 To 100 ' count up\n",
        "    sName = sName & Chr(65 + i)\n",
        "Next i\n",
        "If Len(sName) > 3 Then MsgBox \"big\" Else Print \"small\"\n",
        "\tSelect Case x: Case 1: Exit Sub: End Select\n"};
    QByteArray out;
    out.reserve(bytes + 64);
    for (std::size_t i = 0; out.size() < bytes; ++i)
        out += lines[i % std::size(lines)];
    out.truncate(bytes);
    return out;
}

} // namespace BasicCode
