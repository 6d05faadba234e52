#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/program.h"
#include "runtime/program_win.h"
#include "runtime/system_info_win.h"

// The run-time's part around the entry: OLE on the GUI thread, the program's own folder as the
// current directory (the interpreter inherits it), and the exit routines after the entry.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    ::OleInitialize(nullptr);
    ::SetCurrentDirectoryW(oz::runDirectory().c_str());
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    oz::programEntry();
    oz::runExitRoutines();
    ::OleUninitialize();
    // Workers are never waited for: ending the process ends any still waiting.
    ::ExitProcess(0);
}
