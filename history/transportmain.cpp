// SPDX-License-Identifier: MIT
// quillary-transport: the sync's fetch or push, in a process the program can end at any moment.
#include "history/transportchild.h"

int main(int argc, char** argv) {
    return transportchild::childMain(argc, argv);
}
