// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Which file Save and Save As may write, worked out from the selections alone, so the rule that
// keeps one snippet's text out of another's file lives in one place and can be read as a table.
namespace SaveTarget {

struct Selections {
    bool listHasEntries = false;
    bool rootSelected = true;       // the tree's root, or no node selected
    bool listOfOtherFolder = false; // the list does not show the selected node's snippets
    QString selectedEntry;          // null when no entry is selected
    QString heldEntry; // the listed snippet the editor holds; null when it holds none of them
};

enum class Decision {
    WriteSelected,   // the selected entry is the snippet the editor holds
    AskName,         // Save As's question, into the selected node's folder
    RefuseRoot,      // "You cannot save code in the root directory."
    RefuseOtherList, // the list shows another folder's snippets
    RefuseNotHeld,   // the selected entry is not what the editor holds: never write it
};

Decision forSave(const Selections& s);
Decision forSaveAs(const Selections& s);

} // namespace SaveTarget
