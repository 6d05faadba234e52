#include "support/app_driver.h"

#include <tlhelp32.h>

#include <sstream>
#include <stdexcept>
#include <system_error>

#include "runtime/process_list_win.h"
#include "runtime/text_win.h"
#include "support/real_input.h"

namespace oz::test {
namespace fs = std::filesystem;
namespace {

constexpr wchar_t kMainCaption[] = L"Ozarith";
constexpr wchar_t kBoxCaption[] = L"信息：";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kBoxTextId = 0xFFFF;
// Cross-process messages are answered by the program's GUI thread, which never blocks for long.
constexpr UINT kSendTimeoutMs = 5000;

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    const int length = ::GetClassNameW(window, name, 64);
    return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

// The caption of a top-level window: the system keeps it, no message to the owning thread needed.
std::wstring caption(HWND window) {
    wchar_t buffer[256] = {};
    const int length = ::GetWindowTextW(window, buffer, 256);
    return std::wstring(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

template <class Visit>
void forEachTopLevelWindow(Visit visit) {
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            return (*reinterpret_cast<Visit*>(context))(window) ? TRUE : FALSE;
        },
        reinterpret_cast<LPARAM>(&visit));
}

DWORD processOf(HWND window) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process;
}

UniqueHandle killOnCloseJob() {
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateJobObjectW");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

// SetForegroundWindow from the test process works under Wine on a bare Xvfb; a real click on
// the caption does not (docs/wine-vs-windows.md).
bool bringToFront(HWND window) {
    if (isInFront(window)) return true;
    askToFront(window);
    return waitFor([&] { return isInFront(window); });
}

DWORD activeProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                     nullptr))
        return 0;
    return accounting.ActiveProcesses;
}

}  // namespace

std::size_t countProcesses(std::wstring_view exeName) {
    std::size_t count = 0;
    forEachProcess([&](const PROCESSENTRY32W& entry) {
        if (exeName == entry.szExeFile) ++count;
        return true;
    });
    return count;
}

AppUnderTest::AppUnderTest(std::string_view scenario, std::wstring_view folderName,
                           std::chrono::milliseconds firstClickAfter, bool keepRememberedAddress, bool withAdb)
    : folder_(folderName) {
    // The tests share one Wine user: each starts as a first start unless it asks otherwise.
    if (!keepRememberedAddress) ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Ozarith");
    fs::copy_file(buildBinDir() / L"Ozarith.exe", folder() / L"Ozarith.exe");
    if (withAdb) fs::copy_file(FakeAdbScenario::adbExe(), folder() / L"adb.exe");
    if (!scenario.empty()) writeScenario(scenario);
    start();
    firstClick_ = std::chrono::steady_clock::now() + firstClickAfter;
}

AppUnderTest::~AppUnderTest() {
    ::TerminateJobObject(job_.get(), 1);
    ::WaitForSingleObject(process_.get(), 10000);
    // The folder can only go once nothing runs from it any more.
    waitFor([this] { return activeProcesses(job_.get()) == 0; }, 10s);
}

// Started suspended so that the job holds the program before it can start anything.
void AppUnderTest::start() {
    job_ = killOnCloseJob();
    const fs::path program = folder() / L"Ozarith.exe";
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          nullptr, &startup, &started))
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateProcessW");
    process_.reset(started.hProcess);
    const UniqueHandle thread(started.hThread);
    processId_ = started.dwProcessId;
    ::AssignProcessToJobObject(job_.get(), process_.get());
    ::ResumeThread(thread.get());

    const bool shown = waitFor([this] {
        main_ = findMainWindow();
        return (main_ && ::IsWindowVisible(main_)) || processExited(0ms);
    });
    if (!shown || !main_) throw std::runtime_error("Ozarith.exe showed no main window");
    guiThreadId_ = ::GetWindowThreadProcessId(main_, nullptr);
}

HWND AppUnderTest::findMainWindow() const {
    HWND found = nullptr;
    forEachTopLevelWindow([&](HWND window) {
        if (processOf(window) == processId_ && caption(window) == kMainCaption) found = window;
        return found == nullptr;
    });
    return found;
}

