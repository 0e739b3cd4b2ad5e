// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

// The picture lists, drawn in code on a 16 x 16 grid with a transparent background, at any
// device pixel ratio.
namespace Pictures {
// ilToolbar, pictures 1 to 6 at indices 0 to 5.
QList<QPixmap> toolbarPictures(qreal devicePixelRatio = 1);
// ilTree: 1 the page, 2 the yellow folder, at indices 0 and 1.
QList<QPixmap> treePictures(qreal devicePixelRatio = 1);
// The same pictures as icons that are drawn afresh at the scale of the screen they are shown on.
QList<QIcon> toolbarIcons();
QList<QIcon> treeIcons();
} // namespace Pictures
