// win_files.h - a whole file's bytes, wide text as UTF-8, and the system's
// text for an error, for the Windows test programs and the test kit's runner.
#pragma once

#include <windows.h>

#include <cwctype>
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

inline std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// The system's text for an error (from a module's messages where `from` is
// given: ntdll's, for a status code), on one line without trailing blanks,
// as the plugin's error reports print it.
inline std::string SystemText(DWORD error, HMODULE from = nullptr)
{
    wchar_t text[1024];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK |
                                 (from ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM),
                             from, error, 0, text, 1024, nullptr);
    std::wstring words(text, n);
    while (!words.empty() && iswspace(words.back()))
        words.pop_back();
    return Utf8(words);
}
