// The texts of the About box.
#pragma once

#include <string>
#include <vector>

namespace mokuna {

// The project's home page, opened by the About box's link label.
inline constexpr const char* kHomePageAddress = "https://oribel.example.org/mokuna/";

// The version notes shown for the contents of version.txt; nullptr stands for a missing file.
std::vector<std::string> VersionNoteLines(const std::string* file_bytes);

// The credits: each role heading followed by its "……" lines.
std::vector<std::string> CreditLines();

// The user's guide, line by line.
const std::vector<std::string>& UserGuideLines();

// The About box's two heights and the fold button's caption for each.
inline constexpr int kAboutFoldedHeight = 334;
inline constexpr int kAboutUnfoldedHeight = 522;
struct AboutFold {
  int height;
  const char* button_caption;
};
// What the fold button turns a window of the given height into.
AboutFold ToggleAboutFold(int current_height);

}  // namespace mokuna
