// The edit-state tick, the status bar position, the clipboard and comment commands.
#include "frmmain.h"

void frmMain::tmrEdit_Timer() {}
int frmMain::ColPos(const CodeEditor*) const {
    return 0;
}
int frmMain::GetLineFromChar(int) const {
    return 0;
}
void frmMain::Undo() {}
void frmMain::txtCodeFile_MouseUp(int) {}
void frmMain::mnuDelete_Click() {}
void frmMain::mnuCut_Click() {}
void frmMain::mnuCopy_Click() {}
void frmMain::mnuPaste_Click() {}
void frmMain::mnuCommentSelected_Click() {}
void frmMain::mnuCommentWholeLine_Click() {}
void frmMain::mnuCommentFromHere_Click() {}
