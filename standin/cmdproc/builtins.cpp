// builtins.cpp - running one line: comments, expansion, and the built-ins:
// kBuiltins below is their one list, each with what it does, and those that
// need no console are here too.
#include "cmdproc.h"

#include "../takecmd/standin_host.h"

#include <algorithm>

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
    RequestExit(static_cast<int>(code));
}

void Echo(const std::u16string& args)
{
    Out(args + u"\r\n");
}

void Reload(const std::u16string&)
{
    UnloadAll();
    LoadAll();
}

// Adapters for the built-ins that take no arguments.
template <void (*Run)()>
void NoArguments(const std::u16string&)
{
    Run();
}

struct Builtin {
    const char16_t* name;
    void (*run)(const std::u16string& args);
    const char16_t* synopsis;  // how it is written
    const char16_t* what;      // what it does, for the usage text
};

// The built-ins: the one list of them.  Usage prints it.
constexpr Builtin kBuiltins[] = {
    {u"echo", Echo, u"echo [text]", u"prints the text, blanks after the first kept"},
    {u"set", Set, u"set name=value", u"sets a variable; no value removes it"},
    {u"paint", Paint, u"paint row col len attr...", u"attributes of len cells, the attrs in turn"},
    {u"write", WriteText, u"write row col text", u"characters into the screen buffer"},
    {u"cursor", MoveCursor, u"cursor row col", u"moves the cursor"},
    {u"cls", NoArguments<ClearScreen>, u"cls",
     u"blanks it; window and cursor to the top-left"},
    {u"window", SizeWindow, u"window cols rows",
     u"that window at the top-left; refused: exit 77"},
    {u"snap", Snap, u"snap FILE.svg", u"the visible window as an SVG picture"},
    {u"help", AskHelp, u"help @name", u"asks each plugin's Help"},
    {u"plugins", NoArguments<ListPlugins>, u"plugins", u"each plugin's identification record"},
    {u"reload", Reload, u"reload", u"unloads the plugins and loads them again"},
    {u"detach", NoArguments<Detach>, u"detach", u"gives up the console (FreeConsole)"},
    {u"exit", Exit, u"exit [code]", u"stops, with that exit code"},
};

}  // namespace

void Usage()
{
    Out(u"cmdproc [/p PLUGIN.dll]... [/o OUTFILE] [/e ERRFILE] [/s] [/w] [BATCHFILE]\r\n"
        u"Loads the plugins (CellAttr.dll beside cmdproc without /p), sends standard\r\n"
        u"output and error to the files of /o and /e if given, then runs the batch\r\n"
        u"file (UTF-8, or UTF-16 with a byte-order mark), or standard input, a line\r\n"
        u"at a time.  %name, %[name] and %@NAME[args] expand first (%% is a %); rows\r\n"
        u"count from the window's top, columns from the buffer's left edge, +n or -n\r\n"
        u"from the cursor.  rem ... and :: ... are comments, never expanded.  /s\r\n"
        u"paints in a screen buffer of its own, so that the console keeps what it\r\n"
        u"showed; /w goes on in the window the console has where it refuses one.\r\n");
    for (const Builtin& builtin : kBuiltins) {
        std::u16string line = u"  " + std::u16string(builtin.synopsis);
        line.resize(std::max<size_t>(line.size() + 1, 28), u' ');
        Out(line + builtin.what + u"\r\n");
    }
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
    for (const Builtin& builtin : kBuiltins) {
        if (command == builtin.name) {
            builtin.run(args);
            return;
        }
    }
    Error(u"Unknown command: " + word);
}
