// common.h - what every file of the stand-in command processor uses: its
// output and complaints, the end of the run, the console handle, and small
// text helpers.  It
// calls nothing else of cmdproc, so the other files depend on it and not on
// each other for these.
#pragma once

#include <windows.h>

#include <string>

// Writes to standard output through the stand-in host, as echo does.
void Out(const std::u16string& text);
// Our own complaints, one line each on standard error, told apart from the
// plugin's by their "cmdproc: " start.
void Error(const std::u16string& text);
// A complaint about a system call that failed: what failed, then the error
// code, as "Cannot open X (error 2)".  The caller takes the code with
// GetLastError() before anything else runs, building the message included,
// since whatever runs in between may change it.
void SystemError(const std::u16string& what, DWORD code);

std::u16string Number(long long value);
const wchar_t* W(const std::u16string& s);
bool IsBlank(char16_t c);
std::u16string Lower(std::u16string text);
// The next blank-separated word from pos on; pos is left just after it.
std::u16string NextWord(const std::u16string& text, size_t& pos);
// What follows the word just read, without the one blank that ends it, so
// that echo keeps any further blanks as typed.
std::u16string Rest(const std::u16string& text, size_t pos);
// A whole word as a decimal or 0x-prefixed hexadecimal number, with an
// optional sign, of at most 32 bits.
bool ParseNumber(const std::u16string& word, long long* value);

// The end of the run: exit asks for it, and so does a window that the
// console refuses; the run ends after the current line, with that code.
void RequestExit(int code);
bool ExitRequested();
int ExitCode();

// Opens CONOUT$ for reading and writing; INVALID_HANDLE_VALUE (and the
// reason printed) when there is no console.
HANDLE OpenConsole();
