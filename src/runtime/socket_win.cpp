#include "runtime/socket_win.h"

#include <algorithm>
#include <utility>

#include "runtime/deadline_win.h"
#include "runtime/text_win.h"

namespace oz {
namespace {

NetStatus statusOfConnectError(int error) {
    switch (error) {
        case WSAECONNREFUSED: return NetStatus::Refused;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAEADDRNOTAVAIL: return NetStatus::Unreachable;
        case WSAETIMEDOUT: return NetStatus::TimedOut;
        default: return NetStatus::Failed;
    }
}

NetStatus statusOfTransferError(int error) {
    switch (error) {
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENETRESET:
        case WSAESHUTDOWN:
        case WSAENOTCONN: return NetStatus::Closed;
        default: return NetStatus::Failed;
    }
}

NetStatus statusOfLookupError(int error) {
    const bool unknown = error == WSAHOST_NOT_FOUND || error == WSANO_DATA || error == WSATRY_AGAIN;
    return unknown ? NetStatus::NameNotFound : NetStatus::Failed;
}

struct EventWait {
    NetStatus status = NetStatus::Failed;
    WSANETWORKEVENTS happened{};
};

// Until one of wanted (or the peer's end) has happened. The stop event comes first in the
// list, so it wins over a peer that keeps the socket busy.
EventWait waitForEvent(SOCKET socket, WSAEVENT event, long wanted, HANDLE stop, ULONGLONG deadline) {
    const WSAEVENT both[] = {stop, event};
    const DWORD first = stop == nullptr ? 1 : 0;
    for (;;) {
        const DWORD woke = ::WSAWaitForMultipleEvents(2 - first, both + first, FALSE, remainingMs(deadline), FALSE);
        if (woke == WSA_WAIT_TIMEOUT) return {NetStatus::TimedOut, {}};
        if (woke == WSA_WAIT_EVENT_0 && first == 0) return {NetStatus::Stopped, {}};
        if (woke != WSA_WAIT_EVENT_0 + 1 - first) return {NetStatus::Failed, {}};
        EventWait result{NetStatus::Ok, {}};
        if (::WSAEnumNetworkEvents(socket, event, &result.happened) != 0) return {NetStatus::Failed, {}};
        if ((result.happened.lNetworkEvents & (wanted | FD_CLOSE)) != 0) return result;
    }
}

NetStatus finishConnect(SOCKET socket, WSAEVENT event, HANDLE stop, ULONGLONG deadline) {
    const EventWait waited = waitForEvent(socket, event, FD_CONNECT, stop, deadline);
    if (waited.status != NetStatus::Ok) return waited.status;
    if ((waited.happened.lNetworkEvents & FD_CONNECT) == 0) return NetStatus::Failed;
    const int error = waited.happened.iErrorCode[FD_CONNECT_BIT];
    return error == 0 ? NetStatus::Ok : statusOfConnectError(error);
}

}  // namespace

WinsockUse startWinsock() {
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return {};
    return WinsockUse(true);
}

NetStatus TcpConnection::open(std::string_view host, std::string_view port, HANDLE stop, DWORD limitMs) {
    close();
    if (stop != nullptr && ::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return NetStatus::Stopped;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    UniqueAddrInfo found;
    const int error = ::GetAddrInfoW(fromUtf8(host).c_str(), fromUtf8(port).c_str(), &hints, found.put());
    if (error != 0) return statusOfLookupError(error);
    NetStatus last = NetStatus::NameNotFound;
    for (const ADDRINFOW* address = found.get(); address != nullptr; address = address->ai_next) {
        last = openOne(*address, stop, limitMs);
        if (last == NetStatus::Ok || last == NetStatus::Stopped) break;
    }
    return last;
}

NetStatus TcpConnection::openOne(const ADDRINFOW& address, HANDLE stop, DWORD limitMs) {
    const ULONGLONG deadline = deadlineAfter(limitMs);
    UniqueWsaEvent event(::WSACreateEvent());
    // Not inherited: cmd.exe and adb.exe started later must not hold the TV's connection open.
    UniqueSocket socket(::WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
    if (!socket || !event) return NetStatus::Failed;
    // adb sends a message as a header and a payload; without this each waits for the other
    // side's delayed acknowledgement (adb turns it off on both ends too).
    const BOOL noDelay = TRUE;
    ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    const long interest = FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;
    if (::WSAEventSelect(socket.get(), event.get(), interest) != 0) return NetStatus::Failed;
    const bool connected = ::connect(socket.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0;
    const int error = connected ? 0 : ::WSAGetLastError();
    if (!connected && error != WSAEWOULDBLOCK) return statusOfConnectError(error);
    const NetStatus status = connected ? NetStatus::Ok : finishConnect(socket.get(), event.get(), stop, deadline);
    if (status != NetStatus::Ok) return status;
    socket_ = std::move(socket);
    event_ = std::move(event);
    return NetStatus::Ok;
}

NetStatus TcpConnection::sendAll(std::string_view bytes, HANDLE stop, DWORD limitMs) {
    if (!socket_) return NetStatus::Closed;
    const ULONGLONG deadline = deadlineAfter(limitMs);
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), kReceiveChunk));
        const int sent = ::send(socket_.get(), bytes.data(), chunk, 0);
        const int error = sent == SOCKET_ERROR ? ::WSAGetLastError() : 0;
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (error != WSAEWOULDBLOCK) return statusOfTransferError(error);
        const NetStatus waited = waitForEvent(socket_.get(), event_.get(), FD_WRITE, stop, deadline).status;
        if (waited != NetStatus::Ok) return waited;
    }
    return NetStatus::Ok;
}

NetStatus TcpConnection::receive(std::string& out, HANDLE stop, DWORD limitMs) {
    out.clear();
    if (!socket_) return NetStatus::Closed;
    const ULONGLONG deadline = deadlineAfter(limitMs);
    std::string buffer(kReceiveChunk, '\0');
    for (;;) {
        const int got = ::recv(socket_.get(), buffer.data(), static_cast<int>(buffer.size()), 0);
        const int error = got == SOCKET_ERROR ? ::WSAGetLastError() : 0;
        if (got > 0) {
            out.assign(buffer, 0, static_cast<std::size_t>(got));
            return NetStatus::Ok;
        }
        if (got == 0) return NetStatus::Closed;
        if (error != WSAEWOULDBLOCK) return statusOfTransferError(error);
        const NetStatus waited = waitForEvent(socket_.get(), event_.get(), FD_READ, stop, deadline).status;
        if (waited != NetStatus::Ok) return waited;
    }
}

void TcpConnection::close() {
    socket_.reset();
    event_.reset();
}

}  // namespace oz
