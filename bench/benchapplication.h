// SPDX-License-Identifier: MIT
#pragma once

// The window benchmarks' application: it notes the window thread's longest event.

#include "bench/benchsupport.h"

#include <QApplication>

namespace BenchSupport {

// Notes the most CPU time the window's thread spent on one event. Unlike a gap in the event loop
// it leaves out the time other programs take from a loaded machine, so it shows the window's own
// long stretches where the gaps are the machine's.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    double longestEventMs = 0;

    bool notify(QObject* receiver, QEvent* event) override {
        if (m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        const double start = threadCpuMs();
        const bool handled = QApplication::notify(receiver, event);
        longestEventMs = std::max(longestEventMs, threadCpuMs() - start);
        --m_depth;
        return handled;
    }

private:
    int m_depth = 0;
};

} // namespace BenchSupport
