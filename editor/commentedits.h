// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

// The three ways of commenting code out, as text transforms.
namespace CommentEdits {

inline constexpr char16_t Marker = u'\'';

// "Selected Text": a marker in front of the selection and of every further line it reaches
// (an empty last piece after a final line break included).
QString commentSelection(QStringView selected);

// "To End of Line": one marker in front of the selection.
QString commentFromHere(QStringView selected);

} // namespace CommentEdits
