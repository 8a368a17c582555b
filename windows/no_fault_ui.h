// no_fault_ui.h - for each program of the test kit: a crash, or a DLL that
// cannot be found, ends the program with its code, instead of a box of
// Windows that waits for a click until the kit's time limit.
#pragma once

#include <windows.h>

// kernel32's, declared here: mingw-w64's werapi.h does not compile alone.
extern "C" HRESULT WINAPI WerSetFlags(DWORD flags);

inline void NoFaultUi()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    // WER_FAULT_REPORTING_NO_UI, which SetErrorMode's page names for this.
    // Whether it reaches a fail-fast report is not documented
    // (docs/development.md).
    WerSetFlags(0x20);
}
