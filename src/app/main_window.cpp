#include "app/main_window.h"

#include "app/program.h"
#include "console/console_host_win.h"
#include "resources/resource_ids.h"
#include "runtime/settings_win.h"
#include "runtime/system_info_win.h"
#include "runtime/text_win.h"
#include "ui/main_window_proc_win.h"

namespace oz {
namespace {

constexpr char kConnectName[] = "按钮_连接";
constexpr char kRemoveBootAdsName[] = "按钮_删开机广告";
constexpr char kCloseLeftoversName[] = "按钮_关闭遗留程序";
constexpr char kRemoveSystemUpdateName[] = "按钮_删系统更新";
constexpr char kIpBoxName[] = "编辑框_IP";
constexpr char kOutputBoxName[] = "编辑框_输出";

ControlLayout button(const char* name, const char* caption, int left, int top, bool disabled, int id) {
    return {.name = name, .kind = ControlKind::PushButton, .text = caption, .left = left, .top = top, .width = 96,
            .height = 32, .style = WS_TABSTOP, .disabled = disabled, .id = id};
}

}  // namespace

struct MainWindow::WorkerStart {
    std::shared_ptr<MainWindow> window;  // keeps the window object alive for the worker
    ActionWorker::Request request;
};

WindowLayout mainWindowLayout() {
    WindowLayout layout;
    layout.caption = "Ozarith";
    layout.width = 278;
    layout.height = 329;
    layout.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    layout.iconId = IDI_APP_ICON;
    layout.controls = {
        {.name = "标签1", .kind = ControlKind::Label, .text = "小米电视IP地址", .left = 8, .top = 16, .width = 88,
         .height = 24, .id = kLabelId},
        {.name = kIpBoxName, .kind = ControlKind::EditBox, .left = 104, .top = 16, .width = 136, .height = 20,
         .style = WS_TABSTOP | ES_AUTOHSCROLL, .exStyle = WS_EX_CLIENTEDGE, .id = kIpBoxId},
        button(kConnectName, "连接", 24, 48, false, kConnectButtonId),
        button(kRemoveBootAdsName, "删除开机广告", 152, 48, true, kRemoveBootAdsButtonId),
        button(kCloseLeftoversName, "关闭遗留程序", 24, 88, false, kCloseLeftoversButtonId),
        button(kRemoveSystemUpdateName, "删除系统更新", 152, 88, true, kRemoveSystemUpdateButtonId),
        {.name = kOutputBoxName, .kind = ControlKind::EditBox, .left = 0, .top = 128, .width = 272, .height = 176,
         .style = WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, .exStyle = WS_EX_STATICEDGE,
         .id = kOutputBoxId},
    };
    return layout;
}

MainWindow::MainWindow(std::shared_ptr<ConsoleHost> console)
    : window_(mainWindowLayout()), worker_(std::move(console), *this, runDirectory()) {
    window_.onCreated = [this] { onMainWindowCreated(); };
    window_.onCanClose = [this] { onMainWindowCanClose(); };
    window_.control(kConnectName).onClicked = [this] { onActionButtonClicked(); };
    window_.control(kOutputBoxName).onGotFocus = [this] { onOutputBoxGotFocus(); };
}

void MainWindow::showModal() {
    window_.showModal(nullptr);
}

void MainWindow::onMainWindowCreated() {
    Control& connect = window_.control(kConnectName);
    window_.control(kRemoveSystemUpdateName).redirectTo(connect);
    window_.control(kRemoveBootAdsName).redirectTo(connect);
    window_.control(kCloseLeftoversName).redirectTo(connect);
    connect.setTag(std::to_string(ACTION_CONNECT));
    window_.control(kRemoveSystemUpdateName).setTag(std::to_string(ACTION_REMOVE_SYSTEM_UPDATE));
    window_.control(kRemoveBootAdsName).setTag(std::to_string(ACTION_REMOVE_BOOT_ADS));
    window_.control(kCloseLeftoversName).setTag(std::to_string(ACTION_CLOSE_LEFTOVERS));
    startWorker(worker_.interpreterStart());
    subclassMainWindow(window_, window_.control(kIpBoxName), &iconImage);
    if (const auto address = readLastAddress()) window_.control(kIpBoxName).setContent(fromUtf8(*address));
    window_.addTooltip(window_.control(kRemoveBootAdsName), kBootAdsTooltip);
    window_.addTooltip(window_.control(kRemoveSystemUpdateName), kSystemUpdateTooltip);
    window_.control(kRemoveBootAdsName).onContextMenu = [this](POINT at) { onRemovalContextMenu(ACTION_REMOVE_BOOT_ADS, at); };
    window_.control(kRemoveSystemUpdateName).onContextMenu = [this](POINT at) {
        onRemovalContextMenu(ACTION_REMOVE_SYSTEM_UPDATE, at);
    };
}

// One entry that brings back what the button removes, usable when the button is.
void MainWindow::onRemovalContextMenu(ActionCode removal, POINT at) {
    const bool bootAds = removal == ACTION_REMOVE_BOOT_ADS;
    const ActionCode restore = bootAds ? ACTION_RESTORE_BOOT_ADS : ACTION_RESTORE_SYSTEM_UPDATE;
    const std::string entry(bootAds ? kRestoreBootAdsMenuEntry : kRestoreSystemUpdateMenuEntry);
    const bool usable = ::IsWindowEnabled(button(removal).handle()) != FALSE;
    if (popupMenu(window_.handle(), at, {{restore, entry, usable}}) != restore) return;
    button(removal).setDisabled(true);  // at once, as a click on it would
    startWorker(worker_.request(restore, toUtf8(window_.control(kIpBoxName).content())));
}

void MainWindow::onMainWindowCanClose() {
    worker_.shutDown();
}

void MainWindow::onActionButtonClicked() {
    const Control* clicked = eventComponent();
    if (!clicked) return;
    const int code = actionCodeFromTag(clicked->tag());
    // Greyed at the click, not at the worker's turn: a second click while another action holds
    // the interpreter would queue the same action again. The worker enables it when done.
    const bool greys = code == ACTION_CONNECT || code == ACTION_REMOVE_BOOT_ADS || code == ACTION_REMOVE_SYSTEM_UPDATE;
    if (greys) button(static_cast<ActionCode>(code)).setDisabled(true);
    if (!startWorker(worker_.request(code, toUtf8(window_.control(kIpBoxName).content()))) && greys)
        button(static_cast<ActionCode>(code)).setDisabled(false);
}

bool MainWindow::startWorker(ActionWorker::Request request) {
    auto start = std::make_unique<WorkerStart>(WorkerStart{shared_from_this(), std::move(request)});
    UniqueHandle thread(::CreateThread(nullptr, 0, actionThreadProc, start.get(), 0, nullptr));
    if (!thread) {
        worker_.abandon(start->request);
        return false;
    }
    (void)start.release();  // the worker owns it now
    return true;
}

DWORD WINAPI MainWindow::actionThreadProc(LPVOID parameter) {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    start->window->worker_.runAction(start->request);
    return 0;
}

void MainWindow::onOutputBoxGotFocus() {
    ::HideCaret(window_.control(kOutputBoxName).handle());
}

Control& MainWindow::button(ActionCode code) {
    switch (code) {
    case ACTION_CONNECT: return window_.control(kConnectName);
    case ACTION_REMOVE_BOOT_ADS:
    case ACTION_RESTORE_BOOT_ADS: return window_.control(kRemoveBootAdsName);
    case ACTION_REMOVE_SYSTEM_UPDATE:
    case ACTION_RESTORE_SYSTEM_UPDATE: return window_.control(kRemoveSystemUpdateName);
    case ACTION_CLOSE_LEFTOVERS: break;
    }
    return window_.control(kCloseLeftoversName);
}

void MainWindow::setButtonDisabled(ActionCode code, bool disabled) {
    window_.post([this, code, disabled] { button(code).setDisabled(disabled); });
}

void MainWindow::appendLog(std::string_view textUtf8) {
    window_.post([this, text = std::string(textUtf8)] { window_.control(kOutputBoxName).appendText(fromUtf8(text)); });
}

void MainWindow::showMessage(std::string_view textUtf8, UINT flags, BoxOwner owner) {
    messageBox(textUtf8, flags, owner == BoxOwner::window ? window_.handle() : nullptr);
}

void MainWindow::rememberAddress(std::string_view addressUtf8) { writeLastAddress(addressUtf8); }

}  // namespace oz
