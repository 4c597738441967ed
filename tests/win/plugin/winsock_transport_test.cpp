// The Winsock transport against a server thread on the loopback interface, alone and under the mail check.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "WinsockTransport.h"
#include "mail_check.h"
#include "plugin_test_support.h"

namespace {

using fennick::MailTransport;
using fennick::WinsockTransport;
using fennick_test::LoopbackServer;
using fennick_test::MsSince;
using Clock = std::chrono::steady_clock;

// A port on which nothing listens: bound once, then closed.
int DeadPort() {
  LoopbackServer server;
  return server.Port();
}

TEST(WinsockTransport, ConnectsReadsSendsAndSeesThePeerClose) {
  LoopbackServer server;
  std::string received;
  server.Serve([&](SOCKET s) {
    LoopbackServer::Send(s, "+OK hello\r\n");
    received = LoopbackServer::ReadLine(s);
  });
  WinsockTransport t;
  ASSERT_TRUE(t.Connect("127.0.0.1", server.Port()));
  ASSERT_EQ(MailTransport::WaitResult::Readable, t.WaitReadable(2000));
  char buffer[64] = {};
  ASSERT_EQ(11, t.Read(buffer, sizeof buffer - 1, 2000));
  EXPECT_STREQ("+OK hello\r\n", buffer);
  EXPECT_TRUE(t.Send("USER someone\r\n"));

  // The server closes after the line: the connection turns readable and a read yields nothing at once.
  const auto start = Clock::now();
  EXPECT_EQ(MailTransport::WaitResult::Readable, t.WaitReadable(5000));
  EXPECT_EQ(0, t.Read(buffer, sizeof buffer, 5000));
  EXPECT_LT(MsSince(start), 3000);
  EXPECT_EQ("USER someone", received);
  t.Close();
  t.Close();  // twice is harmless
  EXPECT_EQ(-1, t.Read(buffer, sizeof buffer, 10));
}

TEST(WinsockTransport, SilentServerTimesOutAfterTheGivenWait) {
  LoopbackServer server;
  server.Serve([](SOCKET s) { LoopbackServer::WaitForClose(s); });
  WinsockTransport t;
  ASSERT_TRUE(t.Connect("127.0.0.1", server.Port()));
  auto start = Clock::now();
  EXPECT_EQ(MailTransport::WaitResult::TimedOut, t.WaitReadable(200));
  EXPECT_GE(MsSince(start), 150);
  EXPECT_LT(MsSince(start), 3000);
  char buffer[16];
  start = Clock::now();
  EXPECT_EQ(0, t.Read(buffer, sizeof buffer, 200));
  EXPECT_GE(MsSince(start), 150);
  EXPECT_LT(MsSince(start), 3000);
}

TEST(WinsockTransport, NoConnectionForRefusalEmptyTextOrUnknownName) {
  WinsockTransport t;
  EXPECT_FALSE(t.Connect("127.0.0.1", DeadPort()));
  EXPECT_FALSE(t.IsOpen());
  EXPECT_FALSE(t.Connect("", 110));
  EXPECT_FALSE(t.Connect("no-such-host.invalid", 110));
  EXPECT_FALSE(t.IsOpen());
  EXPECT_EQ(MailTransport::WaitResult::Error, t.WaitReadable(10));
  EXPECT_FALSE(t.Send("x"));

  // An address nobody answers for (or, without a route, one refused at once) gives up within the bound.
  t.SetConnectTimeoutMs(300);
  const auto start = Clock::now();
  EXPECT_FALSE(t.Connect("192.0.2.1", 110));
  EXPECT_LT(MsSince(start), 3000);
}

TEST(WinsockTransport, UnansweredConnectGivesUpAfterItsTimeOut) {
  // A listener that never accepts and has no room in its queue leaves further attempts unanswered.
  WinsockTransport queued[8];  // first: they start Winsock
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
  ASSERT_EQ(0, listen(listener, 1));
  int length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  long long waited = -1;
  for (WinsockTransport& t : queued) {
    t.SetConnectTimeoutMs(300);
    const auto start = Clock::now();
    if (!t.Connect("127.0.0.1", ntohs(address.sin_port))) {
      waited = MsSince(start);
      break;
    }
  }
  closesocket(listener);
  ASSERT_GE(waited, 0) << "every attempt was answered";
  EXPECT_GE(waited, 250);
  EXPECT_LT(waited, 3000);
}

TEST(WinsockTransport, HostNameIsLookedUp) {
  LoopbackServer server;
  server.Serve([](SOCKET s) { LoopbackServer::Send(s, "+OK\r\n"); });
  WinsockTransport t;
  ASSERT_TRUE(t.Connect("localhost", server.Port()));
  char buffer[8] = {};
  EXPECT_EQ(5, t.Read(buffer, sizeof buffer - 1, 2000));
}

// A resolver for "localhost" that answers after a delay, or (delay -1) only when let go; it counts the
// look-ups that have ended, so a test can see abandoned ones finish.
struct SlowResolver {
  struct Shared {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> ended{0};
    ~Shared() { CloseHandle(release); }
  };
  std::shared_ptr<Shared> shared = std::make_shared<Shared>();

