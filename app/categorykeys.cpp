// SPDX-License-Identifier: MIT
#include "app/categorykeys.h"

namespace CategoryKeys {
QString unique(const QString& wanted, const std::function<bool(const QString&)>& taken) {
    if (!taken(wanted))
        return wanted;
    for (int n = 2;; ++n) {
        QString candidate = wanted + QLatin1Char('#') + QString::number(n);
        if (!taken(candidate))
            return candidate;
    }
}
} // namespace CategoryKeys
