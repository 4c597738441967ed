// What the mail check needs of a sound player: open a sound file, play it to its end while the caller
// waits, close it. The Win32 layer implements it with the Media Control Interface; tests record calls.
#pragma once

#include <string>

namespace fennick {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;

  // True when a file of that (Shift-JIS) name exists; the player is opened only on an existing file.
  virtual bool FileExists(const std::string& path) const = 0;
  // Opens the device on path, the device type chosen from the file's name. False when the device cannot
  // open it; error then receives the system's own reason as Shift-JIS text.
  virtual bool Open(const std::string& path, std::string* error) = 0;
  virtual bool IsOpen() const = 0;
  // Plays the opened file from its start with the wait flag: returns when it has finished playing. Does
  // nothing when no file is open.
  virtual void PlayToEnd() = 0;
  // Closes the device if it is open; closing twice is harmless.
  virtual void Close() = 0;
};

}  // namespace fennick

namespace fennick {

// The new-mail sound, when the switch is on and a file could be opened.
inline void PlayNewMailSound(bool on, SoundPlayer* player) {
  if (on && player && player->IsOpen()) player->PlayToEnd();
}

}  // namespace fennick
