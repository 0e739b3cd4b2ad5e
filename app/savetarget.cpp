// SPDX-License-Identifier: MIT
#include "app/savetarget.h"

namespace SaveTarget {

Decision forSaveAs(const Selections& s) {
    if (s.rootSelected)
        return Decision::RefuseRoot;
    if (s.listOfOtherFolder)
        return Decision::RefuseOtherList;
    return Decision::AskName;
}

Decision forSave(const Selections& s) {
    if (!s.listHasEntries || s.selectedEntry.isNull())
        return forSaveAs(s);
    if (s.rootSelected)
        return Decision::RefuseRoot;
    if (s.listOfOtherFolder)
        return Decision::RefuseOtherList;
    if (s.heldEntry.isNull() || s.selectedEntry != s.heldEntry)
        return Decision::RefuseNotHeld;
    return Decision::WriteSelected;
}

} // namespace SaveTarget
