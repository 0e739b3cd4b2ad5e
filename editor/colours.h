// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// Colours are packed 0x00BBGGRR, blue in the highest used byte.
namespace Colours {
inline constexpr quint32 Default = 0x000000; // black
inline constexpr quint32 Keyword = 0x800000; // navy
inline constexpr quint32 Comment = 0x008000; // green
} // namespace Colours

// A run of characters of one colour: [start, start + length).
struct ColourRun {
    int start = 0;
    int length = 0;
    quint32 colour = Colours::Default;
    friend bool operator==(const ColourRun&, const ColourRun&) = default;
};
