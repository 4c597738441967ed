// The MCI sound player through a real sound device: Wine's ALSA driver on an ALSA "file" device that writes
// every frame it is given to a capture file (the test run points ALSA at that configuration). What reaches
// the capture must be the wave's samples, all of them, by the time playing returns.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "MciSound.h"
#include "mail_check.h"
#include "plugin_test_support.h"
#include "win_text.h"

namespace {

using fennick_test::LoopbackServer;

// Wine reads its sound driver once per process, at the first use of sound: choose ALSA before any test
// runs, so a desktop sound server cannot take the sound past the capture.
const bool kAlsaDriver = [] {
  return RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio", REG_SZ, L"alsa",
                         sizeof L"alsa") == ERROR_SUCCESS;
}();

struct WaveFormat {
  std::uint32_t rate;
  std::uint16_t bits, channels;
  std::uint32_t frames;
};

// The PCM samples of a wave: a quiet sawtooth, so that lost or repeated blocks show in the bytes.
std::string Samples(const WaveFormat& f) {
  std::string data;
  const std::uint32_t bytes = f.frames * f.channels * (f.bits / 8);
  for (std::uint32_t i = 0; i < bytes; ++i)
    data += static_cast<char>(f.bits == 8 ? 0x60 + (i * 7) % 64 : (i * 13) % 251);
  return data;
}

void WriteWave(const std::string& path, const WaveFormat& f) {
  const std::string data = Samples(f);
  auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  const std::uint16_t block = static_cast<std::uint16_t>(f.channels * f.bits / 8);
  const std::string bytes = "RIFF" + u32(36 + static_cast<std::uint32_t>(data.size())) + "WAVE" + "fmt " + u32(16) +
                            u16(1) + u16(f.channels) + u32(f.rate) + u32(f.rate * block) + u16(block) + u16(f.bits) +
                            "data" + u32(static_cast<std::uint32_t>(data.size())) + data;
  ASSERT_TRUE(fileio::WriteFileAtomic(path, bytes));
}

// What the device has captured since the last Reset; "<none>" when it was not opened.
class Capture {
 public:
  Capture() {
    EXPECT_TRUE(kAlsaDriver);
    wchar_t config[1024] = {};
    EXPECT_NE(0u, GetEnvironmentVariableW(L"ALSA_CONFIG_PATH", config, 1024))
        << "run through ctest, which points ALSA at the capturing device";
  }
  void Reset() const { DeleteFileW(mokuna::WidenSjis(FENNICK_SOUND_CAPTURE).c_str()); }
  std::string Bytes() const {
    std::string bytes;
    return fileio::ReadFile(FENNICK_SOUND_CAPTURE, bytes) ? bytes : "<none>";
  }
};

TEST(MciSound, EverySampleReachesTheDeviceBeforePlayingReturns) {
  fennick_test::ScratchFolder folder;
  const Capture capture;
  fennick::MciSound player;
  EXPECT_FALSE(player.FileExists("missing.wav"));
  EXPECT_FALSE(player.FileExists("."));
  EXPECT_FALSE(player.FileExists(""));
  std::string error;
  EXPECT_FALSE(player.Open("missing.wav", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(player.IsOpen());

  const WaveFormat formats[] = {
      {22050, 16, 1, 22050},  // 1.0 s: 44 100 bytes
      {8000, 8, 1, 1600},
      {44100, 16, 2, 11025},
  };
  for (const WaveFormat& f : formats) {
    SCOPED_TRACE(std::to_string(f.rate) + " Hz, " + std::to_string(f.bits) + " bits, " +
                 std::to_string(f.channels) + " channels");
    WriteWave("chime.wav", f);
    EXPECT_TRUE(player.FileExists("chime.wav"));
    error.clear();
    ASSERT_TRUE(player.Open("chime.wav", &error)) << error;
    const std::string samples = Samples(f);
    for (const char* play : {"first play", "second play, from the start again"}) {
      SCOPED_TRACE(play);
      capture.Reset();
      player.PlayToEnd();
      const std::string got = capture.Bytes();  // at once: playing must have waited for the end
      EXPECT_EQ(samples.size(), got.size());
      EXPECT_TRUE(got == samples) << "the captured bytes are not the wave's samples";
    }
    player.Close();
    player.Close();
    EXPECT_FALSE(player.IsOpen());
  }
}

// With the sound on, new mail plays the whole sound while the connection is still open, before QUIT; with
// it off, the device is never opened.
TEST(MciSound, MailCheckPlaysTheWholeSoundBeforeItQuits) {
  fennick_test::ScratchFolder folder;
  const Capture capture;
  const WaveFormat second{22050, 16, 1, 22050};
  WriteWave("chime.wav", second);
  for (const bool sound : {true, false}) {
    SCOPED_TRACE(sound ? "sound on" : "sound off");
    ASSERT_TRUE(fileio::WriteFileAtomic(
        "epop.ini", std::string("isPlay=") + (sound ? "1" : "0") + "\r\nFilePlaying=chime.wav\r\nAccount=u\r\n"));
    capture.Reset();
    std::string at_quit;
    LoopbackServer server;
    server.Serve([&](SOCKET s) {
      LoopbackServer::Send(s, "+OK ready\r\n");
      LoopbackServer::ReadLine(s);
      LoopbackServer::Send(s, "+OK\r\n");
      LoopbackServer::ReadLine(s);
      LoopbackServer::Send(s, "+OK u has 1 message\r\n");
      LoopbackServer::ReadLine(s);
      LoopbackServer::Send(s, "+OK\r\nMessage-ID: <one@host>\r\n\r\n.\r\n");
      if (LoopbackServer::ReadLine(s) == "QUIT") at_quit = capture.Bytes();
      LoopbackServer::Send(s, "+OK bye\r\n");
      LoopbackServer::WaitForClose(s);
    });
    fennick_test::RedirectedTransport transport(server.Port());
    fennick::MciSound player;
    fennick::ModuleState state;
    fennick::CheckMailEnv env;
    env.transport = &transport;
    env.player = &player;
    env.waits.wait_ms = env.waits.read_ms = 5000;
    std::string load_error;
    env.on_load_error = [&](const fennick::EpopLoadResult& r) { load_error = r.message; };

    const std::string result = fennick::CheckMail(state, env);
    server.Join();
    EXPECT_EQ("", load_error);
    EXPECT_EQ(std::string(fennick::results::kNewMailHead) + "1" + fennick::results::kNewMailTail, result);
    EXPECT_FALSE(player.IsOpen()) << "the check closes the player";
    EXPECT_NE(std::string::npos, fennick_test::ReadAll("epop.ini").find("LastMessageID=<one@host>\r\n"));
    if (sound) {
      EXPECT_EQ(44100u, at_quit.size());
      EXPECT_TRUE(at_quit == Samples(second)) << "the sound had not played whole when QUIT came";
    } else {
      EXPECT_EQ("<none>", at_quit);
    }
  }
}

}  // namespace
