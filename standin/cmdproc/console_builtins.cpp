// console_builtins.cpp - the built-ins that change the console screen
// buffer (builtins.cpp lists them all).  Rows and columns count as
// @CELLATTR's do: rows from the window's top, columns from the buffer's left
// edge, either from the cursor when signed.
#include "cmdproc.h"

#include "../../windows/console_layout.h"

#include <algorithm>

namespace {

bool ParseCell(HANDLE console, const std::u16string& rowWord, const std::u16string& columnWord,
               COORD* cell)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        DWORD error = GetLastError();
        SystemError(u"Cannot read the screen buffer's layout", error);
        return false;
    }
    long long row, column;
    if (!ParseNumber(rowWord, &row) || !ParseNumber(columnWord, &column)) {
        Error(u"Bad row or column: " + rowWord + u" " + columnWord);
        return false;
    }
    bool rowRelative = !rowWord.empty() && (rowWord[0] == u'+' || rowWord[0] == u'-');
    bool columnRelative = !columnWord.empty() && (columnWord[0] == u'+' || columnWord[0] == u'-');
    row += rowRelative ? info.dwCursorPosition.Y : info.srWindow.Top;
    column += columnRelative ? info.dwCursorPosition.X : 0;
    if (row < 0 || row >= info.dwSize.Y || column < 0 || column >= info.dwSize.X) {
        Error(u"Outside the screen buffer: " + rowWord + u" " + columnWord);
        return false;
    }
    *cell = COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)};
    return true;
}

// Opens the console and finds the cell that the row and column words name.
// On success the caller owns *console and closes it; on failure it has been
// closed and the reason printed.
bool OpenAtCell(const std::u16string& rowWord, const std::u16string& columnWord, HANDLE* console,
                COORD* at)
{
    *console = OpenConsole();
    if (*console == INVALID_HANDLE_VALUE)
        return false;
    if (ParseCell(*console, rowWord, columnWord, at))
        return true;
    CloseHandle(*console);
    return false;
}

}  // namespace

// paint row col len attr [attr...]: len cells from (row, col) on, taking the
// attributes in turn and starting over when they run out.
void Paint(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string rowWord = NextWord(args, pos);
    std::u16string columnWord = NextWord(args, pos);
    std::u16string lengthWord = NextWord(args, pos);
    std::vector<WORD> attributes;
    for (std::u16string word = NextWord(args, pos); !word.empty(); word = NextWord(args, pos)) {
        long long value;
        if (!ParseNumber(word, &value) || value < 0 || value > 0xFFFF) {
            Error(u"Bad attribute: " + word);
            return;
        }
        attributes.push_back(static_cast<WORD>(value));
    }
    long long length;
    if (attributes.empty() || !ParseNumber(lengthWord, &length) || length < 1 || length > 65536) {
        Error(u"Usage: paint row col len attr [attr...]");
        return;
    }
    HANDLE console;
    COORD at;
    if (!OpenAtCell(rowWord, columnWord, &console, &at))
        return;
    std::vector<WORD> cells(static_cast<size_t>(length));
    for (size_t i = 0; i < cells.size(); ++i)
        cells[i] = attributes[i % attributes.size()];
    DWORD written;
    if (!WriteConsoleOutputAttribute(console, cells.data(), static_cast<DWORD>(cells.size()), at,
                                     &written)) {
        DWORD error = GetLastError();
        SystemError(u"WriteConsoleOutputAttribute failed", error);
    }
    CloseHandle(console);
}

// write row col text: characters into the screen buffer, attributes as they
// are, so that a painted run shows its foreground colours.
void WriteText(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string rowWord = NextWord(args, pos);
    std::u16string columnWord = NextWord(args, pos);
    std::u16string text = Rest(args, pos);
    if (columnWord.empty() || text.empty()) {
        Error(u"Usage: write row col text");
        return;
    }
    HANDLE console;
    COORD at;
    if (!OpenAtCell(rowWord, columnWord, &console, &at))
        return;
    DWORD written;
    if (!WriteConsoleOutputCharacterW(console, W(text), static_cast<DWORD>(text.size()), at,
                                      &written)) {
        DWORD error = GetLastError();
        SystemError(u"WriteConsoleOutputCharacter failed", error);
    }
    CloseHandle(console);
}

void MoveCursor(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string rowWord = NextWord(args, pos);
    std::u16string columnWord = NextWord(args, pos);
    if (columnWord.empty()) {
        Error(u"Usage: cursor row col");
        return;
    }
    HANDLE console;
    COORD at;
    if (!OpenAtCell(rowWord, columnWord, &console, &at))
        return;
    if (!SetConsoleCursorPosition(console, at)) {
        DWORD error = GetLastError();
        SystemError(u"SetConsoleCursorPosition failed", error);
    }
    CloseHandle(console);
}

// Blanks the whole buffer in the current colours and puts the window and the
// cursor at its top-left, so that window rows and buffer rows agree.
void ClearScreen()
{
    HANDLE console = OpenConsole();
    if (console == INVALID_HANDLE_VALUE)
        return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(console, &info)) {
        DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        DWORD written;
        FillConsoleOutputCharacterW(console, L' ', cells, COORD{0, 0}, &written);
        FillConsoleOutputAttribute(console, info.wAttributes, cells, COORD{0, 0}, &written);
        SMALL_RECT window{0, 0, static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left),
                          static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top)};
        SetConsoleWindowInfo(console, TRUE, &window);
        SetConsoleCursorPosition(console, COORD{0, 0});
    }
    CloseHandle(console);
}

// window cols rows: makes the visible window that many cells, at the
// buffer's top-left, growing the buffer where it is smaller, so that a
// snapshot has a known size.  What follows in a batch file relies on that
// window, so when the console does not show it afterwards (a pseudoconsole
// keeps the terminal's), the run ends with one line saying what the console
// refused and the exit code that the end to end suite reads as "skipped";
// under /w it goes on.
bool anyWindow = false;

void SizeWindow(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string columnsWord = NextWord(args, pos);
    std::u16string rowsWord = NextWord(args, pos);
    long long columns, rows;
    if (!ParseNumber(columnsWord, &columns) || !ParseNumber(rowsWord, &rows) || columns < 1 ||
        rows < 1 || columns > 1000 || rows > 1000) {
        Error(u"Usage: window cols rows (1 to 1000 each)");
        return;
    }
    HANDLE console = OpenConsole();
    if (console == INVALID_HANDLE_VALUE)
        return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(console, &info)) {
        COORD size{std::max(info.dwSize.X, static_cast<SHORT>(columns)),
                   std::max(info.dwSize.Y, static_cast<SHORT>(rows))};
        SMALL_RECT window{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
        std::string refused = console_layout::Arrange(console, size, window);
        if (!refused.empty() && anyWindow) {
            Error(u"going on in the window it has: " +
                  std::u16string(refused.begin(), refused.end()));
        } else if (!refused.empty()) {
            Error(u"skipped: " + std::u16string(refused.begin(), refused.end()));
            RequestExit(console_layout::kRefusedExitCode);
        }
    } else {
        DWORD error = GetLastError();
        SystemError(u"Cannot read the screen buffer's layout", error);
    }
    CloseHandle(console);
}

// Gives up the console, so that the plugin meets a process without one.
void Detach()
{
    if (!FreeConsole()) {
        DWORD error = GetLastError();
        SystemError(u"FreeConsole failed", error);
    }
}
