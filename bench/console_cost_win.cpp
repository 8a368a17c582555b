// console_cost_win.cpp - what @CELLATTR costs beyond the console calls that
// any implementation must make for the same cells.  Run on a real console
// (tools/bench.sh runs it under Wine on a pseudo-terminal), beside
// CellAttr.dll and TakeCmd.dll.
//
// For each case it times, in the same run and interleaved round by round,
//   (a) f_cellattr, loaded as the host loads it, and
//   (b) the bare sequence: open CONOUT$, get the screen buffer info, read the
//       attributes, close the handle,
// and prints the medians and their ratio a/b.  Consoles (Wine's above all)
// are slow and noisy, so each round times one call of each, back to back,
// the order alternating between rounds, and the medians over many rounds are
// compared; the median of the rounds' own ratios is printed beside them.
//
//   console_cost [ROUNDS]      exit 0 when every call succeeded; the ratio
//                              targets are reported, not enforced
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using CellAttrFunction = int(__stdcall*)(char16_t*);

constexpr size_t kHostCapacity = 32768;  // the host's result buffer, in characters
constexpr SHORT kWidth = 120;
constexpr SHORT kHeight = 300;

struct Case {
    const char16_t* args;
    const char* label;
    DWORD cells;
    double target;  // the most a/b may be
};

const Case kCases[] = {
    {u"0,0,1024,3", "1024 cells, format 3", 1024, 1.02},
    {u"0,0,1,0", "1 cell, format 0", 1, 1.05},
};

[[noreturn]] void Die(const char* what)
{
    std::fprintf(stderr, "console_cost: %s (error %lu)\n", what, GetLastError());
    std::exit(2);
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

// The screen the calls read: a 120 x 300 buffer, the window at the top-left,
// and every low byte in a scattered order, as in the native benchmark, so
// that the colour names vary as on a real screen.
void PrepareScreen()
{
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE)
        Die("no console to measure");
    SMALL_RECT small{0, 0, 79, 24};
    SetConsoleWindowInfo(out, TRUE, &small);
    if (!SetConsoleScreenBufferSize(out, COORD{kWidth, kHeight}))
        Die("cannot size the screen buffer");
    if (!SetConsoleWindowInfo(out, TRUE, &small))
        Die("cannot place the window");
    std::vector<WORD> cells(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < cells.size(); ++i)
        cells[i] = static_cast<WORD>((i * 73) & 0xFF);
    DWORD written = 0;
    if (!WriteConsoleOutputAttribute(out, cells.data(), static_cast<DWORD>(cells.size()),
                                     COORD{0, 0}, &written) ||
        written != cells.size())
        Die("cannot paint the screen buffer");
    CloseHandle(out);
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

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 2001;
    if (rounds < 1)
        rounds = 1;

    HMODULE module = LoadLibraryW(L"CellAttr.dll");
    if (module == nullptr)
        Die("cannot load CellAttr.dll");
    auto function = reinterpret_cast<CellAttrFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "f_cellattr")));
    if (function == nullptr)
        Die("CellAttr.dll has no f_cellattr");

    PrepareScreen();

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<char16_t> buffer(kHostCapacity);
    std::vector<WORD> cells(1024);

    std::printf("rounds: %d, medians per call\n", rounds);
    bool allMet = true;
    for (const Case& c : kCases) {
        const std::u16string args = c.args;

        // Both sides must read the cells asked for; a failing call would time
        // an error path (and the plugin would write its message to stderr).
        DWORD read = 0;
        if (!CallPlugin(function, args, buffer.data()))
            Die("@CELLATTR failed");
        if (!BareSequence(c.cells, cells.data(), &read) || read != c.cells)
            Die("the console calls failed");

        std::vector<double> plugin, bare, paired;
        int failures = 0;
        for (int round = 0; round < rounds; ++round) {
            double a = 0, b = 0;
            for (int half = 0; half < 2; ++half) {
                bool pluginTurn = (half == 0) == (round % 2 == 0);
                LARGE_INTEGER t0, t1;
                QueryPerformanceCounter(&t0);
                bool ok = pluginTurn ? CallPlugin(function, args, buffer.data())
                                     : BareSequence(c.cells, cells.data(), &read);
                QueryPerformanceCounter(&t1);
                failures += ok ? 0 : 1;
                (pluginTurn ? a : b) = Seconds(t0, t1, frequency);
            }
            plugin.push_back(a);
            bare.push_back(b);
            paired.push_back(a / b);
        }
        if (failures != 0)
            Die("calls failed while being timed");

        double a = Median(plugin), b = Median(bare), ratio = a / b;
        bool met = ratio <= c.target;
        allMet = allMet && met;
        std::printf("%-20s  @CELLATTR %9.1f us  console calls %9.1f us  ratio a/b %.3f"
                    " (paired %.3f)  target <= %.2f  %s\n",
                    c.label, a * 1e6, b * 1e6, ratio, Median(paired), c.target,
                    met ? "met" : "MISSED");
    }
    std::printf("console cost targets: %s\n", allMet ? "all met" : "not all met");
    std::fflush(stdout);
    return 0;
}
