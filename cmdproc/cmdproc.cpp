// cmdproc.cpp - a stand-in command processor for the demo and the end to end
// tests.  It loads plugins by path as the host does (GetPluginInfo, then
// InitializePlugin; ShutdownPlugin and FreeLibrary at the end), runs a batch
// file or standard input a line at a time, and expands %name, %[name] and
// %@NAME[args] through the stand-in TakeCmd.dll's variables and the plugins'
// f_name exports.  It is a test host, not a product: one file, no parser
// beyond what the batch files in demo/ and e2e/ need.
//
//   cmdproc [/p PLUGIN.dll]... [/o OUTFILE] [/e ERRFILE] [BATCHFILE]
//
// Without /p it loads CellAttr.dll from its own folder; each /p replaces that
// default, in the order given.  /o and /e send standard output and error to
// files (the same name for both keeps them in order); the console screen is
// then left to the built-ins that paint it.  Without a batch file it reads
// standard input.  The built-ins are listed in Usage() below.
#include "../host/host_services.h"
#include "../host/plugin.h"
#include "../standin/standin_host.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using GetPluginInfoFn = PluginInfo*(__stdcall*)();
using LifecycleFn = int32_t(__stdcall*)();
using HelpFn = int32_t(__stdcall*)(const char16_t*);
using VariableFn = int32_t(__stdcall*)(char16_t*);

// The buffer a variable function gets: the host's capacity as the plugin
// assumes it, the longest Windows command line and its terminator.
constexpr size_t kFunctionBufferSize = 32768;

struct Plugin {
    std::u16string path;
    HMODULE module = nullptr;
    PluginInfo* info = nullptr;
};

std::vector<Plugin> plugins;
bool exitRequested = false;
int exitCode = 0;

const wchar_t* W(const std::u16string& s)
{
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

void Out(const std::u16string& text)
{
    Qprintf(GetStdHandle(STD_OUTPUT_HANDLE), u"%s", text.c_str());
}

// Our own complaints, one line each, told apart from the plugin's by the
// "cmdproc: " start.
void Error(const std::u16string& text)
{
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), u"cmdproc: %s\r\n", text.c_str());
}

std::u16string Number(long long value)
{
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string Utf8ToUtf16(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                nullptr, 0);
    std::u16string text(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), n);
    return text;
}

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// The characters of a variable's name, as the stand-in host reads them.
bool IsNameChar(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'$';
}

std::u16string Lower(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
    return text;
}

