#include "action_test_support.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include <gtest/gtest.h>

#include "runtime/process_list_win.h"
#include "runtime/text_win.h"

namespace oz::test {

namespace fs = std::filesystem;

namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

bool sameIgnoringCase(const std::wstring& a, const wchar_t* b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool isInterpreterOrBridge(const std::wstring& name) {
    return sameIgnoringCase(name, L"cmd.exe") || sameIgnoringCase(name, L"adb.exe");
}

// Calls visit(name, id) for every process in a fresh snapshot.
void forEachNamedProcess(const std::function<void(const std::wstring&, DWORD)>& visit) {
    oz::forEachProcess([&](const PROCESSENTRY32W& entry) {
        visit(entry.szExeFile, entry.th32ProcessID);
        return true;
    });
}

}  // namespace

RecordingView::~RecordingView() { releaseMessages(); }

ViewCall& RecordingView::record(ViewCall call) {
    call.sequence = sequence_++;
    if (probe_) call.probe = probe_();
    calls_.push_back(std::move(call));
    changed_.notify_all();
    return calls_.back();
}

void RecordingView::setButtonDisabled(ActionCode button, bool disabled) {
    std::lock_guard lock(mutex_);
    record(buttonCall(button, disabled));
}

void RecordingView::appendLog(std::string_view textUtf8) {
    std::lock_guard lock(mutex_);
    record(logCall(fromUtf8(textUtf8)));
}

void RecordingView::showMessage(std::string_view textUtf8, UINT flags, BoxOwner owner) {
    std::unique_lock lock(mutex_);
    record(messageCall(textUtf8, flags, owner == BoxOwner::window));
    ++messagesShown_;
    changed_.notify_all();
    // Bounded, so that a test that forgets to release its boxes still ends.
    changed_.wait_for(lock, std::chrono::seconds(60), [&] { return !holding_; });
}

void RecordingView::rememberAddress(std::string_view addressUtf8) {
    std::lock_guard lock(mutex_);
    remembered_ = addressUtf8;
}

std::string RecordingView::rememberedAddress() const {
    std::lock_guard lock(mutex_);
    return remembered_;
}

std::vector<ViewCall> RecordingView::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::size_t RecordingView::count() const {
    std::lock_guard lock(mutex_);
    return calls_.size();
}

void RecordingView::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::wstring RecordingView::logText() const {
    std::wstring text;
    for (const ViewCall& call : calls())
        if (call.kind == ViewCall::Kind::log) text += call.log;
    return text;
}

std::map<ActionCode, bool> RecordingView::disabledStates() const {
    std::map<ActionCode, bool> states{
        {ACTION_CONNECT, false}, {ACTION_REMOVE_BOOT_ADS, true}, {ACTION_REMOVE_SYSTEM_UPDATE, true}};
    for (const ViewCall& call : calls())
        if (call.kind == ViewCall::Kind::button) states[call.button] = call.disabled;
    return states;
}

void RecordingView::holdMessages() {
    std::lock_guard lock(mutex_);
    holding_ = true;
}

bool RecordingView::waitForMessages(std::size_t n, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return messagesShown_ >= n; });
}

void RecordingView::releaseMessages() {
    std::lock_guard lock(mutex_);
    holding_ = false;
    changed_.notify_all();
}

void RecordingView::setProbe(std::function<bool()> probe) {
    std::lock_guard lock(mutex_);
    probe_ = std::move(probe);
}

ViewCall buttonCall(ActionCode button, bool disabled) {
    ViewCall call;
    call.kind = ViewCall::Kind::button;
    call.button = button;
    call.disabled = disabled;
    return call;
}

ViewCall logCall(std::wstring text) {
    ViewCall call;
    call.kind = ViewCall::Kind::log;
    call.log = std::move(text);
    return call;
}

ViewCall messageCall(std::string_view text, UINT flags, bool owned) {
    ViewCall call;
    call.kind = ViewCall::Kind::message;
    call.message = text;
    call.flags = flags;
    call.owned = owned;
    return call;
}

