// The Winsock connection against a listener in this process, on loopback: every wait ends at
// the peer's data or end, at the limit, or at the stop event.
#include "runtime/socket_win.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/handles_win.h"

namespace oz {
namespace {

class Listener {
public:
    Listener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (::bind(socket_.get(), reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(socket_.get(), 4) == 0 &&
            ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port_ = std::to_string(::ntohs(address.sin_port));
        }
    }
    const std::string& port() const { return port_; }
    // The connection a client has made already (it waits in the backlog).
    UniqueSocket accept() const { return UniqueSocket(::accept(socket_.get(), nullptr, nullptr)); }

private:
    WinsockUse winsock_ = startWinsock();
    UniqueSocket socket_{::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
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

}  // namespace
}  // namespace oz