// The next blank-separated word from pos on; pos is left just after it.
std::u16string NextWord(const std::u16string& text, size_t& pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

// What follows the word just read, without the one blank that ends it, so
// that echo keeps any further blanks as typed.
std::u16string Rest(const std::u16string& text, size_t pos)
{
    if (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return text.substr(pos);
}

// A whole word as a decimal or 0x-prefixed hexadecimal number, with an
// optional sign.
bool ParseNumber(const std::u16string& word, long long* value)
{
    size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == u'+' || word[i] == u'-')) {
        negative = word[i] == u'-';
        ++i;
    }
    int base = 10;
    if (word.size() - i > 2 && word[i] == u'0' && (word[i + 1] == u'x' || word[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= word.size())
        return false;
    long long v = 0;
    for (; i < word.size(); ++i) {
        char16_t c = word[i];
        int d = c >= u'0' && c <= u'9'   ? c - u'0'
                : c >= u'a' && c <= u'f' ? c - u'a' + 10
                : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                         : 99;
        if (d >= base)
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFll)
            return false;
    }
    *value = negative ? -v : v;
    return true;
}

// ---------------------------------------------------------------------------
// Plugins.

template <typename Fn>
Fn Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool LoadPlugin(Plugin& plugin)
{
    plugin.module = LoadLibraryW(W(plugin.path));
    if (plugin.module == nullptr) {
        Error(u"Cannot load " + plugin.path + u" (error " + Number(GetLastError()) + u")");
        return false;
    }
    auto getInfo = Export<GetPluginInfoFn>(plugin.module, "GetPluginInfo");
    auto initialize = Export<LifecycleFn>(plugin.module, "InitializePlugin");
    if (getInfo == nullptr || initialize == nullptr) {
        Error(plugin.path + u" is not a plugin: it lacks GetPluginInfo or InitializePlugin");
        FreeLibrary(plugin.module);
        plugin.module = nullptr;
        return false;
    }
    // The record first, as the host reads it before starting the plugin.
    plugin.info = getInfo();
    if (plugin.info == nullptr) {
        Error(plugin.path + u": GetPluginInfo returned no record");
        FreeLibrary(plugin.module);
        plugin.module = nullptr;
        return false;
    }
    int32_t rc = initialize();
    if (rc != 0)
        Error(plugin.path + u": InitializePlugin returned " + Number(rc));
    return true;
}

void UnloadPlugin(Plugin& plugin)
{
    if (plugin.module == nullptr)
        return;
    auto shutdown = Export<LifecycleFn>(plugin.module, "ShutdownPlugin");
    if (shutdown != nullptr) {
        int32_t rc = shutdown();
        if (rc != 0)
            Error(plugin.path + u": ShutdownPlugin returned " + Number(rc));
    }
    FreeLibrary(plugin.module);
    plugin.module = nullptr;
    plugin.info = nullptr;
}

void UnloadAll()
{
    for (size_t i = plugins.size(); i > 0; --i)
        UnloadPlugin(plugins[i - 1]);
}

bool LoadAll()
{
    bool ok = true;
    for (Plugin& plugin : plugins)
        ok = LoadPlugin(plugin) && ok;
    return ok;
}

// Calls @name with its (already expanded) arguments.  A failing function has
// said why on standard error; like the host, we go on with nothing in its
// place.
std::u16string CallFunction(const std::u16string& name, const std::u16string& args)
{
    std::string exportName = "f_";
    for (char16_t c : Lower(name))
        exportName += static_cast<char>(c);  // names are ASCII (IsNameChar)
    VariableFn function = nullptr;
    for (const Plugin& plugin : plugins)
        if (plugin.module != nullptr &&
            (function = Export<VariableFn>(plugin.module, exportName.c_str())) != nullptr)
            break;
    if (function == nullptr) {
        Error(u"Unknown function: @" + name);
        return {};
    }
    std::vector<char16_t> buffer(kFunctionBufferSize, u'\0');
    args.copy(buffer.data(), kFunctionBufferSize - 1);
    int32_t rc = function(buffer.data());
    if (rc != 0) {
        if (rc != -1)
            Error(u"@" + name + u" returned " + Number(rc));
        return {};
    }
    size_t length = 0;
    while (length < kFunctionBufferSize && buffer[length] != 0)
        ++length;
    return std::u16string(buffer.data(), length);
}

// ---------------------------------------------------------------------------
// Expansion: one pass, left to right, so that nothing a variable or a
// function yields is expanded again (a % in a batch file's name stays a %).

std::u16string Variable(const std::u16string& name)
{
    std::vector<char16_t> value(kFunctionBufferSize, u'\0');
    StandinGetVariable(name.c_str(), value.data(), value.size());
    return value.data();
}

// The ']' that closes the '[' at open, counting nested pairs; npos if none.
size_t MatchingBracket(const std::u16string& text, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        if (text[i] == u'[')
            ++depth;
        else if (text[i] == u']' && --depth == 0)
            return i;
    }
    return std::u16string::npos;
}

