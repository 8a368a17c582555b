// capture_win.cpp - capture on Windows: standard error or output is pointed
// at a temporary file for the duration, and the stand-in host's UTF-8 is read
// back.
#include "capture.h"

#include "../standin/takecmd/standin_host.h"
#include "../windows/files.h"

#include <windows.h>

namespace {

struct Capture {
    DWORD which;
    HANDLE saved = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;
};
Capture errCapture{STD_ERROR_HANDLE};
Capture outCapture{STD_OUTPUT_HANDLE};

void Begin(Capture& c)
{
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"cap", 0, path);
    c.file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr);
    c.saved = GetStdHandle(c.which);
    SetStdHandle(c.which, c.file);
}

std::u16string End(Capture& c)
{
    SetStdHandle(c.which, c.saved);
    if (c.file == INVALID_HANDLE_VALUE)
        return u"<capture failed>";
    std::string bytes;
    std::u16string text;
    SetFilePointer(c.file, 0, nullptr, FILE_BEGIN);
    ReadHandleBytes(c.file, &bytes);
    CloseHandle(c.file);
    c.file = INVALID_HANDLE_VALUE;
    Utf16(bytes, &text);
    return text;
}

}  // namespace

void StderrCaptureBegin()
{
    Begin(errCapture);
}

std::u16string StderrCaptureEnd()
{
    return End(errCapture);
}

void StdoutCaptureBegin()
{
    Begin(outCapture);
}

std::u16string StdoutCaptureEnd()
{
    return End(outCapture);
}

void SetHostVariable(const char16_t* name, const char16_t* value)
{
    StandinSetVariable(name, value);
}

void ResetHostVariables()
{
    StandinResetVariables();
}
