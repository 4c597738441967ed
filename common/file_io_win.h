// The two system calls that put a saved file in place on Windows, held where a test can make them fail as a
// failing disk or another program would. Each gives 0 or the system's error code.
#pragma once

#include <string>

namespace fileio {

struct PlacementSteps {
  // ReplaceFileW of full_target by full_temp, keeping what the user set on the file.
  unsigned long (*replace)(const std::wstring& full_target, const std::wstring& full_temp);
  // MoveFileExW of temp over target, replacing whatever is there.
  unsigned long (*move)(const std::wstring& temp, const std::wstring& target);
};

// The steps in use; a test that swaps them puts the old ones back.
PlacementSteps& Placement();

}  // namespace fileio
