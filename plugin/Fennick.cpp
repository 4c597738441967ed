// The library's entry. Loading Fennick.dll runs nothing of the plug-in's own: the module state starts
// empty and every export builds what it needs and releases it before it returns.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
