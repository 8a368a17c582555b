// common.cpp - what every file of the stand-in command processor uses (see
// common.h).
#include "common.h"

#include "../../host/interface/host_services.h"

void Out(const std::u16string& text)
{
    Qprintf(GetStdHandle(STD_OUTPUT_HANDLE), u"%s", text.c_str());
}

void Error(const std::u16string& text)
{
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), u"cmdproc: %s\r\n", text.c_str());
}

void SystemError(const std::u16string& what, DWORD code)
{
    Error(what + u" (error " + Number(code) + u")");
}

namespace {
bool exitRequested = false;
int exitCode = 0;
}  // namespace

void RequestExit(int code)
{
    exitRequested = true;
    exitCode = code;
}

bool ExitRequested()
{
    return exitRequested;
}

int ExitCode()
{
    return exitCode;
}

std::u16string Number(long long value)
{
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

const wchar_t* W(const std::u16string& s)
{
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::u16string Lower(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
    return text;
}

std::u16string NextWord(const std::u16string& text, size_t& pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

std::u16string Rest(const std::u16string& text, size_t pos)
{
    if (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return text.substr(pos);
}

bool ParseNumber(const std::u16string& word, long long* value)
{
    size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == u'+' || word[i] == u'-')) {
        negative = word[i] == u'-';
        ++i;
    }
    int base = 10;
    if (word.size() - i > 2 && word[i] == u'0' && (word[i + 1] == u'x' || word[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= word.size())
        return false;
    long long v = 0;
    for (; i < word.size(); ++i) {
        char16_t c = word[i];
        int d = c >= u'0' && c <= u'9'   ? c - u'0'
                : c >= u'a' && c <= u'f' ? c - u'a' + 10
                : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                         : 99;
        if (d >= base)
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFll)
            return false;
    }
    *value = negative ? -v : v;
    return true;
}

HANDLE OpenConsole()
{
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        SystemError(u"No console", error);
    }
    return console;
}
