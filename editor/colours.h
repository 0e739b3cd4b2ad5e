#pragma once

#include <QColor>
#include <QtGlobal>

// Colours are packed 0x00BBGGRR, blue in the highest used byte.
namespace Colours {
inline constexpr quint32 Default = 0x000000; // black
inline constexpr quint32 Keyword = 0x800000; // navy
inline constexpr quint32 Comment = 0x008000; // green

inline QColor toQColor(quint32 bbggrr) {
    return QColor(int(bbggrr & 0xFF), int((bbggrr >> 8) & 0xFF), int((bbggrr >> 16) & 0xFF));
}
} // namespace Colours

// A run of characters of one colour: [start, start + length).
struct ColourRun {
    int start = 0;
    int length = 0;
    quint32 colour = Colours::Default;
    friend bool operator==(const ColourRun&, const ColourRun&) = default;
};
