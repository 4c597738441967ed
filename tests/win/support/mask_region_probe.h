// A mask as one region made in one go from the generator's rectangles: what the mask file describes.
#pragma once

#include <windows.h>

#include <vector>

#include "extMaskgenerator.h"
#include "mask_region.h"

namespace testsupport {

// nullptr when the bitmap cannot be read. The caller owns the region.
inline HRGN CreateMaskRegion(HBITMAP bitmap, COLORREF transparent) {
  std::vector<mask::Rect> rects;
  if (!mokuna::BuildMaskRects(bitmap, transparent, rects)) return nullptr;
  const std::string data = mask::EncodeRegionData(rects);
  std::vector<DWORD> aligned((data.size() + 3) / 4);  // RGNDATA is read in whole DWORDs
  data.copy(reinterpret_cast<char*>(aligned.data()), data.size());
  return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<const RGNDATA*>(aligned.data()));
}

}  // namespace testsupport
