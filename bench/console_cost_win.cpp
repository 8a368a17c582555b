// console_cost_win.cpp - what @CELLATTR costs beyond the console calls that
// any implementation must make for the same cells, on the console it runs
// in.  tools/bench.sh runs it under Wine on a pseudo-terminal; the test kit
// ships it beside CellAttr.dll and TakeCmd.dll, with measure-cost.cmd, so
// that it can be run on Windows' own consoles (classic and pseudoconsole).
//
// For each case it times, in the same run and interleaved round by round,
//   (a) f_cellattr, loaded as the host loads it, and
//   (b) the bare sequence: open CONOUT$, get the screen buffer info, read the
//       attributes, close the handle,
// and prints the medians and their ratio a/b.  Consoles are slow and noisy,
// so each round times one call of each, back to back, the order alternating
// between rounds, and the medians over many rounds are compared; the median
// of the rounds' own ratios is printed beside them.  No figure is a target:
// a console's timings belong to the console.
//
//   console_cost [ROUNDS] [/summary FILE]
//
// It exits with 0 when every call succeeded, and with 1 otherwise.  With
// /summary it also appends its figures to FILE as a Markdown table, once
// every call has succeeded (measure-cost.cmd passes CI's job summary on).
//
// It works in a screen buffer of its own, so the console it runs in keeps
// what it showed.
#include "../host/interface/host_limits.h"
#include "../windows/command_line.h"
#include "../windows/console_layout.h"
#include "../windows/files.h"
#include "../windows/no_fault_ui.h"
#include "../windows/scratch_console.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using CellAttrFunction = int(__stdcall*)(char16_t*);

constexpr DWORD kMostCells = 1024;

struct Case {
    const char16_t* args;
    const char* label;
    DWORD cells;
};

const Case kCases[] = {
    {u"0,0,1,0", "1 cell", 1},
    {u"0,0,1024,3", "1024 names", kMostCells},
};

[[noreturn]] void Die(const std::string& what)
{
    std::fflush(stdout);
    std::fprintf(stderr, "console_cost: %s\n", what.c_str());
    scratch_console::End();
    std::exit(1);
}

