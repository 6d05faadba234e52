#pragma once
// The built-in adb client: when no adb.exe is there, the program talks to the TV itself over
// TCP. One connection, one shell command at a time, every wait bounded and ended at once by the
// caller's stop event. The protocol is the core's AdbClient; this class carries its steps out
// over a socket and signs with this user's adb key (runtime/adb_key_store_win.h).
// One call at a time; between calls the object may pass to another thread.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/adb_client.h"
#include "core/direct_adb_outcome.h"
#include "runtime/adb_key_store_win.h"
#include "runtime/socket_win.h"

namespace oz {

struct DirectAdbLimits {
    DWORD connectMs = kConnectLimitMs;  // the TCP connection
    DWORD handshakeMs = 10'000;         // the TV's answers before it asks its owner
    DWORD ownerMs = 60'000;             // the owner allowing this computer on the TV
    DWORD commandMs = 30'000;           // one shell command, start to end
    DWORD sendMs = 5'000;               // one write
};

struct DirectConnectResult {
    DirectAdbOutcome outcome = DirectAdbOutcome::NotConnected;
    std::string address;       // as adb prints it: "connected to " + address
    std::string deviceBanner;  // with Connected
    std::string detail;        // English, for faults the outcome alone does not explain
};

struct DirectShellResult {
    DirectAdbOutcome outcome = DirectAdbOutcome::NotConnected;
    std::string output;  // with Finished: the TV's answer as it sent it ("Success\n")
    bool truncated = false;
    std::string detail;
};

class DirectAdb {
public:
    using WaitingForOwner = std::function<void()>;

    explicit DirectAdb(DirectAdbLimits limits = {}) : limits_(limits) {}

    // address: what the user typed ("IP", "IP:port", "[v6]:port", a name). Any standing
    // connection is closed first. onWaitingForOwner runs once, on this thread, when the TV
    // shows its owner the prompt for this computer's key. stop may be null.
    DirectConnectResult connect(std::string_view address, HANDLE stop, const WaitingForOwner& onWaitingForOwner = {});
    // "shell:<command>" on the standing connection. A connection that fails meanwhile is closed
    // (and not made again).
    DirectShellResult shell(std::string_view command, HANDLE stop);
    void close();
    bool connected() const;

private:
    struct Call;
    std::optional<DirectAdbOutcome> prepare(std::string& detail);
    DirectAdbOutcome run(AdbStep first, HANDLE stop, Call& call);
    std::optional<DirectAdbOutcome> apply(AdbStep step, HANDLE stop, Call& call);
    std::optional<DirectAdbOutcome> handle(AdbEvent& event, HANDLE stop, Call& call);

    DirectAdbLimits limits_;
    WinsockUse winsock_;
    std::optional<AdbIdentity> identity_;
    TcpConnection socket_;
    std::optional<AdbClient> client_;
};

}  // namespace oz
