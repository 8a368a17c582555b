// capture_win.cpp - capture on Windows: standard error or output is pointed
// at a temporary file for the duration, and the stand-in host's UTF-8 is read
// back.
#include "capture.h"

#include "../standin/takecmd/standin_host.h"

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
    SetFilePointer(c.file, 0, nullptr, FILE_BEGIN);
    char chunk[4096];
    DWORD got;
    while (ReadFile(c.file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(c.file);
    c.file = INVALID_HANDLE_VALUE;
    std::u16string text(bytes.size(), u'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                reinterpret_cast<wchar_t*>(text.data()),
                                static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(n));
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