std::vector<std::string> describe(const std::vector<ViewCall>& calls) {
    std::vector<std::string> out;
    for (const ViewCall& call : calls) {
        switch (call.kind) {
        case ViewCall::Kind::button:
            out.push_back("button " + std::to_string(call.button) + (call.disabled ? " disabled" : " enabled"));
            break;
        case ViewCall::Kind::log: out.push_back("log " + escaped(toUtf8(call.log))); break;
        case ViewCall::Kind::message:
            out.push_back("message " + escaped(call.message) + " flags " + std::to_string(call.flags) +
                          (call.owned ? " owned" : " unowned"));
            break;
        }
    }
    return out;
}

std::vector<DWORD> processesNamed(std::wstring_view name) {
    std::vector<DWORD> ids;
    forEachNamedProcess([&](const std::wstring& exe, DWORD id) {
        if (exe == name) ids.push_back(id);
    });
    return ids;
}

std::vector<std::wstring> processNames() {
    std::vector<std::wstring> names;
    forEachNamedProcess([&](const std::wstring& exe, DWORD) { names.push_back(exe); });
    return names;
}

// Until a fresh snapshot lists none: a process already terminating may not open any more, yet
// still hold its current directory, which a test is about to remove.
void endInterpretersAndBridges() {
    eventually([] {
        bool found = false;
        forEachNamedProcess([&](const std::wstring& exe, DWORD id) {
            if (!isInterpreterOrBridge(exe)) return;
            found = true;
            const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
            if (!process) return;
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 10000);
        });
        return !found;
    });
}

StartedProcess::StartedProcess(const fs::path& program, std::wstring_view arguments) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\" " + std::wstring(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // Not in a temp folder: Wine lets go of a killed process's current directory a little after
    // the process has ended, and the folder could not be removed meanwhile.
    const std::wstring working = buildBinDir().wstring();
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          working.c_str(), &startup, &started))
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateProcessW");
    process_.reset(started.hProcess);
    const UniqueHandle thread(started.hThread);
    id_ = started.dwProcessId;
}

StartedProcess::~StartedProcess() {
    if (!running()) return;
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), 10000);
}

bool StartedProcess::running() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

WatchedProcess::WatchedProcess(DWORD id) : process_(::OpenProcess(SYNCHRONIZE, FALSE, id)) {}

bool WatchedProcess::running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool WatchedProcess::endsWithin(std::chrono::milliseconds limit) const {
    return !process_ || ::WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

WorkerThread::WorkerThread(ActionWorker& worker, ActionWorker::Request request) {
    std::packaged_task<void()> task([&worker, request = std::move(request)] { worker.runAction(request); });
    done_ = task.get_future();
    thread_ = std::thread(std::move(task));
}

// A worker that never ends fails the test rather than hanging it: ending every interpreter
// ends any wait for an answer; should even that not help, the program cannot go on, since the
// thread still uses the test's objects.
WorkerThread::~WorkerThread() {
    if (endsWithin(20s)) return;
    ADD_FAILURE() << "a worker was still running at the end of the test";
    endInterpretersAndBridges();
    if (endsWithin(20s)) return;
    std::fputs("a worker never ended\n", stderr);
    std::_Exit(3);
}

bool WorkerThread::endsWithin(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) return true;
    if (done_.wait_for(limit) != std::future_status::ready) return false;
    thread_.join();
    return true;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

WorkerRig::WorkerRig(Options options)
    : programFolder(options.programFolderName),
      currentDirectory(options.startInProgramFolder ? programFolder.path() : otherFolder.path()),
      worker(console, view, programFolder.path().wstring(), options.ownerWait) {
    scenario.write(options.scenario);
    if (options.withAdb) fs::copy_file(FakeAdbScenario::adbExe(), programFolder.path() / L"adb.exe");
    console->start();
    if (!options.waitForBanner) return;
    DWORD seen = 0;
    eventually([&] {
        const DWORD now = console->outputSize();
        const bool quiet = now > 0 && now == seen;
        seen = now;
        return quiet;
    });
}

WorkerRig::~WorkerRig() {
    view.releaseMessages();
    worker.shutDown();
    endInterpretersAndBridges();
}

void WorkerRig::run(int code, std::wstring ip) { worker.runAction(worker.request(code, toUtf8(ip))); }

WorkerThread WorkerRig::start(int code, std::wstring ip) { return WorkerThread(worker, worker.request(code, toUtf8(ip))); }

void WorkerRig::connectAndForget() {
    run(ACTION_CONNECT);
    view.clear();
}

}  // namespace oz::test
