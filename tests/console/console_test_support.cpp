#include "console_test_support.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "runtime/handles_win.h"
#include "runtime/process_list_win.h"

namespace oz::test {

std::set<DWORD> childInterpreters() {
    std::set<DWORD> found;
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        if (entry.th32ParentProcessID == ::GetCurrentProcessId() && ::lstrcmpiW(entry.szExeFile, L"cmd.exe") == 0)
            found.insert(entry.th32ProcessID);
        return true;
    });
    return found;
}

void killChildInterpreters() {
    for (const DWORD id : childInterpreters()) {
        const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 10000);
    }
}

void waitForQuietOutput(const ConsoleHost& host) {
    DWORD previous = 0;
    for (int step = 0; step < 100; ++step) {
        ::Sleep(100);
        const DWORD now = host.outputSize();
        if (now > 0 && now == previous) return;
        previous = now;
    }
}

bool endsWithin(std::chrono::milliseconds limit, const std::function<void()>& work,
                const std::function<void()>& meanwhile, const std::function<void()>& rescue) {
    std::promise<void> done;
    std::future<void> ended = done.get_future();
    std::thread worker([&] {
        work();
        done.set_value();
    });
    meanwhile();
    const bool inTime = ended.wait_for(limit) == std::future_status::ready;
    if (!inTime) {
        rescue();
        if (ended.wait_for(limit) != std::future_status::ready) {
            std::fputs("a wait that should have ended is still running; giving up\n", stderr);
            std::fflush(stderr);
            std::_Exit(3);
        }
    }
    worker.join();
    return inTime;
}

}  // namespace oz::test
