#pragma once

#include <QIcon>
#include <QPixmap>

// The program's 32 x 32 icon, drawn in code.
QPixmap programPicture();
QIcon programIcon();
