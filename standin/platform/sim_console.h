// sim_console.h - a simulated console screen buffer for the native build.
// It implements the calls of query/console.h; tests set its size, window,
// cursor and cells, can make the next open, info or read call fail with a
// chosen error code, and can make the next read report more cells than asked.
#pragma once

#include <cstdint>

namespace simconsole {

enum class Op { Open, Info, Read };

// A buffer of width x height cells, all 0x07, the window at the top-left
// (up to 80 x 25), the cursor at 0,0, no failures pending, no handles open.
void Reset(int16_t width = 120, int16_t height = 300);
void SetWindow(int16_t left, int16_t top, int16_t right, int16_t bottom);
// Leaves the window where it is, wherever the cursor goes; a real console
// scrolls its window to a cursor set outside it.
void SetCursor(int16_t column, int16_t row);
void SetCell(int16_t column, int16_t row, uint16_t attribute);

// The next call of op fails and sets the last error to code.
void FailNext(Op op, uint32_t code);

// The next read that succeeds reports extra cells more than it was asked
// for, as a faulty console might; it still fills only the cells asked for.
void OverReportNext(uint32_t extra);

// Handles opened and not yet closed.
int OpenHandles();

// Calls of each operation since the last Reset.
int Calls(Op op);

}  // namespace simconsole