[[noreturn]] void DieOn(const char* what)
{
    Die(std::string(what) + " (error " + std::to_string(GetLastError()) + ")");
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The screen the calls read: a buffer of our own with at least 1024 cells
// from the window's top, every low byte in a scattered order, as in the
// native benchmark, so that the colour names vary as on a real screen.
// Returns what the console has, described.
std::string PrepareScreen()
{
    if (!scratch_console::Begin())
        DieOn("no console to measure, or it gives no screen buffer of our own");
    HANDLE out = scratch_console::Own();
    std::string refused = console_layout::AtLeast(out, 1, 1, kMostCells);
    if (!refused.empty())
        Die(refused + "; the 1024-cell case needs that many cells from the window's top");
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
        DieOn("cannot read the screen buffer's layout");
    std::vector<WORD> cells(static_cast<size_t>(info.dwSize.X) * info.dwSize.Y);
    for (size_t i = 0; i < cells.size(); ++i)
        cells[i] = static_cast<WORD>((i * 73) & 0xFF);
    DWORD written = 0;
    if (!WriteConsoleOutputAttribute(out, cells.data(), static_cast<DWORD>(cells.size()),
                                     COORD{0, 0}, &written) ||
        written != cells.size())
        DieOn("cannot paint the screen buffer");
    return console_layout::Shows(out);
}

// (a): one call as the host makes it, the arguments in the result buffer.
bool CallPlugin(CellAttrFunction function, const std::u16string& args, char16_t* buffer)
{
    std::copy(args.begin(), args.end(), buffer);
    buffer[args.size()] = 0;
    return function(buffer) == 0;
}

// (b): the console calls that reading the same cells needs, and no more.
bool BareSequence(DWORD length, WORD* cells, DWORD* read)
{
    HANDLE handle = CreateFileW(L"CONOUT$", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CONSOLE_SCREEN_BUFFER_INFO info;
    bool ok = GetConsoleScreenBufferInfo(handle, &info) &&
              ReadConsoleOutputAttribute(handle, cells, length, COORD{0, info.srWindow.Top}, read);
    CloseHandle(handle);
    return ok;
}


}  // namespace

int wmain(int argc, wchar_t** argv)
{
    NoFaultUi();
    std::wstring roundsGiven, summary;
    if (!command_line::CostArguments({argv + 1, argv + argc}, &roundsGiven, &summary))
        Die("usage: console_cost [ROUNDS] [/summary FILE], ROUNDS 1 or more");
    const int rounds = _wtoi(roundsGiven.c_str());
    // The console's kind before our own buffer is made active: the same.
    const std::string kind = console_layout::Kind();

    HMODULE module = LoadLibraryW(L"CellAttr.dll");
    if (module == nullptr)
        DieOn("cannot load CellAttr.dll");
    auto function = reinterpret_cast<CellAttrFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "f_cellattr")));
    if (function == nullptr)
        Die("CellAttr.dll has no f_cellattr");

    const std::string layout = PrepareScreen();

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<char16_t> buffer(HOST_RESULT_CAPACITY);
    std::vector<WORD> cells(kMostCells);

    char heading[512];
    std::snprintf(heading, sizeof heading, "console_cost: in %s, %s; %d rounds, medians per call",
                  kind.c_str(), layout.c_str(), rounds);
    std::printf("%s\n", heading);
    std::string table = std::string("### measure-cost: ") + heading +
                        "\n\n| cells | (a) @CELLATTR | (b) console calls | a/b | paired a/b |\n"
                        "|---|---|---|---|---|\n";
    for (const Case& c : kCases) {
        const std::u16string args = c.args;

        // Both sides must read the cells asked for; a failing call would time
        // an error path (and the plugin would write its message to stderr).
        DWORD read = 0;
        if (!CallPlugin(function, args, buffer.data()))
            Die("@CELLATTR[" + std::string(args.begin(), args.end()) + "] failed");
        if (!BareSequence(c.cells, cells.data(), &read) || read != c.cells)
            DieOn("the console calls failed, or read fewer cells than asked");

        std::vector<double> plugin, bare, paired;
        for (int round = 0; round < rounds; ++round) {
            double a = 0, b = 0;
            for (int half = 0; half < 2; ++half) {
                bool pluginTurn = (half == 0) == (round % 2 == 0);
                LARGE_INTEGER t0, t1;
                QueryPerformanceCounter(&t0);
                bool ok = pluginTurn ? CallPlugin(function, args, buffer.data())
                                     : BareSequence(c.cells, cells.data(), &read);
                QueryPerformanceCounter(&t1);
                if (!ok)
                    Die("a call failed while being timed");
                (pluginTurn ? a : b) = Seconds(t0, t1, frequency);
            }
            plugin.push_back(a);
            bare.push_back(b);
            paired.push_back(a / b);
        }

        double a = Median(plugin), b = Median(bare);
        std::printf("%-12s  (a) @CELLATTR %9.1f us  (b) console calls %9.1f us  a/b %.3f"
                    " (paired %.3f)\n",
                    c.label, a * 1e6, b * 1e6, a / b, Median(paired));
        char row[256];
        std::snprintf(row, sizeof row, "| %s | %.1f us | %.1f us | %.3f | %.3f |\n", c.label,
                      a * 1e6, b * 1e6, a / b, Median(paired));
        table += row;
    }
    scratch_console::End();
    std::fflush(stdout);
    table += "\n(a) is @CELLATTR's median time per call, (b) the bare console calls' for the "
             "same cells; no figure is a target.\n\n";
    if (DWORD error = summary.empty() ? 0 : WriteFileBytes(summary, table, true); error != 0)
        Die("cannot write the summary (error " + std::to_string(error) + ")");
    return 0;
}
