// builtins.cpp - running one line: comments, expansion, and the built-ins
// that need no console (echo, set, help, plugins, reload, exit).
#include "cmdproc.h"

#include "../takecmd/standin_host.h"

bool exitRequested = false;
int exitCode = 0;

namespace {

void Set(const std::u16string& args)
{
    size_t equals = args.find(u'=');
    std::u16string name = args.substr(0, equals);
    while (!name.empty() && IsBlank(name.back()))
        name.pop_back();
    if (equals == std::u16string::npos || name.empty()) {
        Error(u"Usage: set name=value");
        return;
    }
    std::u16string value = args.substr(equals + 1);
    StandinSetVariable(name.c_str(), value.empty() ? nullptr : value.c_str());
}

void Exit(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string word = NextWord(args, pos);
    long long code = 0;
    if (!word.empty() && !ParseNumber(word, &code))
        Error(u"Bad exit code: " + word);
    exitCode = static_cast<int>(code);
    exitRequested = true;
}

}  // namespace

void Usage()
{
    Out(u"cmdproc [/p PLUGIN.dll]... [/o OUTFILE] [/e ERRFILE] [BATCHFILE]\r\n"
        u"Loads the plugins (CellAttr.dll beside cmdproc without /p), sends standard\r\n"
        u"output and error to the files of /o and /e if given, then runs the batch\r\n"
        u"file (UTF-8, or UTF-16 with a byte-order mark), or standard input, a line\r\n"
        u"at a time.  %name, %[name] and %@NAME[args] expand first (%% is a %); rows\r\n"
        u"count from the window's top, columns from the buffer's left edge, +n or -n\r\n"
        u"from the cursor.\r\n"
        u"  echo [text]                 set name=value       (no value: removes it)\r\n"
        u"  paint row col len attr...   attributes of len cells, the attrs in turn\r\n"
        u"  write row col text          characters into the screen buffer\r\n"
        u"  cursor row col              cls                  detach (FreeConsole)\r\n"
        u"  window cols rows            the visible window's size, at the top-left;\r\n"
        u"                              where the console refuses it, exit code 77\r\n"
        u"  snap FILE.svg               the visible window as an SVG picture\r\n"
        u"  help @name                  plugins              reload\r\n"
        u"  exit [code]                 rem ... / :: ...     comments\r\n");
}

// Comments are dropped before expansion, so a function in a comment is never
// called.
void RunLine(const std::u16string& line)
{
    size_t pos = 0;
    std::u16string first = NextWord(line, pos);
    if (first.empty() || first.compare(0, 2, u"::") == 0 || Lower(first) == u"rem")
        return;

    std::u16string expanded = Expand(line);
    pos = 0;
    std::u16string word = NextWord(expanded, pos);
    std::u16string command = Lower(word);
    std::u16string args = Rest(expanded, pos);
    if (command.empty())
        return;  // the whole line expanded to blanks
    if (command == u"echo")
        Out(args + u"\r\n");
    else if (command == u"set")
        Set(args);
    else if (command == u"paint")
        Paint(args);
    else if (command == u"write")
        WriteText(args);
    else if (command == u"cursor")
        MoveCursor(args);
    else if (command == u"cls")
        ClearScreen();
    else if (command == u"window")
        SizeWindow(args);
    else if (command == u"snap")
        Snap(args);
    else if (command == u"help")
        AskHelp(args);
    else if (command == u"plugins")
        ListPlugins();
    else if (command == u"reload") {
        UnloadAll();
        LoadAll();
    } else if (command == u"detach")
        Detach();
    else if (command == u"exit")
        Exit(args);
    else
        Error(u"Unknown command: " + word);
}