  WinsockTransport::Resolver After(int delay_ms) const {
    return [shared = shared, delay_ms](const char*, const char* service, const addrinfo* hints, addrinfo** found) {
      WaitForSingleObject(shared->release, delay_ms < 0 ? INFINITE : static_cast<DWORD>(delay_ms));
      const int status = getaddrinfo("localhost", service, hints, found);
      ++shared->ended;
      return status;
    };
  }
  // Lets every held look-up go and waits (bounded) until count of them have ended.
  bool AllEnded(int count) const {
    SetEvent(shared->release);
    for (int i = 0; i < 150 && shared->ended < count; ++i) Sleep(20);
    return shared->ended == count;
  }
};

TEST(WinsockTransport, HostNameLookUpIsBoundedByTheConnectTimeOut) {
  const int kBound = 400;
  const struct {
    const char* name;
    int answer_ms;  // -1: never, until the test lets it go
    bool connects;
  } cases[] = {
      {"answered at once", 0, true},
      {"answered within the bound", 150, true},
      {"answered after the bound", 1000, false},
      {"never answered", -1, false},
  };
  SlowResolver resolver;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server;
    server.Serve([](SOCKET s) { LoopbackServer::Send(s, "+OK\r\n"); });
    const auto start = Clock::now();
    {
      WinsockTransport t;
      t.SetConnectTimeoutMs(kBound);
      t.SetResolver(resolver.After(c.answer_ms));
      EXPECT_EQ(c.connects, t.Connect("mail.example.com", server.Port()));
    }  // the transport and its Winsock go; an abandoned look-up must not mind
    const long long waited = MsSince(start);
    EXPECT_LT(waited, kBound + 1500);
    if (!c.connects) {
      EXPECT_GE(waited, kBound - 50);
    }
  }
  EXPECT_TRUE(resolver.AllEnded(4)) << "abandoned look-ups end on their own once answered";
}

// The caller's bound cuts the look-up short however long the connect time-out is.
TEST(WinsockTransport, LookUpAndAddressesShareTheCallersBound) {
  SlowResolver resolver;
  WinsockTransport t;
  t.SetResolver(resolver.After(1500));
  const auto start = Clock::now();
  EXPECT_FALSE(t.Connect("mail.example.com", DeadPort(), 400));
  EXPECT_LT(MsSince(start), 1200);
  EXPECT_TRUE(resolver.AllEnded(1));
}

// A resolver that throws on the look-up thread: a name that could not be looked up, not the end of the
// program.
TEST(WinsockTransport, LookUpThatThrowsIsAFailedLookUp) {
  WinsockTransport t;
  t.SetConnectTimeoutMs(2000);
  t.SetResolver([](const char*, const char*, const addrinfo*, addrinfo**) -> int { throw std::bad_alloc(); });
  const auto start = Clock::now();
  EXPECT_FALSE(t.Connect("mail.example.com", 110));
  EXPECT_LT(MsSince(start), 1500) << "the failure is told at once, not waited out";
}

TEST(WinsockTransport, LargeSendArrivesWhole) {
  LoopbackServer server;
  std::string text(3 * 1024 * 1024, 'x');
  for (std::size_t i = 0; i < text.size(); i += 997) text[i] = static_cast<char>('a' + i % 26);
  std::string got;
  server.Serve([&](SOCKET s) {
    char buffer[65536];
    int n;
    while (got.size() < text.size() && (n = recv(s, buffer, sizeof buffer, 0)) > 0) got.append(buffer, n);
  });
  WinsockTransport t;
  ASSERT_TRUE(t.Connect("127.0.0.1", server.Port()));
  EXPECT_TRUE(t.Send(text));
  t.Close();
  server.Join();
  EXPECT_TRUE(got == text);
}

