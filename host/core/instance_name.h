// One running program per working folder: the name its named objects carry, derived from the folder.
#pragma once

#include <string>
#include <string_view>

namespace mokuna {

// The same for every spelling of one folder ("/" or "\", a trailing separator) once the caller has made
// it absolute and folded its case; different for different folders. A hash keeps the name short and free
// of the characters that object names may not hold.
std::wstring InstanceObjectName(std::wstring_view case_folded_folder);

}  // namespace mokuna
