// SPDX-License-Identifier: MIT
#pragma once

#include "windows/twips.h"

#include <optional>

// The main window's layout on resize, in twips (15 per pixel) on floats, without widgets.
namespace FormLayout {

inline constexpr float TwipsPerPixel = Twips::PerPixel;
inline constexpr float TreeLeft = 30.0f;
inline constexpr float TreeTop = 360.0f;
inline constexpr float TreeWidth = 2655.0f;
inline constexpr float EditorLeft = 2730.0f;
inline constexpr float EditorTop = 360.0f;
inline constexpr float ListLeft = 30.0f;

struct Input {
    float clientWidth = 0;     // W
    float clientHeight = 0;    // H
    float toolbarHeight = 0;   // T
    float statusBarHeight = 0; // S
    float outerWidth = 0;      // Wo
    float treeWidth = TreeWidth;
    float treeTop = TreeTop;
    float currentTreeHeight = 0; // used by the list's top when the tree's new height is refused
    float panelWidths[4] = {1440, 720, 720, 720}; // panels 2 to 5
};

// Each assignment that applies holds its value; one whose width or height comes out negative
// holds nothing and the widget keeps what it had.
struct Result {
    std::optional<float> editorWidth;
    std::optional<float> editorHeight;
    std::optional<float> treeHeight;
    std::optional<float> listTop;
    std::optional<float> listHeight;
    std::optional<float> panel1Width;
};

Result compute(const Input& input);

} // namespace FormLayout
