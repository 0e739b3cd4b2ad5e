// Adding and removing categories, and the tree's pop-up menu.
#include "frmmain.h"

void frmMain::AddCat() {}
void frmMain::RemoveCat() {}
void frmMain::tvwFolders_MouseUp(int) {}
