// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <atomic>
#include <utility>
#include <vector>

// A snippet's text kept once, case-folded, as UTF-8 with '\n' line breaks. Folding keeps every
// character's UTF-8 length, so offsets and lines of the folded text are those of the original,
// and the original letters can be given back for the few lines that are shown.
struct FoldedText {
    QByteArray bytes;
    QByteArray upper; // one bit per byte of `bytes`: an ASCII letter that was upper case
    std::vector<std::pair<quint32, char32_t>>
        others; // offset and original of other folded characters

    qsizetype memoryBytes() const;
};

namespace TextFold {

// File bytes read with the decoding used for opening (UTF-8, else Windows-1252; CR LF as one
// line break). A raised `cancel` stops it part way, with nothing folded.
FoldedText fromFileBytes(QByteArray bytes, const std::atomic<bool>* cancel = nullptr);
FoldedText fromText(QStringView text);

// A word or a name, folded the same way.
QByteArray fold(QStringView text);

// The original text of bytes [from, to) of folded bytes and their restore information.
QString original(QByteArrayView bytes, const QByteArray& upper,
                 const std::vector<std::pair<quint32, char32_t>>& others, qsizetype from,
                 qsizetype to);
inline QString original(const FoldedText& text, qsizetype from, qsizetype to) {
    return original(text.bytes, text.upper, text.others, from, to);
}

} // namespace TextFold
