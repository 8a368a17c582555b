// takecmd.cpp - a stand-in for the host's TakeCmd.dll: formatted output to
// the console and to a handle, and variable expansion (expand.cpp) over a
// small table.
// Built natively as a library linked into the tests (output is recorded per
// handle), and for Windows as TakeCmd.dll (output goes to the real handle).
#define STANDIN_HOST_BUILD
#include "standin_host.h"

#include "expand.h"
#include "format.h"
#include "../../host/interface/host_services.h"

#include <cstdarg>
#include <map>
#include <string>

#ifdef _WIN32
#include "../../windows/files.h"
#endif

namespace {

using VariableTable = std::map<std::u16string, std::u16string>;

// A host that runs no batch file, interactively.
VariableTable DefaultVariables()
{
    return {{u"_BATCH", u"0"}, {u"_TRANSIENT", u"0"}, {u"_PIPE", u"0"}};
}

// Names are kept upper-cased (ASCII), so lookups ignore case.
VariableTable& Variables()
{
    static VariableTable table = DefaultVariables();
    return table;
}

std::u16string Key(const char16_t* name, size_t n)
{
    std::u16string key(name, n);
    for (char16_t& c : key)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 32);
    return key;
}

std::u16string Lookup(const std::u16string& name)
{
    auto it = Variables().find(Key(name.data(), name.size()));
    return it == Variables().end() ? std::u16string() : it->second;
}

#ifdef _WIN32
void WriteToHandle(HANDLE handle, const std::u16string& text)
{
    DWORD mode, written;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Files and pipes get UTF-8, which is what the tests and the demo read.
    std::string utf8 = Utf8(reinterpret_cast<const wchar_t*>(text.data()), text.size());
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}
#else
std::map<void*, std::u16string>& Recorded()
{
    static std::map<void*, std::u16string> recorded;
    return recorded;
}
#endif

void Write(void* handle, const std::u16string& text)
{
#ifdef _WIN32
    WriteToHandle(handle, text);
#else
    Recorded()[handle] += text;
#endif
}

}  // namespace

extern "C" {

void StandinSetVariable(const char16_t* name, const char16_t* value)
{
    size_t n = 0;
    while (name[n] != 0)
        ++n;
    if (value == nullptr)
        Variables().erase(Key(name, n));
    else
        Variables()[Key(name, n)] = value;
}

int StandinGetVariable(const char16_t* name, char16_t* out, size_t capacity)
{
    size_t n = 0;
    while (name[n] != 0)
        ++n;
    auto it = Variables().find(Key(name, n));
    std::u16string value = it == Variables().end() ? std::u16string() : it->second;
    if (capacity > 0) {
        size_t k = value.size() < capacity - 1 ? value.size() : capacity - 1;
        value.copy(out, k);
        out[k] = 0;
    }
    return it != Variables().end();
}

void StandinResetVariables()
{
    Variables() = DefaultVariables();
}

void StandinExpand(char16_t* buffer, size_t capacity)
{
    if (buffer == nullptr || capacity == 0)
        return;
    // Functions are the command processor's to call: "%@" stays as it is.
    std::u16string out = standin::ExpandText(buffer, Lookup, nullptr);
    size_t n = out.size() < capacity - 1 ? out.size() : capacity - 1;
    out.copy(buffer, n);
    buffer[n] = 0;
}

int Printf(const char16_t* format, ...)
{
    std::u16string text;
    va_list ap;
    va_start(ap, format);
    FormatAppend(text, format, ap);
    va_end(ap);
#ifdef _WIN32
    Write(GetStdHandle(STD_OUTPUT_HANDLE), text);
#else
    Write(standin::StdOutput(), text);
#endif
    return static_cast<int>(text.size());
}

int Qprintf(void* handle, const char16_t* format, ...)
{
    std::u16string text;
    va_list ap;
    va_start(ap, format);
    FormatAppend(text, format, ap);
    va_end(ap);
    Write(handle, text);
    return static_cast<int>(text.size());
}

// As a real host does, the whole expansion is written back in place, up to
// the host's own line limit: the size of the caller's buffer is not known
// here, so it is the caller's to make large enough.  The module passes 1,
// the only value whose meaning we know; any other is refused aloud, on
// standard error, with the buffer left as it was, so that a test fails.
int ExpandVariables(char16_t* buffer, int flag)
{
    if (flag != 1) {
        std::u16string text = u"stand-in host: ExpandVariables was passed ";
        for (char c : std::to_string(flag))
            text += static_cast<char16_t>(c);
        text += u", not 1\r\n";
#ifdef _WIN32
        Write(GetStdHandle(STD_ERROR_HANDLE), text);
#else
        Write(standin::StdError(), text);
#endif
        return -1;
    }
    StandinExpand(buffer, HOST_LINE_LIMIT + 1);
    return 0;
}

}  // extern "C"

#ifndef _WIN32
namespace standin {

void* StdOutput()
{
    static int handle;
    return &handle;
}

void* StdError()
{
    static int handle;
    return &handle;
}

std::u16string TakeOutput(void* handle)
{
    std::u16string text;
    text.swap(Recorded()[handle]);
    return text;
}

MessageBoxRecord& MessageBoxes()
{
    static MessageBoxRecord record;
    return record;
}

}  // namespace standin
#endif
