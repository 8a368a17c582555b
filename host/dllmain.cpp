// dllmain.cpp - the module's load entry point.  The runtime's own start-up
// and shutdown run around it; the module itself has nothing to set up or
// tear down, so every notification succeeds.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
