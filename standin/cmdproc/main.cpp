// main.cpp - the stand-in command processor's start and end: its command
// line, redirection of standard output and error, the host variables that
// describe how it runs, loading the plugins, running the batch file or
// standard input, and unloading.
//
//   cmdproc [/p PLUGIN.dll]... [/o OUTFILE] [/e ERRFILE] [/s] [/w] [BATCHFILE]
//
// Without /p it loads CellAttr.dll from its own folder; each /p replaces that
// default, in the order given.  /o and /e send standard output and error to
// files (the same name for both keeps them in order); the console screen is
// then left to the built-ins that paint it.  /s runs in a screen buffer of
// its own, made the console's active one for the run, so that the console
// shows what it showed before once the run ends (the kit's run-demo.cmd);
// /w goes on where the console refuses a window (SizeWindow).  Without a
// batch file it reads standard input.  The built-ins are listed in
// kBuiltins (builtins.cpp).
#include "cmdproc.h"

#include "../../windows/no_fault_ui.h"
#include "../takecmd/standin_host.h"
#include "../../windows/scratch_console.h"

namespace {

// Sends standard output or error to a file, as a shell's > does.  Given the
// same name as standard output, standard error shares its handle, so that
// the two stay in order as 2>&1 keeps them.
bool Redirect(DWORD which, const std::u16string& path, const std::u16string& outPath)
{
    if (path.empty())
        return true;
    HANDLE file = which == STD_ERROR_HANDLE && path == outPath
                      ? GetStdHandle(STD_OUTPUT_HANDLE)
                      : CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        SystemError(u"Cannot create " + path, error);
        return false;
    }
    SetStdHandle(which, file);
    return true;
}

// CellAttr.dll from our own folder, wherever we were started from.
std::u16string DefaultPlugin()
{
    std::vector<wchar_t> self(UNICODE_STRING_MAX_CHARS + 1);  // the longest path, \\?\ ones too
    DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    std::u16string path(reinterpret_cast<char16_t*>(self.data()), n);
    path.erase(path.find_last_of(u"\\/") + 1);
    return path + u"CellAttr.dll";
}

// The host variables that say how this instance runs, set before any plugin
// starts, since a plugin's start-up reads them: _pipe is 1 when standard
// input is a pipe.  We never run transient (_transient stays 0).
void DescribeTheRun()
{
    StandinResetVariables();
    bool piped = GetFileType(GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_PIPE;
    StandinSetVariable(u"_pipe", piped ? u"1" : u"0");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    NoFaultUi();
    std::u16string batchFile, outPath, errPath;
    bool ownBuffer = false;
    for (int i = 1; i < argc; ++i) {
        std::u16string arg = Lower(reinterpret_cast<char16_t*>(argv[i]));
        bool hasValue = i + 1 < argc;
        if (arg == u"/?") {
            Usage();
            return 0;
        }
        if (arg == u"/p" && hasValue) {
            plugins.push_back(Plugin{reinterpret_cast<char16_t*>(argv[++i])});
        } else if (arg == u"/o" && hasValue) {
            outPath = reinterpret_cast<char16_t*>(argv[++i]);
        } else if (arg == u"/e" && hasValue) {
            errPath = reinterpret_cast<char16_t*>(argv[++i]);
        } else if (arg == u"/s") {
            ownBuffer = true;
        } else if (arg == u"/w") {
            anyWindow = true;
        } else if (batchFile.empty() && arg != u"/p" && arg != u"/o" && arg != u"/e") {
            batchFile = reinterpret_cast<char16_t*>(argv[i]);
        } else {
            Error(u"Unexpected argument: " + arg + u" (cmdproc /? tells the syntax)");
            return 2;
        }
    }
    if (!Redirect(STD_OUTPUT_HANDLE, outPath, outPath) ||
        !Redirect(STD_ERROR_HANDLE, errPath, outPath))
        return 2;
    if (plugins.empty())
        plugins.push_back(Plugin{DefaultPlugin()});

    if (ownBuffer && !scratch_console::Begin()) {
        DWORD error = GetLastError();
        SystemError(u"Cannot make a screen buffer of its own (/s)", error);
        return 2;
    }
    DescribeTheRun();
    if (!LoadAll()) {
        UnloadAll();
        scratch_console::End();
        return 2;
    }
    if (!batchFile.empty()) {
        if (!RunBatch(batchFile) && !ExitRequested())
            RequestExit(1);
    } else {
        RunStandardInput();
    }
    UnloadAll();
    scratch_console::End();
    return ExitCode();
}
