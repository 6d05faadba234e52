#pragma once
// The work behind the four action buttons, run on one worker thread per click.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "actions/action_view.h"
#include "console/direct_adb_win.h"
#include "core/action_rules.h"
#include "core/device_rules.h"
#include "core/turn_queue.h"

namespace oz {

class ConsoleHost;

// How long Connect waits for the TV's owner to allow this computer, asking every askEveryMs.
struct OwnerWait {
    unsigned limitMs = 60'000;
    unsigned askEveryMs = 1'000;
};

class ActionWorker {
public:
    struct Request {
        int code = 0;
        std::string ip;  // the IP box as it was at the click, UTF-8
        TurnQueue::Ticket ticket = 0;
        bool startsInterpreter = false;
        unsigned cleanupsBefore = 0;  // cleanups clicked before this click
    };

    ActionWorker(std::shared_ptr<ConsoleHost> console, ActionView& view, std::wstring runDirectory,
                 OwnerWait ownerWait = {});

    // On the GUI thread, at the click: actions that talk to the interpreter queue up in click order.
    Request request(int code, std::string ipUtf8);
    // At the window's creation: the interpreter starts on a worker, first in the queue, so the
    // window shows without waiting for the process to be created.
    Request interpreterStart();
    // On the worker thread.
    void runAction(const Request& request);
    // For a request whose worker thread could not be started: the ones behind it go on.
    void abandon(const Request& request);
    // The window is closing: the interpreter is stopped and no worker starts another exchange,
    // writes to the window or shows a message from now on.
    void shutDown();

private:
    // How an exchange went: answered up to the prompt, cut short (a cleanup, a close or a killed
    // interpreter), or nothing sent at all.
    enum class Outcome { answered, interrupted, notSent };
    struct Reply {
        Outcome outcome = Outcome::notSent;
        std::string text;  // as the log shows it, UTF-8
    };

    // What the TV said when asked whether it lets us in.
    enum class Admission { in, inAfterOwner, refused, gaveUp };

    static bool usesInterpreter(int code);
    bool cancelled(const Request& request) const { return request.cleanupsBefore != cleanups_; }
    bool over(const Request& request) const { return closing_ || cancelled(request); }
    void startInterpreter();
    // connect_action.cpp
    void connect(const Request& request);
    void connectTo(const Request& request, const std::string& address, const std::string& addressBytes);
    Admission admitted(const Request& request, const std::string& serial, const std::string& connectAnswer);
    Reply awaitOwner(const Request& request, const std::string& serial);
    void refused(const std::string& logText);
    void connected(const std::string& serial, const std::string& address);
    // package_actions.cpp
    void removePackages(const Request& request, PackageGroup group);
    void restorePackages(const Request& request, PackageGroup group);
    bool restoreOne(const Request& request, PackageGroup group, std::string_view package);
    void finishPackages(const Request& request, ActionCode button);
    // action_worker.cpp
    void closeLeftovers();
    bool moveToRunDirectory();
    Reply exchange(const Request& request, std::string_view command);
    // A command for the TV: through adb.exe (interpreterCommand) or the built-in client
    // (shellCommand), whichever the last Connect used.
    Reply onTv(const Request& request, std::string_view interpreterCommand, std::string_view shellCommand);
    // direct_actions.cpp: the built-in client, when there is no adb.exe.
    void connectDirect(const Request& request, const std::string& address);
    Reply directShell(const Request& request, std::string_view command);
    void withStop(const Request& request, const std::function<void(HANDLE stop)>& call);
    // Waits about ms, or less when a cleanup or the close comes; false then.
    bool pause(const Request& request, unsigned ms);
    void endWaits();
    void log(std::string_view line);
    void setDisabled(ActionCode button, bool disabled);
    void message(std::string_view textUtf8, unsigned flags, ActionView::BoxOwner owner);

    std::shared_ptr<ConsoleHost> console_;
    ActionView& view_;
    const LeadBytes leadBytes_;      // the console's code page's
    std::string runDirectoryBytes_;  // the folder as the interpreter's prompt shows it
    std::string moveCommand_;        // what takes the interpreter there
    std::string movedPrompt_;        // its prompt once there (a share's mapped drive, say)
    std::string serial_;             // the TV that was connected, as adb names it
    std::wstring runDirectory_;
    DirectAdb direct_;               // used under the turns, like the interpreter
    bool usingDirect_ = false;       // the last Connect went through the built-in client
    bool toldDirect_ = false;
    std::mutex stopMutex_;
    HANDLE currentStop_ = nullptr;  // the built-in client's call in progress ends when it is set
    const OwnerWait ownerWait_;
    TurnQueue turns_;
    std::atomic<unsigned> cleanups_{0};  // counted at the click
    std::mutex viewGate_;  // closing_ changes only under it, so no write starts after shutDown
    std::atomic<bool> closing_{false};
    std::mutex wakeMutex_;
    std::condition_variable wake_;  // a cleanup or the close ends a pause
};

}  // namespace oz
