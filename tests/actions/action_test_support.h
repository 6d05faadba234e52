#pragma once
// A worker wired to a real cmd.exe, the adb.exe double and a view that records what it is told.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "actions/action_view.h"
#include "actions/action_worker.h"
#include "console/console_host_win.h"
#include "runtime/handles_win.h"
#include "support/fake_adb_scenario.h"
#include "support/test_support.h"

namespace oz::test {

using namespace std::chrono_literals;

// One call a worker made on its view, numbered in the order the calls arrived.
struct ViewCall {
    enum class Kind { button, log, message };
    Kind kind = Kind::button;
    std::size_t sequence = 0;
    ActionCode button{};
    bool disabled = false;
    std::wstring log;
    std::string message;
    UINT flags = 0;
    bool owned = false;
    bool probe = false;  // what the view's probe said at the moment of the call
};

// Records every call under a lock. Message boxes return at once, or, while held, only when the
// test releases them, so a test can look at what happened while a box was up.
// What the fake adb records for the worker's commands to the rig's TV, 10.0.0.2.
inline const std::string kConnectCall = "connect 10.0.0.2:5555";
inline const std::string kStateCall = "-s 10.0.0.2:5555 get-state";
inline const std::string kSystemAdSolution = "-s 10.0.0.2:5555 shell pm uninstall --user 0 com.miui.systemAdSolution";
inline const std::string kMitvAdvertise = "-s 10.0.0.2:5555 shell pm uninstall --user 0 com.xiaomi.mitv.advertise";
inline const std::string kMitvUpgrade = "-s 10.0.0.2:5555 shell pm uninstall --user 0 com.xiaomi.mitv.upgrade";
// A Connect the TV lets in: adb connect, then the TV's state.
inline const std::vector<std::string> kConnectCalls = {kConnectCall, kStateCall};

class RecordingView : public ActionView {
public:
    ~RecordingView() override;

    void setButtonDisabled(ActionCode button, bool disabled) override;
    void appendLog(std::string_view textUtf8) override;
    void showMessage(std::string_view textUtf8, UINT flags, BoxOwner owner) override;
    // Kept aside, not among the calls: the window stores it in the registry.
    void rememberAddress(std::string_view addressUtf8) override;
    std::string rememberedAddress() const;

    std::vector<ViewCall> calls() const;
    std::size_t count() const;
    void clear();
    // Every log append joined, as the log box would show it.
    std::wstring logText() const;
    // Each button's state after the recorded writes, starting from the window's design-time states.
    std::map<ActionCode, bool> disabledStates() const;

    // From now on boxes stay up until released.
    void holdMessages();
    // Waits until at least n boxes have been shown (held or not).
    bool waitForMessages(std::size_t n, std::chrono::milliseconds limit = 20s) const;
    // Lets every box shown so far, and every later one, return.
    void releaseMessages();
    // Evaluated inside every call; its result is stored with the call.
    void setProbe(std::function<bool()> probe);

private:
    ViewCall& record(ViewCall call);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<ViewCall> calls_;
    std::string remembered_;
    std::size_t sequence_ = 0;
    std::size_t messagesShown_ = 0;
    bool holding_ = false;
    std::function<bool()> probe_;
};

ViewCall buttonCall(ActionCode button, bool disabled);
ViewCall logCall(std::wstring text);
ViewCall messageCall(std::string_view text, UINT flags, bool owned);
// The calls without their sequence numbers and probes, in a form gtest prints readably.
std::vector<std::string> describe(const std::vector<ViewCall>& calls);

// Ids of the running processes whose executable name is exactly name, as the snapshot spells it.
std::vector<DWORD> processesNamed(std::wstring_view name);
// Every executable name the snapshot lists, in its own spelling.
std::vector<std::wstring> processNames();
// Terminates every cmd.exe and adb.exe (any letter case) and waits until they have gone: all of
// them in the test's Wine prefix were started by this test program.
void endInterpretersAndBridges();

// A process started by the test, terminated at the end of the scope if still running.
class StartedProcess {
public:
    StartedProcess(const std::filesystem::path& program, std::wstring_view arguments);
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    bool running() const;
    DWORD id() const { return id_; }

private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

// A process observed from outside, by id.
class WatchedProcess {
public:
    explicit WatchedProcess(DWORD id);
    bool running() const;
    bool endsWithin(std::chrono::milliseconds limit) const;

private:
    UniqueHandle process_;
};

// runAction on a thread of its own; the ticket was drawn by the caller, as the GUI thread does.
class WorkerThread {
public:
    WorkerThread(ActionWorker& worker, ActionWorker::Request request);
    ~WorkerThread();
    WorkerThread(WorkerThread&&) = default;
    WorkerThread& operator=(WorkerThread&&) = delete;

    bool endsWithin(std::chrono::milliseconds limit = 20s);

private:
    std::future<void> done_;
    std::thread thread_;
};

// Polls until condition holds; false when limit passed first.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s);

// The adb.exe double copied into a program folder, a worker whose run directory that folder is,
// and an interpreter started in another folder (so that the worker has to change to its own).
// The scenario is written before the interpreter starts: the interpreter, and every adb.exe it
// runs, takes the double's settings from the environment it inherits.
class WorkerRig {
public:
    struct Options {
        std::string scenario = "server: running\n";
        std::wstring programFolderName = L"program";
        bool startInProgramFolder = false;
        // Whether the first click comes only once the interpreter's banner is all there.
        bool waitForBanner = true;
        OwnerWait ownerWait = {};
        // Without it the program folder holds no adb.exe, and the worker talks to the TV itself.
        bool withAdb = true;
    };

    explicit WorkerRig(Options options);
    WorkerRig() : WorkerRig(Options{}) {}
    ~WorkerRig();

    // A whole action on this thread.
    void run(int code, std::wstring ip = L"10.0.0.2");
    // An action on a thread of its own, its ticket drawn here.
    WorkerThread start(int code, std::wstring ip = L"10.0.0.2");
    // A successful Connect, then the records are cleared.
    void connectAndForget();

    FakeAdbScenario scenario;
    TempFolder programFolder;
    TempFolder otherFolder{L"other"};
    ScopedCurrentDirectory currentDirectory;
    std::shared_ptr<ConsoleHost> console = std::make_shared<ConsoleHost>();
    RecordingView view;
    ActionWorker worker;
};

}  // namespace oz::test
