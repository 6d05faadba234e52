#pragma once
// The work behind the four action buttons, run on one worker thread per click.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "actions/action_view.h"
#include "core/action_rules.h"
#include "core/turn_queue.h"

namespace oz {

class ConsoleHost;

class ActionWorker {
public:
    struct Request {
        int code = 0;
        std::wstring ip;  // the IP box as it was at the click
        TurnQueue::Ticket ticket = 0;
        bool startsInterpreter = false;
        unsigned cleanupsBefore = 0;  // cleanups clicked before this click
    };

    ActionWorker(std::shared_ptr<ConsoleHost> console, ActionView& view, std::wstring runDirectory);

    // On the GUI thread, at the click: actions that talk to the interpreter queue up in click order.
    Request request(int code, std::wstring ip);
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

    static bool usesInterpreter(int code);
    bool cancelled(const Request& request) const { return request.cleanupsBefore != cleanups_; }
    void startInterpreter();
    void connect(const Request& request);
    void connected(const Reply& reply);
    void removeBootAds(const Request& request);
    void removeSystemUpdate(const Request& request);
    void closeLeftovers();
    bool moveToRunDirectory();
    Reply exchange(const Request& request, std::string_view command);
    void finishRemoval(const Request& request, ActionCode button);
    void log(const std::wstring& line);
    void setDisabled(ActionCode button, bool disabled);
    void message(std::string_view textUtf8, unsigned flags, bool ownedByWindow);

    std::shared_ptr<ConsoleHost> console_;
    ActionView& view_;
    std::string runDirectoryBytes_;  // the folder as the interpreter's prompt shows it
    std::string moveCommand_;        // what takes the interpreter there
    std::string movedPrompt_;        // its prompt once there (a share's mapped drive, say)
    TurnQueue turns_;
    std::atomic<unsigned> cleanups_{0};  // counted at the click
    std::mutex viewGate_;  // closing_ changes only under it, so no write starts after shutDown
    std::atomic<bool> closing_{false};
};

}  // namespace oz
