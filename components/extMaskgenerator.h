// Mask generation: the outline of a picture as a rectangle region, written as a mask file.
//
// The bitmap's bits are read once per strip of rows (GetDIBits) and the rectangles are built by the portable
// builder (mask_region.h), so a large picture takes milliseconds, not minutes. Between strips the pending
// window messages are handled, so the user interface stays responsive while a very large picture is scanned.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mask_region.h"

namespace mokuna {

// The mask rectangles of bitmap: pixels whose 24-bit colour equals transparent (0x00BBGGRR) are cut away,
// column 0 is never in the mask and a run reaching the right edge ends at width + 1. False when the bitmap
// cannot be read (rects is then empty). With pump_messages, pending messages are handled between strips.
bool BuildMaskRects(HBITMAP bitmap, COLORREF transparent, std::vector<mask::Rect>& rects, bool pump_messages = true);

// Builds the mask of bitmap and writes it to path as a mask file (written beside it and moved over it, so a
// failure never leaves a truncated file). A bitmap without pixels writes nothing. Throws std::runtime_error
// with "ファイル %s を作成できません" (path in place of %s, Shift-JIS) when the file cannot be created.
void GenerateMaskFile(HBITMAP bitmap, COLORREF transparent, const std::string& path);

}  // namespace mokuna
