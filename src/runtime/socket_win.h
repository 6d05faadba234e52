#pragma once
// A TCP connection through Winsock whose every wait ends: connecting, reading and writing stop
// when the stop event is set, when the peer ends, or at a limit. The socket is non-blocking and
// bound to one WSAEVENT (WSAEventSelect), so a wait is WSAWaitForMultipleEvents on it and on the
// stop event together.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "core/owned.h"

namespace oz {

// WSAStartup's use count, given back with WSACleanup.
struct WinsockUseTraits {
    using Value = bool;
    static Value empty() noexcept { return false; }
    static void close(Value) noexcept { ::WSACleanup(); }
};
using WinsockUse = Owned<WinsockUseTraits>;
// Empty when Winsock 2.2 is not there.
WinsockUse startWinsock();

struct SocketTraits {
    using Value = SOCKET;
    static Value empty() noexcept { return INVALID_SOCKET; }
    static void close(Value s) noexcept { ::closesocket(s); }
};
using UniqueSocket = Owned<SocketTraits>;
using UniqueWsaEvent = Owned<ClosedBy<WSAEVENT, &::WSACloseEvent>>;
using UniqueAddrInfo = Owned<ClosedBy<ADDRINFOW*, &::FreeAddrInfoW>>;

enum class NetStatus { Ok, Stopped, TimedOut, Refused, Unreachable, NameNotFound, Closed, Failed };

inline constexpr DWORD kConnectLimitMs = 5000;
// One read takes at most this much; the protocol decoder bounds what it keeps.
inline constexpr std::size_t kReceiveChunk = 64 * 1024;

class TcpConnection {
public:
    TcpConnection() = default;

    // host: an IPv4 or IPv6 address (no brackets) or a name; port: decimal. Tries each address
    // the name has, each within limitMs. stop may be null.
    NetStatus open(std::string_view host, std::string_view port, HANDLE stop, DWORD limitMs = kConnectLimitMs);

    // Writes all of bytes.
    NetStatus sendAll(std::string_view bytes, HANDLE stop, DWORD limitMs);
    // Replaces out with the next bytes (1 to kReceiveChunk); Closed when the peer has ended.
    NetStatus receive(std::string& out, HANDLE stop, DWORD limitMs);

    void close();
    bool isOpen() const { return static_cast<bool>(socket_); }

private:
    NetStatus openOne(const ADDRINFOW& address, HANDLE stop, DWORD limitMs);

    // In this order, so that the socket is closed before the event it signals.
    UniqueWsaEvent event_;
    UniqueSocket socket_;
};

}  // namespace oz
