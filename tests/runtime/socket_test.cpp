// The Winsock connection against a listener in this process, on loopback: every wait ends at
// the peer's data or end, at the limit, or at the stop event.
#include "runtime/socket_win.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/handles_win.h"

namespace oz {
namespace {

// The loopback address of family, port 0 (the system picks one).
sockaddr_storage loopbackOf(int family) {
    sockaddr_storage address{};
    if (family == AF_INET6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_addr = in6addr_loopback;
    } else {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    }
    return address;
}

class Listener {
public:
    explicit Listener(int family = AF_INET) : socket_(::socket(family, SOCK_STREAM, IPPROTO_TCP)) {
        sockaddr_storage address = loopbackOf(family);
        auto* any = reinterpret_cast<sockaddr*>(&address);
        int size = sizeof address;
        const int used = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (::bind(socket_.get(), any, used) == 0 && ::listen(socket_.get(), 4) == 0 &&
            ::getsockname(socket_.get(), any, &size) == 0) {
            const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
            const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
            port_ = std::to_string(::ntohs(family == AF_INET6 ? v6.sin6_port : v4.sin_port));
        }
    }
    const std::string& port() const { return port_; }
    // The connection a client has made already (it waits in the backlog).
    UniqueSocket accept() const { return UniqueSocket(::accept(socket_.get(), nullptr, nullptr)); }

private:
    WinsockUse winsock_ = startWinsock();
    UniqueSocket socket_;
    std::string port_;
};

class TcpConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(listener_.port().empty());
        ASSERT_EQ(connection_.open("127.0.0.1", listener_.port(), stop_.get()), NetStatus::Ok);
        peer_ = listener_.accept();
        ASSERT_TRUE(peer_);
    }

    WinsockUse winsock_ = startWinsock();
    Listener listener_;
    UniqueHandle stop_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    TcpConnection connection_;
    UniqueSocket peer_;
};

TEST_F(TcpConnectionTest, ReceivesWhatThePeerSentThenItsEnd) {
    ASSERT_EQ(::send(peer_.get(), "hello", 5, 0), 5);
    peer_.reset();
    std::string all;
    std::string chunk;
    NetStatus status = NetStatus::Ok;
    for (int reads = 0; reads < 10 && status == NetStatus::Ok; ++reads) {
        status = connection_.receive(chunk, stop_.get(), 10'000);
        all += chunk;
    }
    EXPECT_EQ(status, NetStatus::Closed);
    EXPECT_EQ(all, "hello");
    EXPECT_EQ(connection_.receive(chunk, stop_.get(), 10'000), NetStatus::Closed);
}

TEST_F(TcpConnectionTest, SilentPeerIsLeftAtTheLimitOrAtTheStopEvent) {
    std::string chunk = "old";
    EXPECT_EQ(connection_.receive(chunk, stop_.get(), 200), NetStatus::TimedOut);
    EXPECT_TRUE(chunk.empty());
    ::SetEvent(stop_.get());
    EXPECT_EQ(connection_.receive(chunk, stop_.get(), 20'000), NetStatus::Stopped);
}

TEST_F(TcpConnectionTest, PeerThatDoesNotReadIsLeftAtTheLimitOrAtTheStopEvent) {
    // Far more than the two socket buffers hold.
    const std::string flood(64 * 1024 * 1024, 'x');
    EXPECT_EQ(connection_.sendAll(flood, stop_.get(), 500), NetStatus::TimedOut);
    ::SetEvent(stop_.get());
    EXPECT_EQ(connection_.sendAll(flood, stop_.get(), 20'000), NetStatus::Stopped);
}

TEST_F(TcpConnectionTest, ClosedConnectionNeitherSendsNorReceives) {
    connection_.close();
    EXPECT_FALSE(connection_.isOpen());
    std::string chunk;
    EXPECT_EQ(connection_.receive(chunk, stop_.get(), 1'000), NetStatus::Closed);
    EXPECT_EQ(connection_.sendAll("x", stop_.get(), 1'000), NetStatus::Closed);
}

TEST_F(TcpConnectionTest, OpensByNameAndStopsBeforeConnecting) {
    TcpConnection byName;
    EXPECT_EQ(byName.open("localhost", listener_.port(), stop_.get()), NetStatus::Ok);
    EXPECT_TRUE(byName.isOpen());
    // The stop event comes first even when the connection could complete.
    ::SetEvent(stop_.get());
    TcpConnection stopped;
    EXPECT_EQ(stopped.open("127.0.0.1", listener_.port(), stop_.get()), NetStatus::Stopped);
    EXPECT_FALSE(stopped.isOpen());
}

TEST(TcpConnection, OpensAnIpv6Loopback) {
    const Listener listener(AF_INET6);
    if (listener.port().empty()) GTEST_SKIP() << "no IPv6 loopback here";
    const WinsockUse winsock = startWinsock();
    TcpConnection connection;
    ASSERT_EQ(connection.open("::1", listener.port(), nullptr), NetStatus::Ok);
    const UniqueSocket peer = listener.accept();
    ASSERT_EQ(::send(peer.get(), "v6", 2, 0), 2);
    std::string chunk;
    EXPECT_EQ(connection.receive(chunk, nullptr, 10'000), NetStatus::Ok);
    EXPECT_EQ(chunk, "v6");
}

}  // namespace
}  // namespace oz
