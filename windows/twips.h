// SPDX-License-Identifier: MIT
#pragma once

// Window lengths are given in twips, 1/1440 inch: 15 twips are one pixel at 96 dots per inch.
namespace Twips {

inline constexpr float PerPixel = 15.0f;

// The nearest pixel, halves away from zero, so every window rounds alike.
constexpr int toPixels(float twips) {
    const float pixels = twips / PerPixel;
    return pixels >= 0 ? int(pixels + 0.5f) : -int(-pixels + 0.5f);
}

} // namespace Twips
