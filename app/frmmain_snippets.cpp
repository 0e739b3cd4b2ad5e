// The snippet list, opening, saving, deleting and colouring.
#include "frmmain.h"

void frmMain::tvwFolders_NodeClick(QTreeWidgetItem*) {}
void frmMain::lstCode_ItemClick() {}
void frmMain::lstCode_MouseUp(int) {}
void frmMain::mnuDeleteFile_Click() {}
void frmMain::Save() {}
void frmMain::SaveAs() {}
void frmMain::ColorCode() {}
void frmMain::HighlightText(const QString&, quint32) {}
