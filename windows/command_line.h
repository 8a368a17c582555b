// command_line.h - a program's own command line as written, for
// pseudoconsole.exe, which runs the rest of its own as a command: Windows
// hands a program one line, and whatever follows the program's name must
// reach the command unchanged, quotes and all.  And the arguments that the
// kit's measure-cost and console_cost.exe share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace command_line {

// What follows the program's own name on its command line, as written, with
// the blanks around it dropped.
inline std::wstring Tail()
{
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        for (++p; *p != L'\0' && *p != L'"'; ++p) {
        }
        if (*p == L'"')
            ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    std::wstring tail = p;
    // cmd.exe leaves the blanks before a redirection it has taken away.
    while (!tail.empty() && (tail.back() == L' ' || tail.back() == L'\t'))
        tail.pop_back();
    return tail;
}

// Takes the first blank-separated word off the front of text.
inline std::wstring TakeWord(std::wstring& text)
{
    size_t end = text.find_first_of(L" \t");
    std::wstring word = text.substr(0, end);
    size_t next = text.find_first_not_of(L" \t", end);
    text = next == std::wstring::npos ? std::wstring() : text.substr(next);
    return word;
}

// [ROUNDS] [/summary FILE], ROUNDS 1 to 999999999 (2001 where not given).
// False where the arguments are not that.
inline bool CostArguments(const std::vector<std::wstring>& args, std::wstring* rounds,
                          std::wstring* summary)
{
    bool given = false;
    *rounds = L"2001";
    for (size_t i = 0; i < args.size(); ++i) {
        if (_wcsicmp(args[i].c_str(), L"/summary") == 0 && i + 1 < args.size()) {
            *summary = args[++i];
        } else if (!given && !args[i].empty() && args[i].size() <= 9 &&
                   args[i].find_first_not_of(L"0123456789") == std::wstring::npos &&
                   wcstoul(args[i].c_str(), nullptr, 10) > 0) {
            *rounds = args[i];
            given = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace command_line
