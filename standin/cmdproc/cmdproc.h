// cmdproc.h - what the rooms of the stand-in command processor share: the
// loaded plugins, the run's exit state, output and complaints, and the small
// text helpers every built-in uses.
//
// cmdproc is a test host for the demo and the end to end suite, not a
// product.  It loads plugins by path as the host does, runs a batch file or
// standard input a line at a time, and expands %name, %[name] and
// %@NAME[args] with the stand-in host's own expander, through the stand-in
// TakeCmd.dll's variables and the plugins' f_name exports.  The rooms:
//   main.cpp             command line, redirection, start and end of the run
//   plugins.cpp          loading and unloading plugins, calling their exports
//   expand.cpp           expanding a line, once, left to right
//   lines.cpp            reading lines from a batch file, a pipe or a console
//   builtins.cpp         running a line: the built-ins that need no console
//   console_builtins.cpp paint, write, cursor, cls, window, detach
//   snap.cpp             snap: the visible window as an SVG picture
#pragma once

#include "../../host/plugin.h"

#include <windows.h>

#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Plugins (plugins.cpp).

struct Plugin {
    std::u16string path;
    HMODULE module = nullptr;      // null while not loaded
    PluginInfo* info = nullptr;    // the record GetPluginInfo returned
};

// Every plugin named on the command line, in that order.
extern std::vector<Plugin> plugins;

// Loads each plugin: GetPluginInfo, then InitializePlugin.  False when any
// failed to load (the reason has been printed).
bool LoadAll();
// ShutdownPlugin and FreeLibrary for each, last loaded first.
void UnloadAll();
// Calls the f_name export of the first plugin that has one with the
// (expanded) arguments; a failing or unknown function yields nothing.  The
// expander calls it for each %@NAME[args].
std::u16string CallFunction(const std::u16string& name, const std::u16string& args);
// help @name: asks each plugin's Help.
void AskHelp(const std::u16string& args);
// plugins: each plugin's identification record.
void ListPlugins();

// ---------------------------------------------------------------------------
// Expansion (expand.cpp) and running lines (builtins.cpp, lines.cpp).

// The line with every reference replaced, once, left to right.
std::u16string Expand(const std::u16string& text);
// Runs one line of a batch file or of standard input.
void RunLine(const std::u16string& line);
// Runs standard input, a line at a time.
void RunStandardInput();
// Runs a batch file, keeping _batch, _batchname and _batchline up to date.
// False when it could not be read at all (the reason has been printed).
bool RunBatch(const std::u16string& name);
void Usage();

// Set by exit; ends the run after the current line.
extern bool exitRequested;
extern int exitCode;

// ---------------------------------------------------------------------------
// Console built-ins (console_builtins.cpp, snap.cpp).  They work on CONOUT$
// itself, so they paint and read the screen also when standard output goes
// to a file.

void Paint(const std::u16string& args);
void WriteText(const std::u16string& args);
void MoveCursor(const std::u16string& args);
void ClearScreen();
void SizeWindow(const std::u16string& args);
void Detach();
void Snap(const std::u16string& args);

// Opens CONOUT$ for reading and writing; INVALID_HANDLE_VALUE (and the
// reason printed) when there is no console.
HANDLE OpenConsole();

// ---------------------------------------------------------------------------
// Output and text helpers (builtins.cpp).

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
