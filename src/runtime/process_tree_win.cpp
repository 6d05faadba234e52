#include "runtime/process_tree_win.h"

#include "runtime/process_list_win.h"

namespace oz {

void terminateDescendants(HANDLE root) {
    const DWORD rootId = ::GetProcessId(root);
    if (rootId == 0) return;
    const OpenedProcessList list = openProcesses();
    terminateChosen(list, descendantsOf(factsOf(list), rootId, creationTime(root), list.scope));
}

}  // namespace oz
