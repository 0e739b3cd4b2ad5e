// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <QStringView>

namespace KeywordList {

// One keyword per line; lines end with CR LF or LF, and a last line without a line end counts.
// Empty lines are skipped; nothing is trimmed; every keyword is lowered as colouring lowers.
QStringList parse(QStringView text);

} // namespace KeywordList
