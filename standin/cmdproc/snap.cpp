// snap.cpp - "snap FILE.svg": the visible window of the console screen
// buffer as an SVG picture.  Every cell is drawn as the console shows it:
// its background, its character in its foreground colour, a line under it
// when underlined (0x8000), the two colours swapped in reverse video
// (0x4000), and the cursor marked where it stands.  Each cell carries a
// tooltip with its position as @CELLATTR counts it, its attribute in
// hexadecimal and its colour names, so that hovering over the picture reads
// it the way @CELLATTR does.
#include "cmdproc.h"

#include "../../query/color_names.h"
#include "../../windows/files.h"

#include <cstdio>
#include <string>

namespace {

// Pixels per cell, and the font drawn in them.  Each character is placed
// centred in its own cell, so the columns line up whatever font is found.
constexpr int kCellWidth = 9;
constexpr int kCellHeight = 18;
constexpr int kBaseline = 14;  // from the cell's top
constexpr const char* kFont = "Consolas, 'DejaVu Sans Mono', 'Liberation Mono', monospace";
constexpr int kFontSize = 15;

constexpr WORD kUnderline = 0x8000;  // COMMON_LVB_UNDERSCORE
constexpr WORD kReverse = 0x4000;    // COMMON_LVB_REVERSE_VIDEO

// The classic Windows console palette, as 0x00BBGGRR, for a console that
// reports no colour table of its own (all sixteen entries zero, as Wine's
// console on a terminal does).
constexpr COLORREF kStandardPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};


struct Screen {
    SHORT top = 0, left = 0;      // the window's top-left cell in the buffer
    SHORT rows = 0, columns = 0;  // the window's size in cells
    COORD cursor{};
    bool cursorVisible = true;
    COLORREF palette[16] = {};
    std::vector<CHAR_INFO> cells;  // rows x columns, row by row
};

std::string Hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// n / 2, in pixels, with the half written out when there is one.
std::string Half(int n)
{
    return std::to_string(n / 2) + (n % 2 ? ".5" : "");
}

std::string Colour(COLORREF c)
{
    return "#" + Hex(GetRValue(c), 2) + Hex(GetGValue(c), 2) + Hex(GetBValue(c), 2);
}

std::string Ascii(const char16_t* text)
{
    std::string out;
    for (; *text != 0; ++text)
        out += static_cast<char>(*text);
    return out;
}

// The long name @CELLATTR gives a colour nibble.
std::string ColourName(unsigned nibble)
{
    return (nibble & 8 ? Ascii(kBrightPrefix[0]) : std::string()) + Ascii(kBaseNames[nibble & 7]);
}

// One UTF-16 unit as UTF-8 text that XML accepts: the five reserved
// characters as references, and what XML cannot hold at all (controls, a
// lone surrogate, U+FFFE and U+FFFF) as U+FFFD.
std::string XmlCharacter(wchar_t c)
{
    switch (c) {
    case L'&': return "&amp;";
    case L'<': return "&lt;";
    case L'>': return "&gt;";
    case L'"': return "&quot;";
    case L'\'': return "&apos;";
    default: break;
    }
    unsigned u = c;
    if ((u < 0x20 && u != 0x09) || (u >= 0xD800 && u <= 0xDFFF) || u >= 0xFFFE)
        u = 0xFFFD;
    std::string out;
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | u >> 6);
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | u >> 12);
        out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
    return out;
}

bool ReadScreen(HANDLE console, Screen* screen)
{
    CONSOLE_SCREEN_BUFFER_INFOEX info{};
    info.cbSize = sizeof info;
    if (!GetConsoleScreenBufferInfoEx(console, &info)) {
        DWORD error = GetLastError();
        SystemError(u"Cannot read the screen buffer's layout", error);
        return false;
    }
    screen->top = info.srWindow.Top;
    screen->left = info.srWindow.Left;
    screen->rows = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);
    screen->columns = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
    screen->cursor = info.dwCursorPosition;
    bool reported = false;
    for (int i = 0; i < 16; ++i)
        reported = reported || info.ColorTable[i] != 0;
    for (int i = 0; i < 16; ++i)
        screen->palette[i] = reported ? info.ColorTable[i] : kStandardPalette[i];
    CONSOLE_CURSOR_INFO cursor;
    if (GetConsoleCursorInfo(console, &cursor))
        screen->cursorVisible = cursor.bVisible != FALSE;

    // A row at a time: one call's buffer has a size limit of its own.
    screen->cells.resize(static_cast<size_t>(screen->rows) * static_cast<size_t>(screen->columns));
    for (SHORT r = 0; r < screen->rows; ++r) {
        SHORT y = static_cast<SHORT>(screen->top + r);
        SMALL_RECT region{screen->left, y, static_cast<SHORT>(screen->left + screen->columns - 1),
                          y};
        if (!ReadConsoleOutputW(console, &screen->cells[static_cast<size_t>(r) * screen->columns],
                                COORD{screen->columns, 1}, COORD{0, 0}, &region)) {
            DWORD error = GetLastError();
            SystemError(u"ReadConsoleOutput failed", error);
            return false;
        }
    }
    return true;
}

