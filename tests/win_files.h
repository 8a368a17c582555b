// win_files.h - reading a whole file, for the Windows test programs.
#pragma once

#include <windows.h>

#include <string>

// Appends the file's bytes to *bytes.  False when it cannot be opened.
inline bool ReadFileBytes(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char chunk[65536];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes->append(chunk, got);
    CloseHandle(file);
    return true;
}