std::u16string Expand(const std::u16string& text)
{
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'%') {
            out += text[i++];
            continue;
        }
        char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
        if (next == u'%') {
            out += u'%';
            i += 2;
        } else if (next == u'@') {
            size_t name = i + 2, open = name;
            while (open < text.size() && IsNameChar(text[open]))
                ++open;
            size_t close = open > name && open < text.size() && text[open] == u'['
                               ? MatchingBracket(text, open)
                               : std::u16string::npos;
            if (close == std::u16string::npos) {
                out += text[i++];
                continue;
            }
            out += CallFunction(text.substr(name, open - name),
                                Expand(text.substr(open + 1, close - open - 1)));
            i = close + 1;
        } else if (next == u'[') {
            size_t close = text.find(u']', i + 2);
            if (close == std::u16string::npos) {
                out += text[i++];
                continue;
            }
            out += Variable(text.substr(i + 2, close - i - 2));
            i = close + 1;
        } else if (IsNameChar(next)) {
            size_t end = i + 1;
            while (end < text.size() && IsNameChar(text[end]))
                ++end;
            out += Variable(text.substr(i + 1, end - i - 1));
            i = end;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// The console built-ins.  They work on CONOUT$ itself, so they paint the
// screen also when standard output goes to a file.

HANDLE OpenConsole()
{
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    if (console == INVALID_HANDLE_VALUE)
        Error(u"No console (error " + Number(GetLastError()) + u")");
    return console;
}

// Row and column words as @CELLATTR reads them: rows from the window's top,
// columns from the buffer's left edge, or either from the cursor with a sign.
bool ParseCell(HANDLE console, const std::u16string& rowWord, const std::u16string& columnWord,
               COORD* cell)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        Error(u"Cannot read the screen buffer's layout (error " + Number(GetLastError()) + u")");
        return false;
    }
    long long row, column;
    if (!ParseNumber(rowWord, &row) || !ParseNumber(columnWord, &column)) {
        Error(u"Bad row or column: " + rowWord + u" " + columnWord);
        return false;
    }
    bool rowRelative = !rowWord.empty() && (rowWord[0] == u'+' || rowWord[0] == u'-');
    bool columnRelative = !columnWord.empty() && (columnWord[0] == u'+' || columnWord[0] == u'-');
    row += rowRelative ? info.dwCursorPosition.Y : info.srWindow.Top;
    column += columnRelative ? info.dwCursorPosition.X : 0;
    if (row < 0 || row >= info.dwSize.Y || column < 0 || column >= info.dwSize.X) {
        Error(u"Outside the screen buffer: " + rowWord + u" " + columnWord);
        return false;
    }
    *cell = COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)};
    return true;
}

// Opens the console and finds the cell that the row and column words name.
// On success the caller owns *console and closes it; on failure it has been
// closed and the reason printed.
bool OpenAtCell(const std::u16string& rowWord, const std::u16string& columnWord, HANDLE* console,
                COORD* at)
{
    *console = OpenConsole();
    if (*console == INVALID_HANDLE_VALUE)
        return false;
    if (ParseCell(*console, rowWord, columnWord, at))
        return true;
    CloseHandle(*console);
    return false;
}

// paint row col len attr [attr...]: len cells from (row, col) on, taking the
// attributes in turn and starting over when they run out.
void Paint(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string rowWord = NextWord(args, pos);
    std::u16string columnWord = NextWord(args, pos);
    std::u16string lengthWord = NextWord(args, pos);
    std::vector<WORD> attributes;
    for (std::u16string word = NextWord(args, pos); !word.empty(); word = NextWord(args, pos)) {
        long long value;
        if (!ParseNumber(word, &value) || value < 0 || value > 0xFFFF) {
            Error(u"Bad attribute: " + word);
            return;
        }
        attributes.push_back(static_cast<WORD>(value));
    }
    long long length;
    if (attributes.empty() || !ParseNumber(lengthWord, &length) || length < 1 || length > 65536) {
        Error(u"Usage: paint row col len attr [attr...]");
        return;
    }
    HANDLE console;
    COORD at;
    if (!OpenAtCell(rowWord, columnWord, &console, &at))
        return;
    std::vector<WORD> cells(static_cast<size_t>(length));
    for (size_t i = 0; i < cells.size(); ++i)
        cells[i] = attributes[i % attributes.size()];
    DWORD written;
    if (!WriteConsoleOutputAttribute(console, cells.data(), static_cast<DWORD>(cells.size()), at,
                                     &written))
        Error(u"WriteConsoleOutputAttribute failed (error " + Number(GetLastError()) + u")");
    CloseHandle(console);
}

// write row col text: characters into the screen buffer, attributes as they
// are, so that a painted run shows its foreground colours.
void WriteText(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string rowWord = NextWord(args, pos);
    std::u16string columnWord = NextWord(args, pos);
    std::u16string text = Rest(args, pos);
    if (columnWord.empty() || text.empty()) {
        Error(u"Usage: write row col text");
        return;
    }
    HANDLE console;
    COORD at;
    if (!OpenAtCell(rowWord, columnWord, &console, &at))
        return;
    DWORD written;
    if (!WriteConsoleOutputCharacterW(console, W(text), static_cast<DWORD>(text.size()), at,
                                      &written))
        Error(u"WriteConsoleOutputCharacter failed (error " + Number(GetLastError()) + u")");
    CloseHandle(console);
}