const CHAR_INFO& CellAt(const Screen& screen, SHORT r, SHORT c)
{
    return screen.cells[static_cast<size_t>(r) * screen.columns + c];
}

// The palette entries a cell shows: its own colours, swapped in reverse
// video, as a console draws them.
struct Shown {
    unsigned fore, back;
};

Shown ShownColours(WORD attribute)
{
    unsigned fore = attribute & 0xF, back = attribute >> 4 & 0xF;
    if (attribute & kReverse)
        return {back, fore};
    return {fore, back};
}

// One cell: its tooltip, its background, its character and its underline.
// Positions in the tooltip count as @CELLATTR's do: the row from the
// window's top, the column from the buffer's left edge.
std::string CellSvg(const Screen& screen, SHORT r, SHORT c)
{
    const CHAR_INFO& cell = CellAt(screen, r, c);
    WORD attribute = cell.Attributes;
    Shown shown = ShownColours(attribute);
    int x = c * kCellWidth, y = r * kCellHeight;
    std::string title = "row " + std::to_string(r) + ", column " +
                        std::to_string(screen.left + c) + ": " + Hex(attribute, 2) + ", " +
                        ColourName(attribute & 0xF) + " on " + ColourName(attribute >> 4 & 0xF);
    if (attribute & kUnderline)
        title += ", underlined";
    if (attribute & kReverse)
        title += ", reverse video";

    std::string svg = "<g><title>" + title + "</title><rect x=\"" + std::to_string(x) +
                      "\" y=\"" + std::to_string(y) + "\" width=\"" +
                      std::to_string(kCellWidth) + "\" height=\"" +
                      std::to_string(kCellHeight) + "\" fill=\"" +
                      Colour(screen.palette[shown.back]) + "\"/>";
    std::string foreground = Colour(screen.palette[shown.fore]);
    wchar_t ch = cell.Char.UnicodeChar;
    if (ch != L' ' && ch != 0)
        svg += "<text x=\"" + Half(2 * x + kCellWidth) + "\" y=\"" +
               std::to_string(y + kBaseline) + "\" fill=\"" + foreground + "\">" +
               XmlCharacter(ch) + "</text>";
    if (attribute & kUnderline)
        svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" +
               std::to_string(y + kCellHeight - 1) + "\" width=\"" +
               std::to_string(kCellWidth) + "\" height=\"1\" fill=\"" + foreground + "\"/>";
    return svg + "</g>\n";
}

// The cursor: an outline around its cell, in the cell's foreground colour.
std::string CursorSvg(const Screen& screen)
{
    SHORT r = static_cast<SHORT>(screen.cursor.Y - screen.top);
    SHORT c = static_cast<SHORT>(screen.cursor.X - screen.left);
    if (!screen.cursorVisible || r < 0 || r >= screen.rows || c < 0 || c >= screen.columns)
        return {};
    unsigned fore = ShownColours(CellAt(screen, r, c).Attributes).fore;
    return "<rect class=\"cursor\" x=\"" + std::to_string(c * kCellWidth) + ".5\" y=\"" +
           std::to_string(r * kCellHeight) + ".5\" width=\"" + std::to_string(kCellWidth - 1) +
           "\" height=\"" + std::to_string(kCellHeight - 1) + "\" fill=\"none\" stroke=\"" +
           Colour(screen.palette[fore]) + "\"><title>the cursor: row " + std::to_string(r) +
           ", column " + std::to_string(screen.cursor.X) + "</title></rect>\n";
}

std::string Picture(const Screen& screen)
{
    int width = screen.columns * kCellWidth, height = screen.rows * kCellHeight;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(width) + "\" height=\"" + std::to_string(height) +
                      "\" viewBox=\"0 0 " + std::to_string(width) + " " +
                      std::to_string(height) + "\" font-family=\"" + kFont +
                      "\" font-size=\"" + std::to_string(kFontSize) +
                      "\" text-anchor=\"middle\" xml:space=\"preserve\">\n"
                      "<title>The console window: " +
                      std::to_string(screen.columns) + " columns, " +
                      std::to_string(screen.rows) + " rows</title>\n";
    for (SHORT r = 0; r < screen.rows; ++r)
        for (SHORT c = 0; c < screen.columns; ++c)
            svg += CellSvg(screen, r, c);
    svg += CursorSvg(screen);
    return svg + "</svg>\n";
}

}  // namespace

// snap FILE.svg: the file name is the rest of the line, blanks and all.
void Snap(const std::u16string& args)
{
    std::u16string path = args;
    while (!path.empty() && IsBlank(path.back()))
        path.pop_back();
    size_t start = 0;
    while (start < path.size() && IsBlank(path[start]))
        ++start;
    path.erase(0, start);
    if (path.empty()) {
        Error(u"Usage: snap FILE.svg");
        return;
    }
    HANDLE console = OpenConsole();
    if (console == INVALID_HANDLE_VALUE)
        return;
    Screen screen;
    bool read = ReadScreen(console, &screen);
    CloseHandle(console);
    DWORD error = read ? WriteFileBytes(W(path), Picture(screen)) : 0;
    if (error != 0)
        SystemError(u"Cannot write " + path, error);
}
