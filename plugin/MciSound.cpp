#include "MciSound.h"

#include <windows.h>
#include <mmsystem.h>

#include "win_text.h"

namespace fennick {

static std::string MciReason(MCIERROR code) {
  wchar_t text[256] = {};
  if (!mciGetErrorStringW(code, text, 256) || !text[0]) return "MCI error " + std::to_string(code);
  return mokuna::NarrowToSjis(text);
}

bool MciSound::FileExists(const std::string& path) const {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(mokuna::WidenSjis(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MciSound::Open(const std::string& path, std::string* error) {
  Close();
  const std::wstring wide = mokuna::WidenSjis(path);
  MCI_OPEN_PARMSW open{};
  open.lpstrElementName = wide.c_str();
  const MCIERROR code =
      mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
  if (code != 0) {
    if (error) *error = MciReason(code);
    return false;
  }
  device_ = open.wDeviceID;
  return true;
}

void MciSound::PlayToEnd() {
  if (!device_) return;
  // A second play of the same device must start again at the beginning, not at the end of the first.
  MCI_SEEK_PARMS seek{};
  mciSendCommandW(device_, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&seek));
  MCI_PLAY_PARMS play{};
  mciSendCommandW(device_, MCI_PLAY, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&play));
}

void MciSound::Close() {
  if (device_) {
    MCI_GENERIC_PARMS close{};
    mciSendCommandW(device_, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    device_ = 0;
  }
}

}  // namespace fennick
