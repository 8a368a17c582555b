// cmdproc.h - what the files of the stand-in command processor offer each
// other: the loaded plugins, expansion, running lines and the built-ins.
// Output, complaints and text helpers are in common.h, which every file uses.
//
// cmdproc is a test host for the demo and the end to end suite, not a
// product.  It loads plugins by path as the host does, runs a batch file or
// standard input a line at a time, and expands %name, %[name] and
// %@NAME[args] with the stand-in host's own expander, through the stand-in
// TakeCmd.dll's variables and the plugins' f_name exports.  The files, each
// calling only those below it:
//   main.cpp             command line, redirection, start and end of the run
//   lines.cpp            reading lines from a batch file, a pipe or a console
//   builtins.cpp         running a line, and the list of built-ins (kBuiltins)
//   expand.cpp           expanding a line, once, left to right
//   console_builtins.cpp the built-ins that change the screen buffer
//   snap.cpp             snap: the visible window as an SVG picture
//   plugins.cpp          loading and unloading plugins, calling their exports
//   common.cpp           output, complaints, the end of the run, the console
//                        handle, text helpers
#pragma once

#include "common.h"
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


// ---------------------------------------------------------------------------
// Console built-ins (console_builtins.cpp, snap.cpp).  They work on CONOUT$
// itself (OpenConsole, common.h), so they paint and read the screen also
// when standard output goes to a file.

void Paint(const std::u16string& args);
void WriteText(const std::u16string& args);
void MoveCursor(const std::u16string& args);
void ClearScreen();
// When true (cmdproc /w), a window that the console refuses does not end
// the run: it goes on in the window the console has, after one line saying
// so, as the kit's run-demo.cmd needs in a pseudoconsole.
extern bool anyWindow;
void SizeWindow(const std::u16string& args);
void Detach();
void Snap(const std::u16string& args);
