// The frames that make the character move: NAME-blink.EXT (eyes closed) and NAME-talk.EXT (mouth open)
// beside its picture NAME.EXT. They are shown through the picture control, at its scale and inside its
// outline; the outline and the mask file stay the picture's.
#pragma once

#include <windows.h>

#include <string>

#include "CoolForm.h"
#include "animation.h"

namespace mokuna {

class TCharacterFrames {
 public:
  TCharacterFrames() = default;
  TCharacterFrames(const TCharacterFrames&) = delete;
  TCharacterFrames& operator=(const TCharacterFrames&) = delete;
  ~TCharacterFrames() { Clear(); }

  // Reads the frames of picture_path, whose picture the control already shows with its outline. A frame
  // file that is not there is no frame; one that cannot be read or is not of the picture's size is left
  // out, and the text returned (Shift-JIS, one line per frame left out; empty when none) says why.
  std::string Load(const std::string& picture_path, const TCoolForm& picture);
  bool HasBlink() const { return raw_[kBlink] != nullptr; }
  bool HasTalk() const { return raw_[kTalk] != nullptr; }

  // The frames again at the control's scale, after its SetDpi. The bitmaps Shown gave before are gone.
  void Rebuild(const TCoolForm& picture);
  // Has the control paint frame (the picture itself for none, or for a frame the character lacks),
  // repainting only where the frames differ.
  void Show(TCoolForm& picture, CharacterFrame frame) const;

 private:
  enum { kBlink, kTalk, kBoth, kCount };  // kBoth: eyes closed while the mouth is open
  void Clear();
  HBITMAP BothFrame(HBITMAP picture) const;
  int Index(CharacterFrame frame) const;  // into shown_, -1 for the picture

  HBITMAP raw_[kCount] = {};    // as read (kBoth made from the other two), at the picture's own size
  HBITMAP shown_[kCount] = {};  // at the control's scale, kept to its outline
  RECT changed_[kCount] = {};   // where each shown frame differs from the shown picture
};

}  // namespace mokuna
