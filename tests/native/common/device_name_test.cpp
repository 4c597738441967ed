#include "device_name.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceName, WindowsDevicesWhateverTheirFolderOrExtension) {
  const struct {
    const char* name;
    bool device;
  } cases[] = {
      {"CON", true},        {"con.bmp", true},     {"sub\\Nul.bmp", true}, {"C:aux", true},
      {"dir/prn.x.y", true}, {"COM1.bmp", true},   {"lpt9", true},         {"CON .bmp", true},
      {"COM0", false},      {"COM10.bmp", false},  {"CONSOLE.bmp", false}, {"climon.bmp", false},
      {"con\\x.bmp", false}, {"\x83\x5C" "CON.bmp", false},  // ソ ends in 0x5C, which is not a separator
  };
  for (const auto& c : cases) EXPECT_EQ(c.device, mokuna::IsDeviceName(c.name)) << c.name;
}

}  // namespace
