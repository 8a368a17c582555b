// sim_console.cpp - the simulated console screen buffer behind
// query/console.h in the native build.  Reads follow the console's own rule:
// a run continues on the following rows and stops at the end of the buffer.
#include "sim_console.h"

#include "../../query/console.h"

#include <cstddef>
#include <vector>

namespace {

struct SimState {
    int16_t width = 120;
    int16_t height = 300;
    std::vector<uint16_t> cells = std::vector<uint16_t>(120 * 300, 0x07);
    console::ScreenInfo info{{120, 300}, {0, 0}, 0, 0, 79, 24};
    bool failPending[3] = {};
    uint32_t failCode[3] = {};
    int calls[3] = {};
    uint32_t overReport = 0;
    int openHandles = 0;
    uint32_t lastError = 0;
};

SimState& State()
{
    static SimState state;
    return state;
}

int Index(simconsole::Op op)
{
    return static_cast<int>(op);
}

// Counts the call; when a failure is pending for op, consumes it.
bool Failing(simconsole::Op op)
{
    SimState& s = State();
    ++s.calls[Index(op)];
    if (!s.failPending[Index(op)])
        return false;
    s.failPending[Index(op)] = false;
    s.lastError = s.failCode[Index(op)];
    return true;
}

// Any non-null value serves as a handle; this one is recognisable in a
// debugger and is never dereferenced.
console::Handle TheHandle()
{
    static int handle;
    return &handle;
}

}  // namespace

namespace simconsole {

void Reset(int16_t width, int16_t height)
{
    SimState& s = State();
    s = SimState{};
    s.width = width;
    s.height = height;
    s.cells.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0x07);
    s.info.size = {width, height};
    s.info.right = static_cast<int16_t>((width < 80 ? width : 80) - 1);
    s.info.bottom = static_cast<int16_t>((height < 25 ? height : 25) - 1);
}

void SetWindow(int16_t left, int16_t top, int16_t right, int16_t bottom)
{
    SimState& s = State();
    s.info.left = left;
    s.info.top = top;
    s.info.right = right;
    s.info.bottom = bottom;
}

void SetCursor(int16_t column, int16_t row)
{
    State().info.cursor = {column, row};
}

void SetCell(int16_t column, int16_t row, uint16_t attribute)
{
    SimState& s = State();
    s.cells.at(static_cast<size_t>(row) * static_cast<size_t>(s.width) +
               static_cast<size_t>(column)) = attribute;
}

void FailNext(Op op, uint32_t code)
{
    State().failPending[Index(op)] = true;
    State().failCode[Index(op)] = code;
}

void OverReportNext(uint32_t extra)
{
    State().overReport = extra;
}

int OpenHandles()
{
    return State().openHandles;
}

int Calls(Op op)
{
    return State().calls[Index(op)];
}

}  // namespace simconsole

namespace console {

bool OpenOutput(Handle* handle)
{
    if (Failing(simconsole::Op::Open)) {
        *handle = reinterpret_cast<Handle>(~uintptr_t{0});  // INVALID_HANDLE_VALUE
        return false;
    }
    ++State().openHandles;
    *handle = TheHandle();
    return true;
}

bool GetScreenInfo(Handle handle, ScreenInfo* info)
{
    if (handle != TheHandle()) {
        State().lastError = 6;  // ERROR_INVALID_HANDLE
        return false;
    }
    if (Failing(simconsole::Op::Info))
        return false;
    *info = State().info;
    return true;
}

bool ReadAttributes(Handle handle, uint16_t* cells, uint32_t length, Coord at, uint32_t* read)
{
    *read = 0;
    SimState& s = State();
    if (handle != TheHandle()) {
        s.lastError = 6;
        return false;
    }
    if (Failing(simconsole::Op::Read))
        return false;
    if (at.x < 0 || at.y < 0 || at.x >= s.width || at.y >= s.height) {
        s.lastError = 87;  // ERROR_INVALID_PARAMETER
        return false;
    }
    size_t start = static_cast<size_t>(at.y) * static_cast<size_t>(s.width) +
                   static_cast<size_t>(at.x);
    size_t available = s.cells.size() - start;
    size_t n = length < available ? length : available;
    for (size_t i = 0; i < n; ++i)
        cells[i] = s.cells[start + i];
    *read = static_cast<uint32_t>(n);
    if (s.overReport != 0) {
        *read = length + s.overReport;
        s.overReport = 0;
    }
    return true;
}

void Close(Handle handle)
{
    if (handle == TheHandle() && State().openHandles > 0)
        --State().openHandles;
}

uint32_t LastError()
{
    return State().lastError;
}

}  // namespace console
