// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

// The keyboard's Caps Lock and Num Lock states, where the windowing system tells them.
namespace KeyLocks {

struct State {
    bool capsLock = false;
    bool numLock = false;
};

// Nothing when the program runs without X11 or was built without it.
std::optional<State> query();

} // namespace KeyLocks
