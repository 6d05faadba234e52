#pragma once
// The processes a process has started, and theirs in turn.
#include <windows.h>

namespace oz {

// Terminates every process below root in the process tree (as far as rights allow). Windows
// keeps a parent's id after the parent has gone and may give it to a new process, so only
// processes created after root are taken as its descendants.
void terminateDescendants(HANDLE root);

}  // namespace oz
