// capture_win.cpp - capture on Windows: standard error is pointed at a
// temporary file for the duration, and the stand-in host's UTF-8 is read back.
#include "capture.h"

#include "../standin/standin_host.h"

#include <windows.h>

namespace {
HANDLE savedStderr = nullptr;
HANDLE captureFile = INVALID_HANDLE_VALUE;
}  // namespace

void StderrCaptureBegin()
{
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"cap", 0, path);
    captureFile = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr);
    savedStderr = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, captureFile);
}

std::u16string StderrCaptureEnd()
{
    SetStdHandle(STD_ERROR_HANDLE, savedStderr);
    if (captureFile == INVALID_HANDLE_VALUE)
        return u"<capture failed>";
    std::string bytes;
    SetFilePointer(captureFile, 0, nullptr, FILE_BEGIN);
    char chunk[4096];
    DWORD got;
    while (ReadFile(captureFile, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(captureFile);
    captureFile = INVALID_HANDLE_VALUE;
    std::u16string text(bytes.size(), u'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                reinterpret_cast<wchar_t*>(text.data()),
                                static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(n));
    return text;
}

void SetHostVariable(const char16_t* name, const char16_t* value)
{
    StandinSetVariable(name, value);
}

void ResetHostVariables()
{
    StandinResetVariables();
}
