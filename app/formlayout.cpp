// SPDX-License-Identifier: MIT
#include "app/formlayout.h"

namespace FormLayout {

namespace {
std::optional<float> size(float value) {
    if (value < 0.0f)
        return std::nullopt;
    return value;
}
} // namespace

Result compute(const Input& in) {
    Result r;
    const float bars = in.statusBarHeight + in.toolbarHeight;
    r.editorWidth = size(in.clientWidth - in.treeWidth - 90.0f);
    r.editorHeight = size(in.clientHeight - bars);
    r.treeHeight = size(in.clientHeight / 2.0f - (bars / 2.0f + 30.0f));
    r.listTop = r.treeHeight.value_or(in.currentTreeHeight) + in.treeTop + 45.0f;
    r.listHeight = size(in.clientHeight / 2.0f - (bars / 2.0f + 30.0f));
    const float panels =
        in.panelWidths[0] + in.panelWidths[1] + in.panelWidths[2] + in.panelWidths[3] + 450.0f;
    r.panel1Width = size(in.outerWidth - panels);
    return r;
}

} // namespace FormLayout
