// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <functional>

namespace CategoryKeys {
// `wanted` when no node holds it yet, else the first of wanted + "#2", "#3", ... that is free.
QString unique(const QString& wanted, const std::function<bool(const QString&)>& taken);
} // namespace CategoryKeys