// The whole conversation over real sockets, with waits shortened to keep the failing paths quick.
class ConversationOverWinsock : public ::testing::Test {
 protected:
  fennick::ConversationOutcome Run(fennick_test::RedirectedTransport& transport) {
    settings_.Account = "user";
    settings_.Password = "pw";
    fennick::MailWaits timeouts;
    timeouts.wait_ms = 300;
    timeouts.read_ms = 300;
    return fennick::RunPop3Conversation(settings_, state_, transport, nullptr, timeouts);
  }
  fennick::EpopSettings settings_;
  fennick::ModuleState state_;
};

TEST_F(ConversationOverWinsock, NewMailThenQuit) {
  LoopbackServer server;
  std::string commands;
  server.Serve([&](SOCKET s) {
    LoopbackServer::Send(s, "+OK ready <1.2@host>\r\n");
    commands += LoopbackServer::ReadLine(s) + "|";
    LoopbackServer::Send(s, "+OK\r\n");
    commands += LoopbackServer::ReadLine(s) + "|";
    LoopbackServer::Send(s, "+OK user has 2 messages\r\n");
    commands += LoopbackServer::ReadLine(s) + "|";
    LoopbackServer::Send(s, "+OK\r\nSubject: x\r\nMessage-ID: <ABC@host>\r\n\r\nbody\r\n.\r\n");
    commands += LoopbackServer::ReadLine(s) + "|";
    LoopbackServer::Send(s, "+OK bye\r\n");
    LoopbackServer::WaitForClose(s);
  });
  fennick_test::RedirectedTransport transport(server.Port());
  const auto outcome = Run(transport);
  EXPECT_TRUE(outcome.success);
  EXPECT_EQ(std::string(fennick::results::kNewMailHead) + "2" + fennick::results::kNewMailTail, outcome.result);
  EXPECT_EQ("<abc@host>", state_.LastMessageID);
  EXPECT_EQ(2, state_.LastMailNum);
  EXPECT_FALSE(transport.IsOpen());
  server.Join();
  EXPECT_EQ("USER user|PASS pw|RETR 2|QUIT|", commands);
}

TEST_F(ConversationOverWinsock, ServerFallingSilentIsCannotConnectWithinTheWait) {
  LoopbackServer server;
  server.Serve([](SOCKET s) {
    LoopbackServer::Send(s, "+OK ready\r\n");
    LoopbackServer::ReadLine(s);  // USER, never answered
    LoopbackServer::WaitForClose(s);
  });
  fennick_test::RedirectedTransport transport(server.Port());
  const auto start = Clock::now();
  const auto outcome = Run(transport);
  EXPECT_LT(MsSince(start), 5000);
  EXPECT_FALSE(outcome.success);
  EXPECT_EQ(fennick::results::kCannotConnect, outcome.result);
  EXPECT_FALSE(transport.IsOpen());
}

TEST_F(ConversationOverWinsock, PeerClosingBeforeTheGreetingIsReceiveFailed) {
  LoopbackServer server;
  server.Serve([](SOCKET) {});
  fennick_test::RedirectedTransport transport(server.Port());
  const auto outcome = Run(transport);
  EXPECT_EQ(fennick::results::kReceiveFailed, outcome.result);
  EXPECT_FALSE(transport.IsOpen());
}

TEST_F(ConversationOverWinsock, UnansweredLookUpIsCannotConnectWithinTheBound) {
  SlowResolver resolver;
  WinsockTransport transport;
  transport.SetConnectTimeoutMs(300);
  transport.SetResolver(resolver.After(-1));
  settings_.POPServer = "mail.example.com";
  fennick::MailWaits timeouts;
  const auto start = Clock::now();
  const auto outcome = fennick::RunPop3Conversation(settings_, state_, transport, nullptr, timeouts);
  EXPECT_LT(MsSince(start), 2000);
  EXPECT_EQ(fennick::results::kCannotConnect, outcome.result);
  EXPECT_FALSE(outcome.success);
  EXPECT_TRUE(resolver.AllEnded(1));
}

TEST_F(ConversationOverWinsock, RefusedOrUnnamedServerIsCannotConnect) {
  fennick_test::RedirectedTransport refused(DeadPort());
  EXPECT_EQ(fennick::results::kCannotConnect, Run(refused).result);
  settings_.POPServer = "";
  fennick_test::RedirectedTransport empty(DeadPort());
  EXPECT_EQ(fennick::results::kCannotConnect, Run(empty).result);
  EXPECT_EQ(0, state_.LastMailNum);
}

}  // namespace