void Cursor(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string rowWord = NextWord(args, pos);
    std::u16string columnWord = NextWord(args, pos);
    if (columnWord.empty()) {
        Error(u"Usage: cursor row col");
        return;
    }
    HANDLE console;
    COORD at;
    if (!OpenAtCell(rowWord, columnWord, &console, &at))
        return;
    if (!SetConsoleCursorPosition(console, at))
        Error(u"SetConsoleCursorPosition failed (error " + Number(GetLastError()) + u")");
    CloseHandle(console);
}

// Blanks the whole buffer in the current colours and puts the window and the
// cursor at its top-left, so that window rows and buffer rows agree.
void ClearScreen()
{
    HANDLE console = OpenConsole();
    if (console == INVALID_HANDLE_VALUE)
        return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(console, &info)) {
        DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        DWORD written;
        FillConsoleOutputCharacterW(console, L' ', cells, COORD{0, 0}, &written);
        FillConsoleOutputAttribute(console, info.wAttributes, cells, COORD{0, 0}, &written);
        SMALL_RECT window{0, 0, static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left),
                          static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top)};
        SetConsoleWindowInfo(console, TRUE, &window);
        SetConsoleCursorPosition(console, COORD{0, 0});
    }
    CloseHandle(console);
}

// ---------------------------------------------------------------------------
// The other built-ins.

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

void Help(const std::u16string& args)
{
    size_t pos = 0;
    std::u16string name = NextWord(args, pos);
    if (name.empty()) {
        Error(u"Usage: help @name");
        return;
    }
    for (const Plugin& plugin : plugins) {
        if (plugin.module == nullptr)
            continue;
        auto help = Export<HelpFn>(plugin.module, "Help");
        if (help != nullptr && help(name.c_str()) == 1)
            return;
    }
    Error(u"No help for " + name);
}

std::u16string Field(const char16_t* text)
{
    return text == nullptr ? u"(none)" : text;
}

void ListPlugins()
{
    for (const Plugin& plugin : plugins) {
        const PluginInfo* info = plugin.info;
        if (info == nullptr)
            continue;
        Out(Field(info->dllName) + u" " + Number(info->versionMajor) + u"." +
            Number(info->versionMinor) + u"." + Number(info->versionBuild) + u"\r\n");
        Out(u"  author:      " + Field(info->author) + u"\r\n");
        Out(u"  email:       " + Field(info->email) + u"\r\n");
        Out(u"  web page:    " + Field(info->webPage) + u"\r\n");
        Out(u"  description: " + Field(info->description) + u"\r\n");
        Out(u"  functions:   " + Field(info->functions) + u"\r\n");
    }
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

void Usage()
{
    Out(u"cmdproc [/p PLUGIN.dll]... [/o OUTFILE] [/e ERRFILE] [BATCHFILE]\r\n"
        u"Loads the plugins (CellAttr.dll beside cmdproc without /p), sends standard\r\n"
        u"output and error to the files of /o and /e if given, then runs the batch\r\n"
        u"file, or standard input, a line at a time.  %name, %[name] and %@NAME[args]\r\n"
        u"expand first (%% is a %); rows count from the window's top, columns from the\r\n"
        u"buffer's left edge, +n or -n from the cursor.\r\n"
        u"  echo [text]                 set name=value       (no value: removes it)\r\n"
        u"  paint row col len attr...   attributes of len cells, the attrs in turn\r\n"
        u"  write row col text          characters into the screen buffer\r\n"
        u"  cursor row col              cls                  detach (FreeConsole)\r\n"
        u"  help @name                  plugins              reload\r\n"
        u"  exit [code]                 rem ... / :: ...     comments\r\n");
}

// Runs one line.  Comments are dropped before expansion, so a function in a
// comment is never called.
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
        Cursor(args);
    else if (command == u"cls")
        ClearScreen();
    else if (command == u"help")
        Help(args);
    else if (command == u"plugins")
        ListPlugins();
    else if (command == u"reload") {
        UnloadAll();
        LoadAll();
    } else if (command == u"detach") {
        if (!FreeConsole())
            Error(u"FreeConsole failed (error " + Number(GetLastError()) + u")");
    } else if (command == u"exit")
        Exit(args);
    else
        Error(u"Unknown command: " + word);
}

