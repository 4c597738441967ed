// The sound of the mail check through the Media Control Interface: the device is opened on the file (its
// type chosen from the file's name), played to the end with the wait flag, and closed.
#pragma once

#include <string>

#include "sound_player.h"

namespace fennick {

class MciSound final : public SoundPlayer {
 public:
  MciSound() = default;
  ~MciSound() override { Close(); }
  MciSound(const MciSound&) = delete;
  MciSound& operator=(const MciSound&) = delete;

  bool FileExists(const std::string& path) const override;
  bool Open(const std::string& path, std::string* error) override;
  bool IsOpen() const override { return device_ != 0; }
  void PlayToEnd() override;
  void Close() override;

 private:
  unsigned device_ = 0;
};

}  // namespace fennick
