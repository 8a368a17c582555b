// console_layout.h - a screen buffer's size and its window's place, asked
// for and read back.  A classic console window lets a program make its
// buffer larger than the window and move the window over it.  A
// pseudoconsole, in which Windows Terminal hosts every console program,
// keeps the buffer the size of the terminal and does not move the window.
// Whatever needs a layout, or a number of cells, asks for it here, and
// learns in one line what the console refused and what it has, instead of
// failing on it later.  The test programs, the console cost program and the
// stand-in command processor and terminal use it; the plugin never arranges
// the console.
//
// For tests only: CELLATTR_TEST_CONSOLE_REFUSES=1 in the environment makes
// every request refused without asking the console, so that what a refusing
// console leads to can be checked on one that refuses nothing.
#pragma once

#include <windows.h>

#include <string>

namespace console_layout {

// The exit code of a stand-in command processor run that ended because the
// console refused the window it asked for: the end to end suite reads it as
// "skipped" (77, as automake's test drivers do).
constexpr int kRefusedExitCode = 77;

inline bool RefusalForced()
{
    char value[4];
    DWORD n = GetEnvironmentVariableA("CELLATTR_TEST_CONSOLE_REFUSES", value, sizeof value);
    return n == 1 && value[0] == '1';
}

// "a 120 x 300 screen buffer with its window of 80 x 25 at column 0, row 0"
inline std::string Describe(COORD size, SMALL_RECT window)
{
    int columns = window.Right - window.Left + 1, rows = window.Bottom - window.Top + 1;
    return "a " + std::to_string(size.X) + " x " + std::to_string(size.Y) +
           " screen buffer with its window of " + std::to_string(columns) + " x " +
           std::to_string(rows) + " at column " + std::to_string(window.Left) + ", row " +
           std::to_string(window.Top);
}

// What the console shows now, described; empty when it cannot be read.
inline std::string Shows(HANDLE out)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
        return {};
    return Describe(info.dwSize, info.srWindow);
}

// Asks for a screen buffer of `size` cells with `window` on it, then reads
// back what the console shows.  Empty when it shows just that; otherwise one
// line, starting "the console", on what it refused and what it has.
inline std::string Arrange(HANDLE out, COORD size, SMALL_RECT window)
{
    const std::string wanted = Describe(size, window);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
        return "the console refused " + wanted + ": GetConsoleScreenBufferInfo failed (error " +
               std::to_string(GetLastError()) + ")";
    const std::string had = Describe(info.dwSize, info.srWindow);
    if (RefusalForced())
        return "the console refused " + wanted +
               " (CELLATTR_TEST_CONSOLE_REFUSES=1: not asked); it has " + had;
    auto failed = [&](const char* call) {
        DWORD error = GetLastError();
        std::string now = Shows(out);
        return "the console refused " + wanted + ": " + call + " failed (error " +
               std::to_string(error) + "); it has " + (now.empty() ? had : now);
    };
    // The window must lie in the buffer at every step: made no larger than
    // both the old and the new window first, at the top-left, it fits in
    // either buffer.
    SHORT columns = window.Right - window.Left + 1, rows = window.Bottom - window.Top + 1;
    SHORT oldColumns = info.srWindow.Right - info.srWindow.Left + 1;
    SHORT oldRows = info.srWindow.Bottom - info.srWindow.Top + 1;
    SMALL_RECT small{0, 0, static_cast<SHORT>((columns < oldColumns ? columns : oldColumns) - 1),
                     static_cast<SHORT>((rows < oldRows ? rows : oldRows) - 1)};
    SetConsoleWindowInfo(out, TRUE, &small);
    if (!SetConsoleScreenBufferSize(out, size))
        return failed("SetConsoleScreenBufferSize");
    if (!SetConsoleWindowInfo(out, TRUE, &window))
        return failed("SetConsoleWindowInfo");
    if (!GetConsoleScreenBufferInfo(out, &info))
        return failed("GetConsoleScreenBufferInfo");
    if (info.dwSize.X != size.X || info.dwSize.Y != size.Y ||
        info.srWindow.Left != window.Left || info.srWindow.Top != window.Top ||
        info.srWindow.Right != window.Right || info.srWindow.Bottom != window.Bottom)
        return "the console was asked for " + wanted + ", and shows " +
               Describe(info.dwSize, info.srWindow);
    return {};
}

// Makes sure of a window of at least `columns` x `rows` cells and of at
// least `cells` cells from the window's top row to the buffer's end (where a
// run that starts there can go).  A console that has them already is not
// asked, so a small pane that is large enough runs what needs no more, even
// with CELLATTR_TEST_CONSOLE_REFUSES=1; otherwise the window is asked for at
// the buffer's top-left, the buffer grown to hold it and the cells.  Empty
// when the console has what is needed; else the line of Arrange.
inline std::string AtLeast(HANDLE out, SHORT columns, SHORT rows, DWORD cells = 0)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
        return "the console's layout cannot be read: GetConsoleScreenBufferInfo failed (error " +
               std::to_string(GetLastError()) + ")";
    SHORT haveColumns = info.srWindow.Right - info.srWindow.Left + 1;
    SHORT haveRows = info.srWindow.Bottom - info.srWindow.Top + 1;
    DWORD below = static_cast<DWORD>(info.dwSize.Y - info.srWindow.Top) *
                  static_cast<DWORD>(info.dwSize.X);
    if (haveColumns >= columns && haveRows >= rows && below >= cells)
        return {};
    SHORT wantColumns = haveColumns > columns ? haveColumns : columns;
    SHORT wantRows = haveRows > rows ? haveRows : rows;
    SHORT width = info.dwSize.X > wantColumns ? info.dwSize.X : wantColumns;
    DWORD height = (cells + static_cast<DWORD>(width) - 1) / static_cast<DWORD>(width);
    if (height < static_cast<DWORD>(info.dwSize.Y))
        height = static_cast<DWORD>(info.dwSize.Y);
    if (height < static_cast<DWORD>(wantRows))
        height = static_cast<DWORD>(wantRows);
    return Arrange(out, COORD{width, static_cast<SHORT>(height > 32766 ? 32766 : height)},
                   SMALL_RECT{0, 0, static_cast<SHORT>(wantColumns - 1),
                              static_cast<SHORT>(wantRows - 1)});
}

// Which kind of console this process has, by the class of the window that
// GetConsoleWindow returns: "a classic console window", "a pseudoconsole"
// (Windows Terminal's, or pseudoconsole.exe's), or what was found otherwise.
// Wine gives every console a window of one class of its own, shown only
// for a console of its own window (start's); pseudoconsole.exe marks what
// it starts (kPseudoconsoleMark), which tells Wine's pseudoconsole from a
// console on a terminal.
constexpr const char* kPseudoconsoleMark = "CELLATTR_IN_PSEUDOCONSOLE";

inline std::string Kind()
{
    HWND window = GetConsoleWindow();
    if (window == nullptr)
        return "a console without a window of its own";
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "ConsoleWindowClass")
        return "a classic console window";
    if (std::string(name) == "PseudoConsoleWindow")
        return "a pseudoconsole";
    if (std::string(name) == "WineConsoleClass") {
        if (IsWindowVisible(window))
            return "a classic console window (Wine's)";
        if (GetEnvironmentVariableA(kPseudoconsoleMark, nullptr, 0) > 0)
            return "a pseudoconsole (Wine's)";
        return "a console of Wine's on a terminal";
    }
    return std::string("a console whose window is of class \"") + name + "\"";
}

}  // namespace console_layout
