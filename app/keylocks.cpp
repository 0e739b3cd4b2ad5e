// SPDX-License-Identifier: MIT
#include "app/keylocks.h"

#include <QGuiApplication>

// Xlib's macros (None, Bool, Status, KeyPress...) clash with Qt's names, so it comes last.
#if defined(QUILLARY_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>

std::optional<KeyLocks::State> KeyLocks::query() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return std::nullopt;
    unsigned indicators = 0;
    if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &indicators) != 0)
        return std::nullopt;
    // Indicator bits as the keyboard reports them: Caps Lock first, Num Lock second.
    return State{(indicators & 1u) != 0, (indicators & 2u) != 0};
}
#else
std::optional<KeyLocks::State> KeyLocks::query() {
    return std::nullopt;
}
#endif