// ---------------------------------------------------------------------------
// Reading lines: UTF-8 from a file or a pipe, UTF-16 from a console.

struct LineSource {
    HANDLE handle;
    bool console;
    std::string bytes;        // read from a file or pipe, not yet returned
    std::u16string typed;     // read from a console, not yet returned
    bool ended = false;
    bool first = true;
};

bool ReadLine(LineSource& source, std::u16string& line)
{
    if (source.console) {
        size_t newline;
        while ((newline = source.typed.find(u'\n')) == std::u16string::npos && !source.ended) {
            wchar_t chunk[1024];
            DWORD got = 0;
            if (!ReadConsoleW(source.handle, chunk, 1024, &got, nullptr) || got == 0)
                source.ended = true;
            source.typed.append(reinterpret_cast<char16_t*>(chunk), got);
        }
        if (newline == std::u16string::npos && source.typed.empty())
            return false;
        line = source.typed.substr(0, newline);
        source.typed.erase(0, newline == std::u16string::npos ? newline : newline + 1);
    } else {
        size_t newline;
        while ((newline = source.bytes.find('\n')) == std::string::npos && !source.ended) {
            char chunk[4096];
            DWORD got = 0;
            if (!ReadFile(source.handle, chunk, sizeof chunk, &got, nullptr) || got == 0)
                source.ended = true;
            source.bytes.append(chunk, got);
        }
        if (newline == std::string::npos && source.bytes.empty())
            return false;
        std::string bytes = source.bytes.substr(0, newline);
        source.bytes.erase(0, newline == std::string::npos ? newline : newline + 1);
        if (source.first && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
            bytes.erase(0, 3);
        line = Utf8ToUtf16(bytes);
    }
    source.first = false;
    if (!line.empty() && line.back() == u'\r')
        line.pop_back();
    return true;
}

void RunLines(LineSource& source, bool inBatch)
{
    std::u16string line;
    bool prompt = source.console && !inBatch;
    for (long long number = 1; !exitRequested; ++number) {
        if (prompt)
            Out(u"> ");
        if (!ReadLine(source, line))
            break;
        if (inBatch)
            StandinSetVariable(u"_batchline", Number(number).c_str());
        RunLine(line);
    }
}

// Runs a batch file with _batch, _batchname (its full name) and _batchline
// telling where we are, as the host keeps them.
bool RunBatch(const std::u16string& name)
{
    std::vector<wchar_t> full(MAX_PATH);
    DWORD n = GetFullPathNameW(W(name), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(W(name), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0) {
        Error(u"Bad batch file name: " + name);
        return false;
    }
    std::u16string fullName(reinterpret_cast<char16_t*>(full.data()), n);
    HANDLE file = CreateFileW(W(fullName), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Error(u"Cannot open " + fullName + u" (error " + Number(GetLastError()) + u")");
        return false;
    }
    StandinSetVariable(u"_batch", u"1");
    StandinSetVariable(u"_batchname", fullName.c_str());
    LineSource source{file, false, {}, {}};
    RunLines(source, true);
    CloseHandle(file);
    StandinSetVariable(u"_batch", u"0");
    StandinSetVariable(u"_batchname", nullptr);
    StandinSetVariable(u"_batchline", nullptr);
    return true;
}

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
        Error(u"Cannot create " + path + u" (error " + Number(GetLastError()) + u")");
        return false;
    }
    SetStdHandle(which, file);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::u16string batchFile, outPath, errPath;
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
    if (plugins.empty()) {
        // CellAttr.dll from our own folder, wherever we were started from.
        std::vector<wchar_t> self(32768);
        DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        std::u16string path(reinterpret_cast<char16_t*>(self.data()), n);
        path.erase(path.find_last_of(u"\\/") + 1);
        plugins.push_back(Plugin{path + u"CellAttr.dll"});
    }

    StandinResetVariables();
    if (!LoadAll()) {
        UnloadAll();
        return 2;
    }
    if (!batchFile.empty()) {
        if (!RunBatch(batchFile) && !exitRequested)
            exitCode = 1;
    } else {
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode;
        LineSource source{input, GetConsoleMode(input, &mode) != FALSE, {}, {}};
        RunLines(source, false);
    }
    UnloadAll();
    return exitCode;
}
