// files.h - a whole file's bytes read or written, text between UTF-8 and
// UTF-16, and the system's text for an error, for the Windows programs of
// the kit, the stand-ins and the tests.
#pragma once

#include <windows.h>

#include <cwctype>
#include <string>
#include <string_view>

// Appends what is left to read of a file or pipe to *bytes.  False on a
// read error.
inline bool ReadHandleBytes(HANDLE file, std::string* bytes)
{
    char chunk[65536];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
        if (got == 0)
            return true;
        bytes->append(chunk, got);
    }
    return GetLastError() == ERROR_BROKEN_PIPE;
}

// Appends the file's bytes to *bytes.  False when it cannot be opened or read.
inline bool ReadFileBytes(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool read = ReadHandleBytes(file, bytes);
    CloseHandle(file);
    return read;
}

// Writes bytes as the whole file, or at its end where `append`: 0, or the
// error.
inline DWORD WriteFileBytes(const std::wstring& path, const std::string& bytes,
                            bool append = false)
{
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0, error = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        error = GetLastError();
    else if (written != bytes.size())
        error = ERROR_WRITE_FAULT;
    CloseHandle(file);
    return error;
}

inline std::string Utf8(const wchar_t* text, size_t size)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), out.data(), n, nullptr,
                        nullptr);
    return out;
}

inline std::string Utf8(const std::wstring& text)
{
    return Utf8(text.data(), text.size());
}

// UTF-8 into *text (a std::wstring or std::u16string).  With
// MB_ERR_INVALID_CHARS as flags, bytes that are not UTF-8 make it fail;
// without, they become U+FFFD.
template <typename Utf16String>
bool Utf16(std::string_view bytes, Utf16String* text, DWORD flags = 0)
{
    text->clear();
    if (bytes.empty())
        return true;
    int n = MultiByteToWideChar(CP_UTF8, flags, bytes.data(), static_cast<int>(bytes.size()),
                                nullptr, 0);
    if (n == 0)
        return false;
    text->resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, flags, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(text->data()), n);
    return true;
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
