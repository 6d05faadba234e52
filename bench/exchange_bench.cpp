// How much the console host costs around an adb command, measured under Wine in one run:
//  (a) median time of an exchange (sendCommand + readOutput) of an instantly answering fake adb
//      through ConsoleHost, against running the same adb.exe directly with CreateProcess and a
//      pipe; interleaved runs; target ratio <= 1.10;
//  (b) this program's CPU time while readOutput waits 3 s for a slow answer, as % of one core;
//      target <= 1 %. For reference, the same for a plain 1 ms poll of an idle pipe.
// The fake adb.exe is built into the same bin folder; the interpreter starts there.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/console_host_win.h"
#include "runtime/handles_win.h"
#include "runtime/system_info_win.h"
#include "runtime/waits_win.h"

namespace fs = std::filesystem;

namespace {

constexpr int runs = 30;
constexpr char connectCommand[] = "adb connect 127.0.0.1:5555";
constexpr DWORD slowAnswerMs = 3000;

double nowMs() {
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double cpuMs() {
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The fake adb's scenario, log and server state go to a folder of their own.
class FakeAdbSetup {
public:
    FakeAdbSetup() : folder_(fs::temp_directory_path() / ("oz-exchange-bench-" + std::to_string(::GetCurrentProcessId()))) {
        fs::create_directories(folder_);
        ::SetEnvironmentVariableW(L"OZ_FAKE_ADB_SCENARIO", (folder_ / "scenario.txt").c_str());
        ::SetEnvironmentVariableW(L"OZ_FAKE_ADB_LOG", (folder_ / "calls.log").c_str());
        ::SetEnvironmentVariableW(L"OZ_FAKE_ADB_STATE", folder_.c_str());
    }
    ~FakeAdbSetup() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    FakeAdbSetup(const FakeAdbSetup&) = delete;
    FakeAdbSetup& operator=(const FakeAdbSetup&) = delete;

    void scenario(const std::string& rules) const { std::ofstream(folder_ / "scenario.txt", std::ios::binary) << rules; }

private:
    fs::path folder_;
};

// adb.exe started directly, its output read through a pipe to the end.
double directRunMs(const std::wstring& adb) {
    const double began = nowMs();
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    oz::UniqueHandle readEnd;
    oz::UniqueHandle writeEnd;
    ::CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    std::wstring line = L"\"" + adb + L"\" connect 127.0.0.1:5555";
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) return -1;
    const oz::UniqueHandle process(info.hProcess);
    const oz::UniqueHandle thread(info.hThread);
    writeEnd.reset();
    char buffer[4096];
    DWORD got = 0;
    std::string output;
    while (::ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
    ::WaitForSingleObject(process.get(), INFINITE);
    const double took = nowMs() - began;
    return output.find("connected to") == std::string::npos ? -1 : took;
}

double hostExchangeMs(oz::ConsoleHost& host) {
    const double began = nowMs();
    host.sendCommand(connectCommand);
    const std::string answer = host.readOutput();
    const double took = nowMs() - began;
    return answer.find("connected to") == std::string::npos ? -1 : took;
}

void compareExchanges(oz::ConsoleHost& host, const std::wstring& adb) {
    std::vector<double> viaHost;
    std::vector<double> direct;
    for (int i = 0; i < 3; ++i) {  // warm-up: file cache, the fake's first run
        hostExchangeMs(host);
        directRunMs(adb);
    }
    for (int i = 0; i < runs; ++i) {
        viaHost.push_back(hostExchangeMs(host));
        direct.push_back(directRunMs(adb));
    }
    if (*std::min_element(viaHost.begin(), viaHost.end()) < 0 || *std::min_element(direct.begin(), direct.end()) < 0) {
        std::puts("(a) FAILED: an answer lacked \"connected to\"");
        return;
    }
    const double hostMedian = median(viaHost);
    const double directMedian = median(direct);
    std::printf("(a) exchange median over %d runs: host %.2f ms, direct adb %.2f ms, ratio %.3f (target <= 1.10)\n",
                runs, hostMedian, directMedian, hostMedian / directMedian);
}

struct CpuShare {
    double wallMs;
    double percent;
};

template <typename Work>
CpuShare cpuShareOf(Work work) {
    const double wallBegan = nowMs();
    const double cpuBegan = cpuMs();
    work();
    const double cpu = cpuMs() - cpuBegan;
    const double wall = nowMs() - wallBegan;
    return {wall, 100.0 * cpu / wall};
}

void measureSlowAnswer(oz::ConsoleHost& host, const FakeAdbSetup& fake) {
    fake.scenario("server: running\nconnect: delay " + std::to_string(slowAnswerMs) + " connected\n");
    std::string answer;
    const CpuShare waiting = cpuShareOf([&] {
        host.sendCommand(connectCommand);
        answer = host.readOutput();
    });
    std::printf("(b) readOutput waiting %.0f ms for a slow answer: %.3f %% of one core (target <= 1 %%)%s\n",
                waiting.wallMs, waiting.percent, answer.find("connected to") == std::string::npos ? " FAILED: no answer" : "");

    // Reference: one peek and one 1 ms paced wait per pass, on a pipe nobody writes to.
    oz::UniqueHandle readEnd;
    oz::UniqueHandle writeEnd;
    ::CreatePipe(readEnd.put(), writeEnd.put(), nullptr, 0);
    const CpuShare polling = cpuShareOf([&] {
        const ULONGLONG until = ::GetTickCount64() + slowAnswerMs;
        while (::GetTickCount64() < until) {
            DWORD available = 0;
            ::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr);
            oz::pacedWait(1);
            oz::pumpPendingInput();
        }
    });
    std::printf("    reference, a 1 ms poll for %.0f ms: %.3f %% of one core\n", polling.wallMs, polling.percent);
}

}  // namespace

int main() {
    const std::wstring bin = oz::runDirectory();
    const std::wstring adb = bin + L"\\adb.exe";
    if (::GetFileAttributesW(adb.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::puts("adb.exe (the fake) is missing next to this program: build the fake_adb target");
        return 1;
    }
    ::SetCurrentDirectoryW(bin.c_str());
    const FakeAdbSetup fake;
    fake.scenario("server: running\n");

    oz::ConsoleHost host;
    host.start();
    host.readOutput();
    compareExchanges(host, adb);
    measureSlowAnswer(host, fake);
    host.stop();
    return 0;
}