std::wstring AppUnderTest::text(HWND window) const {
    DWORD_PTR length = 0;
    if (!window || !::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                          kSendTimeoutMs, &length))
        return {};
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                               SMTO_BLOCK | SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
        return {};
    buffer.resize(copied);
    return buffer;
}

std::wstring AppUnderTest::logText() const { return text(kOutputBoxId); }

void AppUnderTest::setIp(std::wstring_view ip) const {
    const std::wstring value(ip);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(control(kIpBoxId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()),
                          SMTO_BLOCK | SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
}

bool AppUnderTest::click(int id, int count) const {
    std::this_thread::sleep_until(firstClick_);
    if (!isEnabled(id) || !bringToFront(main_)) return false;
    const POINT centre = centreOf(control(id));
    return ::WindowFromPoint(centre) == control(id) && clickAt(centre, count);
}

bool AppUnderTest::rightClick(int id) const {
    std::this_thread::sleep_until(firstClick_);
    return bringToFront(main_) && rightClickAt(centreOf(control(id)));
}

HWND AppUnderTest::findPopupMenu() const {
    HWND found = nullptr;
    forEachTopLevelWindow([&](HWND window) {
        if (processOf(window) == processId_ && ::IsWindowVisible(window) && className(window) == L"#32768") found = window;
        return found == nullptr;
    });
    return found;
}

bool AppUnderTest::connect(std::wstring_view ip) const {
    setIp(ip);
    return click(kConnectButtonId) &&
           waitFor([this] { return isEnabled(kRemoveBootAdsButtonId) && isEnabled(kRemoveSystemUpdateButtonId); });
}

std::optional<MessageBoxSeen> AppUnderTest::findMessageBox(std::wstring_view textPart) const {
    std::optional<MessageBoxSeen> found;
    forEachTopLevelWindow([&](HWND window) {
        if (processOf(window) != processId_ || !::IsWindowVisible(window) || className(window) != kDialogClass ||
            caption(window) != kBoxCaption)
            return true;
        MessageBoxSeen box{window, ::GetWindow(window, GW_OWNER), text(::GetDlgItem(window, kBoxTextId))};
        if (box.text.find(textPart) == std::wstring::npos) return true;
        found = std::move(box);
        return false;
    });
    return found;
}

std::optional<MessageBoxSeen> AppUnderTest::waitForMessageBox(std::wstring_view textPart,
                                                              std::chrono::milliseconds bound) const {
    std::optional<MessageBoxSeen> found;
    waitFor([&] { return (found = findMessageBox(textPart)).has_value(); }, bound);
    return found;
}

void AppUnderTest::pressOk(const MessageBoxSeen& box) const {
    if (bringToFront(box.handle)) oz::test::pressKey(VK_RETURN);
    waitFor([&] { return !::IsWindow(box.handle); });
}

bool AppUnderTest::pressKey(WORD virtualKey) const {
    return bringToFront(main_) && oz::test::pressKey(virtualKey);
}

int AppUnderTest::focusedId() const {
    const HWND focus = focusOf(guiThreadId_);
    if (focus == main_) return 0;
    return focus && ::GetParent(focus) == main_ ? ::GetDlgCtrlID(focus) : -1;
}

bool AppUnderTest::pressCloseBox() const { return ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; }

bool AppUnderTest::processExited(std::chrono::milliseconds bound) const {
    return ::WaitForSingleObject(process_.get(), static_cast<DWORD>(bound.count())) == WAIT_OBJECT_0;
}

std::string AppUnderTest::describe() const {
    std::ostringstream out;
    out << "buttons enabled: connect " << isEnabled(kConnectButtonId) << ", boot ads "
        << isEnabled(kRemoveBootAdsButtonId) << ", system update " << isEnabled(kRemoveSystemUpdateButtonId)
        << ", leftovers " << isEnabled(kCloseLeftoversButtonId) << "\nlog: [" << toUtf8(logText()) << "]\n";
    if (const auto box = findMessageBox()) out << "message box up: [" << toUtf8(box->text) << "]\n";
    out << "adb calls:";
    for (const std::string& call : adbCalls()) out << " [" << call << "]";
    return out.str();
}

}  // namespace oz::test
