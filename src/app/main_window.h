#pragma once
// The program's working window: the IP box, four action buttons and the log box.
#include <memory>

#include "actions/action_view.h"
#include "actions/action_worker.h"
#include "runtime/gui_win.h"

namespace oz {

class ConsoleHost;

// Child-window ids, stable so that tests and tools can find the controls.
enum MainWindowControlId : int {
    kLabelId = 101,
    kIpBoxId = 102,
    kConnectButtonId = 103,
    kRemoveBootAdsButtonId = 104,
    kCloseLeftoversButtonId = 105,
    kRemoveSystemUpdateButtonId = 106,
    kOutputBoxId = 107,
};

WindowLayout mainWindowLayout();

class MainWindow final : public ActionView, public std::enable_shared_from_this<MainWindow> {
public:
    explicit MainWindow(std::shared_ptr<ConsoleHost> console);

    // Returns once the window has been closed.
    void showModal();
    Window& window() { return window_; }

    void setButtonDisabled(ActionCode button, bool disabled) override;
    void appendLog(std::string_view textUtf8) override;
    void showMessage(std::string_view textUtf8, UINT flags, BoxOwner owner) override;
    void rememberAddress(std::string_view addressUtf8) override;

private:
    void onMainWindowCreated();
    void onMainWindowCanClose();
    void onActionButtonClicked();
    void onOutputBoxGotFocus();
    void onRemovalContextMenu(ActionCode removal, POINT at);
    Control& button(ActionCode code);
    bool startWorker(ActionWorker::Request request);
    struct WorkerStart;
    static DWORD WINAPI actionThreadProc(LPVOID parameter);

    Window window_;
    ActionWorker worker_;
};

}  // namespace oz
