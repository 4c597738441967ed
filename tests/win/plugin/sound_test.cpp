// The MCI sound player on whatever sound Wine has (on a test machine usually none): playing with the wait
// flag must come back, and a mail check with the sound switched on must go on to its result either way.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "MciSound.h"
#include "mail_check.h"
#include "plugin_test_support.h"
#include "win_text.h"

namespace {

using fennick_test::LoopbackServer;
using fennick_test::MsSince;
using Clock = std::chrono::steady_clock;

// A short PCM wave file: 0.2 s of a quiet square wave, 8 kHz, 8 bits, mono.
void WriteWave(const std::string& path) {
  const std::uint32_t samples = 1600;
  std::string data;
  for (std::uint32_t i = 0; i < samples; ++i) data += static_cast<char>((i / 20) % 2 ? 0x90 : 0x70);
  auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  const std::string bytes = "RIFF" + u32(36 + samples) + "WAVE" + "fmt " + u32(16) + u16(1) + u16(1) + u32(8000) +
                            u32(8000) + u16(1) + u16(8) + "data" + u32(samples) + data;
  ASSERT_TRUE(fileio::WriteFileAtomic(path, bytes));
}

TEST(MciSound, PlayingWithTheWaitFlagComesBackOrOpenSaysWhy) {
  fennick_test::ScratchFolder folder;
  WriteWave("chime.wav");
  fennick::MciSound player;
  EXPECT_TRUE(player.FileExists("chime.wav"));
  EXPECT_FALSE(player.FileExists("missing.wav"));
  EXPECT_FALSE(player.FileExists("."));
  EXPECT_FALSE(player.FileExists(""));

  std::string error;
  EXPECT_FALSE(player.Open("missing.wav", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(player.IsOpen());

  error.clear();
  if (!player.Open("chime.wav", &error)) {
    // No usable sound device: the reason is the system's.
    EXPECT_FALSE(error.empty());
    std::printf("sound device did not open: %s\n", error.c_str());
    return;
  }
  std::atomic<bool> done{false};
  std::thread play([&] {
    player.PlayToEnd();
    player.PlayToEnd();  // a second play starts over and ends as well
    done = true;
  });
  for (int i = 0; i < 300 && !done; ++i) Sleep(50);
  EXPECT_TRUE(done) << "playing did not come back within 15 s";
  if (!done) {
    play.detach();  // cannot be joined; the process ends with the test run
    return;
  }
  play.join();
  player.Close();
  player.Close();
  EXPECT_FALSE(player.IsOpen());
}

TEST(MciSound, MailCheckWithSoundOnGoesOnToItsResult) {
  fennick_test::ScratchFolder folder;
  WriteWave("chime.wav");
  ASSERT_TRUE(fileio::WriteFileAtomic("epop.ini", "isPlay=1\r\nFilePlaying=chime.wav\r\nAccount=u\r\n"));
  LoopbackServer server;
  server.Serve([](SOCKET s) {
    LoopbackServer::Send(s, "+OK ready\r\n");
    LoopbackServer::ReadLine(s);
    LoopbackServer::Send(s, "+OK\r\n");
    LoopbackServer::ReadLine(s);
    LoopbackServer::Send(s, "+OK u has 1 message\r\n");
    LoopbackServer::ReadLine(s);
    LoopbackServer::Send(s, "+OK\r\nMessage-ID: <one@host>\r\n\r\n.\r\n");
    LoopbackServer::ReadLine(s);
    LoopbackServer::Send(s, "+OK bye\r\n");
    LoopbackServer::WaitForClose(s);
  });
  fennick_test::RedirectedTransport transport(server.Port());
  fennick::MciSound player;
  fennick::ModuleState state;
  fennick::CheckMailEnv env;
  env.transport = &transport;
  env.player = &player;
  env.timeouts.wait_ms = env.timeouts.read_ms = 2000;
  std::string load_error;
  env.on_load_error = [&](const fennick::EpopLoadResult& r) { load_error = r.message; };

  std::string result;
  std::atomic<bool> done{false};
  std::thread check([&] {
    result = fennick::CheckMail(state, env);
    done = true;
  });
  const auto start = Clock::now();
  while (!done && MsSince(start) < 20000) Sleep(50);
  ASSERT_TRUE(done) << "the check hung";
  check.join();
  if (!load_error.empty()) std::printf("sound device did not open: %s\n", load_error.c_str());
  EXPECT_EQ(std::string(fennick::results::kNewMailHead) + "1" + fennick::results::kNewMailTail, result);
  EXPECT_FALSE(player.IsOpen()) << "the check closes the player";
  EXPECT_NE(std::string::npos, fennick_test::ReadAll("epop.ini").find("LastMessageID=<one@host>\r\n"));
}

}  // namespace
