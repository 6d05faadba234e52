#pragma once
// Walking the system's process list, and opening what it lists so that a decision about a
// process is made on facts from its own handle (its id may be reused the moment it ends).
#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <vector>

#include "core/process_selection.h"
#include "runtime/handles_win.h"

namespace oz {

// Calls visit for each entry of a fresh snapshot, in order, until it returns false.
void forEachProcess(const std::function<bool(const PROCESSENTRY32W&)>& visit);

struct OpenedProcess {
    ProcessFacts facts;
    UniqueHandle handle;  // may terminate and query the process
};

struct OpenedProcessList {
    SelectionScope scope;  // this process's session, and when the list was taken
    std::vector<OpenedProcess> processes;  // the ones that could be opened, in list order
};

// Every listed process this program may end, opened; the others are left out.
OpenedProcessList openProcesses();

// Creation time in 100 ns units; 0 when it cannot be read.
std::uint64_t creationTime(HANDLE process);

// The facts of every opened process, for the selection rules.
std::vector<ProcessFacts> factsOf(const OpenedProcessList& list);

// Terminates the opened processes whose ids are chosen; returns how many were ended.
int terminateChosen(const OpenedProcessList& list, const std::vector<std::uint32_t>& chosen);

}  // namespace oz
