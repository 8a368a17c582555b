// process.h - starting a program with the standard handles it is given and
// no other handle of ours, for the kit's runner, the stand-in terminal and
// the programs of the tests that start one.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

struct ProcessStart {
    std::wstring line;                 // the command line, the program's name first
    const wchar_t* program = nullptr;  // its file, where not found by the line's first word
    const wchar_t* folder = nullptr;   // its current folder, where not ours
    DWORD flags = 0;                   // CREATE_SUSPENDED, CREATE_NEW_CONSOLE, ...
    bool handles = false;              // in, out and err are its standard handles
    HANDLE in = nullptr, out = nullptr, err = nullptr;
    DWORD_PTR attribute = 0;           // one more attribute, such as a pseudoconsole
    void* value = nullptr;
    size_t size = 0;
};

// Starts it, the process and its thread in *process: 0, or the error.  The
// standard handles given are the only ones it inherits (a handle list); a
// console's handle on an old Windows, which cannot be made inheritable,
// reaches it by its value.
inline DWORD StartProcess(const ProcessStart& start, PROCESS_INFORMATION* process)
{
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    std::vector<HANDLE> inherited;
    if (start.handles) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = start.in;
        startup.StartupInfo.hStdOutput = start.out;
        startup.StartupInfo.hStdError = start.err;
        for (HANDLE handle : {start.in, start.out, start.err})
            if (handle != nullptr && handle != INVALID_HANDLE_VALUE &&
                std::find(inherited.begin(), inherited.end(), handle) == inherited.end() &&
                SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
                inherited.push_back(handle);
    }
    const DWORD count = (inherited.empty() ? 0 : 1) + (start.attribute != 0 ? 1 : 0);
    SIZE_T bytes = 0;
    InitializeProcThreadAttributeList(nullptr, count, 0, &bytes);
    std::vector<char> storage(bytes);
    auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    const bool listed = count > 0 && InitializeProcThreadAttributeList(list, count, 0, &bytes);
    if (start.attribute != 0 &&
        (!listed || !UpdateProcThreadAttribute(list, 0, start.attribute, start.value,
                                               start.size, nullptr, nullptr))) {
        DWORD error = GetLastError();
        if (listed)
            DeleteProcThreadAttributeList(list);
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    // Without the list, nothing is inherited.
    const bool inherit = listed && !inherited.empty() &&
                         UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                   inherited.data(),
                                                   inherited.size() * sizeof(HANDLE), nullptr,
                                                   nullptr);
    if (listed)
        startup.lpAttributeList = list;
    std::wstring line = start.line;
    DWORD error = 0;
    if (!CreateProcessW(start.program, line.data(), nullptr, nullptr, inherit,
                        start.flags | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr,
                        start.folder, &startup.StartupInfo, process))
        error = GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE;
    if (listed)
        DeleteProcThreadAttributeList(list);
    return error;
}
