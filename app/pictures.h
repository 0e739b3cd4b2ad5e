#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

// The picture lists, drawn in code: 16 x 16, light grey (192, 192, 192) shown transparent.
namespace Pictures {
// ilToolbar, pictures 1 to 6 at indices 0 to 5.
QList<QPixmap> toolbarPictures();
// ilTree: 1 the page, 2 the yellow folder, at indices 0 and 1.
QList<QPixmap> treePictures();
// An icon that looks the same whether or not its row is selected.
QIcon steadyIcon(const QPixmap& picture);
} // namespace Pictures
