#include "console/console_host_win.h"

#include <utility>

#include "runtime/system_info_win.h"
#include "runtime/waits_win.h"

namespace oz {

namespace {

constexpr std::uint32_t timedReadLimitMs = 1000;

// By its full path: a cmd.exe in the program's folder (often Downloads) must not be the one run.
std::wstring interpreterCommandLine() {
    const std::wstring name = osType() > 2 ? L"cmd.exe" : L"command.com";
    return L"\"" + systemDirectory() + L"\\" + name + L"\" /d";
}

}  // namespace

ConsoleHost::ConsoleHost(TickSource ticks)
    : rule_(consoleLeadBytes()), ticks_(ticks ? std::move(ticks) : TickSource(uptime)) {}

ConsoleHost::ConsoleHost(std::shared_ptr<ConsoleSession> session, bool started, std::string prompt,
                         std::string lastCommand, TickSource ticks)
    : rule_(consoleLeadBytes()),
      ticks_(std::move(ticks)),
      session_(std::move(session)),
      started_(started),
      prompt_(std::move(prompt)),
      lastCommand_(std::move(lastCommand)) {}

void ConsoleHost::destroy() {
    std::shared_ptr<ConsoleSession> released;
    std::lock_guard lock(mutex_);
    released = std::exchange(session_, nullptr);
    started_ = false;
    prompt_.clear();
    lastCommand_.clear();
}

ConsoleHost ConsoleHost::clone() const {
    std::lock_guard lock(mutex_);
    return ConsoleHost(session_, started_, prompt_, lastCommand_, ticks_);
}

DWORD ConsoleHost::start() {
    std::shared_ptr<ConsoleSession> fresh;
    const DWORD error = ConsoleSession::launch(interpreterCommandLine(), fresh);
    std::shared_ptr<ConsoleSession> replaced;
    {
        std::lock_guard lock(mutex_);
        replaced = std::exchange(session_, std::move(fresh));
        started_ = true;
        prompt_.clear();  // a new interpreter announces its own
    }
    // A read still waiting on the old interpreter ends; its handles close with the last holder.
    if (replaced) replaced->abandon();
    return error;
}

DWORD ConsoleHost::createPipe(PipeEnds& ends, OwnEnd own) { return ConsoleSession::createPipe(ends, own); }

bool ConsoleHost::stop() {
    std::shared_ptr<ConsoleSession> stopped;
    {
        std::lock_guard lock(mutex_);
        stopped = std::exchange(session_, nullptr);
    }
    return stopped && stopped->stop();
}

DWORD ConsoleHost::sendCommand(std::string_view command) {
    std::string line(command);
    line += kCrLf;
    {
        std::lock_guard lock(mutex_);
        lastCommand_ = line;
    }
    const auto current = session();
    if (!current) return ERROR_INVALID_HANDLE;
    if (prompt().empty()) probePrompt(*current);
    return current->write(line);
}

std::string ConsoleHost::readOutputTimed() { return collect(timedReadLimitMs); }

std::string ConsoleHost::readOutput() { return collect(std::nullopt); }

bool ConsoleHost::awaitPrompt(std::uint32_t limitMs) {
    if (prompt().empty()) collect(limitMs);
    return !prompt().empty();
}

bool ConsoleHost::lastAnswerComplete() const {
    std::lock_guard lock(mutex_);
    return lastAnswerComplete_;
}

bool ConsoleHost::isRunning() const {
    std::lock_guard lock(mutex_);
    return session_ ? session_->running() : !started_;
}

HANDLE ConsoleHost::stdOutputHandle() { return ::GetStdHandle(STD_OUTPUT_HANDLE); }

HANDLE ConsoleHost::stdInputHandle() { return ::GetStdHandle(STD_INPUT_HANDLE); }

HANDLE ConsoleHost::stdErrorHandle() { return ::GetStdHandle(STD_ERROR_HANDLE); }

bool ConsoleHost::seekOutput(int origin, LONG distance) {
    const auto current = session();
    const DWORD method = origin == 3 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
    return ::SetFilePointer(current ? current->outputReadEnd() : nullptr, distance, nullptr, method) !=
           INVALID_SET_FILE_POINTER;
}

DWORD ConsoleHost::outputPosition() const {
    const auto current = session();
    return ::SetFilePointer(current ? current->outputReadEnd() : nullptr, 0, nullptr, FILE_CURRENT);
}

DWORD ConsoleHost::outputSize() const {
    const auto current = session();
    return current ? current->pendingBytes() : 0;
}

std::string ConsoleHost::directory(std::string_view newDirectory, bool change) {
    restartIfEnded();
    if (!change) {
        if (const auto current = session(); current && prompt().empty()) probePrompt(*current);
        return prompt();
    }
    return moveTo("cd /d " + std::string(newDirectory));
}

std::string ConsoleHost::moveTo(std::string_view command) {
    const std::string old = prompt();
    sendCommand(command);
    std::string answer = readOutputTimed();
    std::string now = prompt();
    return now == old ? answer : now;
}

std::string ConsoleHost::prompt() const {
    std::lock_guard lock(mutex_);
    return prompt_;
}

std::string ConsoleHost::lastCommand() const {
    std::lock_guard lock(mutex_);
    return lastCommand_;
}

void ConsoleHost::restartIfEnded() {
    if (isRunning()) return;
    start();
    awaitPrompt(kFirstPromptLimitMs);
}

std::shared_ptr<ConsoleSession> ConsoleHost::session() const {
    std::lock_guard lock(mutex_);
    return session_;
}

void ConsoleHost::setPrompt(std::string prompt) {
    std::lock_guard lock(mutex_);
    prompt_ = std::move(prompt);
}

// The waiting output is dropped; only its last line survives, as the prompt.
void ConsoleHost::probePrompt(const ConsoleSession& session) {
    std::string waiting;
    session.readWaiting(waiting, session.pendingBytes());
    std::string candidate = textAfterLast(waiting, kCrLf, rule_);
    if (!candidate.empty()) setPrompt(std::move(candidate));
}

std::string ConsoleHost::collect(std::optional<std::uint32_t> limitMs) {
    std::string collected;
    bool complete = false;
    if (const auto current = session()) {
        const std::uint32_t start = ticks_();
        for (int passes = 0;; ++passes) {
            DWORD timeout = INFINITE;
            if (limitMs) {
                // Unsigned 32-bit subtraction: right across the wrap of the millisecond counter.
                const std::uint32_t elapsed = ticks_() - start;
                if (elapsed > *limitMs && passes >= 2) break;
                timeout = elapsed > *limitMs ? 0 : *limitMs - elapsed + 1;
            }
            const std::size_t before = collected.size();
            const ReadOutcome outcome = current->readNext(collected, timeout);
            const bool over = outcome == ReadOutcome::ended || outcome == ReadOutcome::stopped;
            if (over) current->drain(collected);
            if (collected.size() > before) {
                if (auto seen = recognisePrompt(collected, rule_)) {
                    setPrompt(std::move(*seen));
                    complete = true;
                    break;
                }
            }
            if (over) break;
            pumpPendingInput();
        }
    }
    std::lock_guard lock(mutex_);
    lastAnswerComplete_ = complete;
    return cleanOutput(collected, lastCommand_, prompt_, rule_);
}

}  // namespace oz
