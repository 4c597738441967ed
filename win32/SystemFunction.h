// Functions of system libraries that older systems lack, looked up at run time so the program still starts
// there: a null pointer means the system does not have it.
#pragma once

#include <windows.h>

namespace mokuna {

// name from module (a system library, loaded when the process has not loaded it yet), as an F.
template <class F>
F SystemFunction(const wchar_t* module, const char* name) {
  HMODULE dll = GetModuleHandleW(module);
  if (!dll) dll = LoadLibraryW(module);
  return dll ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
}

}  // namespace mokuna
