// The entry point of kxfiles.dll: it only remembers the module instance, which
// is where the message texts and data resources are loaded from. Per-thread
// state is created on demand and needs no attach or detach work here.
#include "platform/win32/module_instance.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) kx::os::win32::StoreModuleInstance(instance);
    return TRUE;
}
