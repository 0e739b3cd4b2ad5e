// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

class QPainter;

// The program's icon, drawn in code: the window, the About box and the installed icon files all
// come from here. It paints a 32 x 32 frame; scale the painter for other sizes.
void paintProgramPicture(QPainter& painter);
QImage programImage(int size);
QPixmap programPicture(); // 32 x 32
QIcon programIcon();
