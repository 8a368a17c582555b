// The plugin as a Windows file and module: its export directory, version
// resource and manifest, the banner through the stand-in TakeCmd.dll, the
// help box for real (run under an X server), and unloading.
#include "capture.h"
#include "help_box_win.h"
#include "help_text.h"
#include "skip.h"
#include "version_text.h"
#include "../windows/files.h"
#include "win_plugin.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(PluginModule(), path, MAX_PATH);
    return path;
}

std::u16string U16(const wchar_t* s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s));
}

// ---------------------------------------------------------------------------
// The export directory, read from the file itself.

struct Exports {
    std::string moduleName;
    std::vector<std::string> names;
};

Exports ReadExports(const std::wstring& path)
{
    std::string file;
    ReadFileBytes(path, &file);
    Exports result;
    if (file.size() < sizeof(IMAGE_DOS_HEADER)) {
        ADD_FAILURE() << "cannot read the module's file";
        return result;
    }
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file.data() + dos->e_lfanew);
    EXPECT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);  // PE32+
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto at = [&](DWORD rva) -> const char* {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize)
                return file.data() + s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return nullptr;
    };
    DWORD dirRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    auto dir = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(dirRva));
    if (dir == nullptr)
        return result;
    result.moduleName = at(dir->Name);
    EXPECT_EQ(dir->NumberOfFunctions, dir->NumberOfNames);
    auto names = reinterpret_cast<const DWORD*>(at(dir->AddressOfNames));
    for (DWORD i = 0; i < dir->NumberOfNames; ++i)
        result.names.push_back(at(names[i]));
    return result;
}

TEST(Plugin, ExportsExactlyTheFiveEntryPoints)
{
    ASSERT_NE(PluginModule(), nullptr);
    Exports exports = ReadExports(ModulePath());
    EXPECT_EQ(exports.moduleName, "CellAttr.dll");
    const std::vector<std::string> expected = {"GetPluginInfo", "Help", "InitializePlugin",
                                               "ShutdownPlugin", "f_cellattr"};
    EXPECT_EQ(exports.names, expected);
    for (const std::string& name : expected)
        EXPECT_NE(GetProcAddress(PluginModule(), name.c_str()), nullptr) << name;
}

// ---------------------------------------------------------------------------
// The version resource.

// The keys of the string table, in the order they stand in the resource.
std::vector<std::u16string> StringKeys(const std::vector<char>& data)
{
    struct Block {
        WORD length;
        WORD valueLength;
        WORD type;
    };
    auto align = [](size_t n) { return (n + 3) & ~size_t{3}; };
    auto key = [](const char* p) { return U16(reinterpret_cast<const wchar_t*>(p + 6)); };
    auto children = [&](size_t start, bool text) {
        const Block* b = reinterpret_cast<const Block*>(data.data() + start);
        size_t p = align(start + 6 + (key(data.data() + start).size() + 1) * 2);
        p = align(p + b->valueLength * (text ? 2 : 1));
        std::vector<size_t> found;
        while (p < start + b->length) {
            found.push_back(p);
            p = align(p + reinterpret_cast<const Block*>(data.data() + p)->length);
        }
        return found;
    };
    std::vector<std::u16string> keys;
    for (size_t info : children(0, false)) {
        if (key(data.data() + info) != u"StringFileInfo")
            continue;
        for (size_t table : children(info, true))
            for (size_t str : children(table, true))
                keys.push_back(key(data.data() + str));
    }
    return keys;
}

std::u16string VersionString(const std::vector<char>& data, const wchar_t* name)
{
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(data.data(), query.c_str(), &value, &size) || value == nullptr)
        return u"<missing>";
    return U16(static_cast<const wchar_t*>(value));
}

TEST(Plugin, VersionResource)
{
    std::wstring path = ModulePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // The fourth number is the host's, fixed at 2.
    const DWORD versionMS = (CELLATTR_VERSION_MAJOR << 16) | CELLATTR_VERSION_MINOR;
    const DWORD versionLS = (CELLATTR_VERSION_PATCH << 16) | 2u;
    EXPECT_EQ(fixed->dwFileVersionMS, versionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLS);
    EXPECT_EQ(fixed->dwProductVersionMS, versionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLS);
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    WORD* translation = nullptr;
    UINT translationSize = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &translationSize));
    ASSERT_EQ(translationSize, 4u);
    EXPECT_EQ(translation[0], 0x0409);  // US English
    EXPECT_EQ(translation[1], 1200);    // Unicode

    const std::vector<std::u16string> order = {
        u"FileDescription",  u"FileVersion", u"CompanyName",    u"InternalName", u"LegalCopyright",
        u"OriginalFilename", u"ProductName", u"ProductVersion", u"Build",        u"Built On"};
    EXPECT_EQ(StringKeys(data), order);

    EXPECT_EQ(VersionString(data, L"FileDescription"), u"CellAttr plugin for Take Command");
    const std::string version = VersionText() + ".2";
    const std::u16string resourceVersion(version.begin(), version.end());
    EXPECT_EQ(VersionString(data, L"FileVersion"), resourceVersion);
    EXPECT_EQ(VersionString(data, L"InternalName"), u"CellAttr");
    EXPECT_EQ(VersionString(data, L"OriginalFilename"), u"CellAttr.dll");
    EXPECT_EQ(VersionString(data, L"ProductName"), u"CellAttr plugin");
    EXPECT_EQ(VersionString(data, L"ProductVersion"), resourceVersion + u"  (x64)");
    // As LICENSE names the holder.
    EXPECT_EQ(VersionString(data, L"CompanyName"), u"The CellAttr team");
    EXPECT_EQ(VersionString(data, L"LegalCopyright"), u"Copyright (c) 2026 The CellAttr team");

    std::u16string build = VersionString(data, L"Build");
    std::string narrow(build.begin(), build.end());
    EXPECT_TRUE(std::regex_match(narrow, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
        << narrow;
    std::u16string builtOn = VersionString(data, L"Built On");
    EXPECT_FALSE(builtOn.empty());
    EXPECT_NE(builtOn, u"<missing>");
}

TEST(Plugin, ManifestRunsAsInvoker)
{
    HRSRC found = FindResourceW(PluginModule(), MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(PluginModule(), found);
    ASSERT_NE(loaded, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(loaded)),
                         SizeofResource(PluginModule(), found));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos) << manifest;
}

// ---------------------------------------------------------------------------
// The banner, through the stand-in host.

template <typename F>
F Entry(const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(PluginModule(), name)));
}

TEST(Plugin, BannerFollowsTheHostsVariables)
{
    auto initialize = Entry<int(__stdcall*)()>("InitializePlugin");
    ASSERT_NE(initialize, nullptr);
    struct {
        const char16_t* transient;
        const char16_t* pipe;
        const char16_t* noloadmsg;
        std::u16string expected;
    } cases[] = {
        {u"0", u"0", nullptr, ExpectedBanner()},
        {u"0", u"0", u"1", u""},
        {u"1", u"0", nullptr, u""},
        {u"0", u"1", nullptr, u""},
    };
    for (const auto& c : cases) {
        ResetHostVariables();
        SetHostVariable(u"_transient", c.transient);
        SetHostVariable(u"_pipe", c.pipe);
        SetHostVariable(u"noloadmsg", c.noloadmsg);
        StdoutCaptureBegin();
        EXPECT_EQ(initialize(), 0);
        EXPECT_EQ(StdoutCaptureEnd(), c.expected);
    }
    ResetHostVariables();
}

TEST(Plugin, InfoRecordThroughTheExport)
{
    struct Record {
        const char16_t* text[6];
        int32_t version[3];
    };
    auto getInfo = Entry<Record*(__stdcall*)()>("GetPluginInfo");
    ASSERT_NE(getInfo, nullptr);
    Record* record = getInfo();
    ASSERT_EQ(record, getInfo());
    EXPECT_EQ(std::u16string(record->text[0]), u"CellAttr");
    EXPECT_EQ(std::u16string(record->text[4]), u"@CELLATTR function");
    EXPECT_EQ(std::u16string(record->text[5]), u"@cellattr");
    EXPECT_EQ(record->version[0], CELLATTR_VERSION_MAJOR);
    EXPECT_EQ(record->version[1], CELLATTR_VERSION_MINOR);
    EXPECT_EQ(record->version[2], CELLATTR_VERSION_PATCH);
}

// ---------------------------------------------------------------------------
// The help box, for real.

struct SeenBox {
    std::u16string text;
    HWND owner = nullptr;
    bool found = false;
};

BOOL CALLBACK CollectStatic(HWND child, LPARAM param)
{
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") == 0) {
        int n = GetWindowTextLengthW(child);
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        GetWindowTextW(child, text.data(), n + 1);
        text.resize(static_cast<size_t>(n));
        if (!text.empty())
            reinterpret_cast<SeenBox*>(param)->text = U16(text.c_str());
    }
    return TRUE;
}

// Watches for up to `seconds` for a help box of this process, reads it and
// dismisses it.
void WatchForBox(SeenBox* seen, std::atomic<bool>* stop, int seconds)
{
    for (int i = 0; i < seconds * 50 && !*stop; ++i) {
        HWND box = help_box::Find(GetCurrentProcessId());
        if (box != nullptr) {
            seen->found = true;
            seen->owner = GetWindow(box, GW_OWNER);
            EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(seen));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
        }
        Sleep(20);
    }
}

using HelpFunction = int(__stdcall*)(const char16_t*);

// Calls Help while a watcher looks for the box for up to `seconds`, reads it
// into *seen and dismisses it.  Returns what Help returned.
int HelpWatched(HelpFunction help, const char16_t* name, int seconds, SeenBox* seen)
{
    std::atomic<bool> stop{false};
    std::thread watcher(WatchForBox, seen, &stop, seconds);
    int rc = help(name);
    stop = true;
    watcher.join();
    return rc;
}

class HelpBox : public ::testing::Test {
protected:
    HWND owner = nullptr;

    void SetUp() override
    {
        // A window of our own in front, so that the box's owner can be checked.
        owner = CreateWindowExW(0, L"STATIC", L"CellAttr test owner", WS_OVERLAPPEDWINDOW, 0, 0,
                                200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
        ShowWindow(owner, SW_SHOW);
        SetForegroundWindow(owner);
    }
    void TearDown() override { DestroyWindow(owner); }
};

TEST_F(HelpBox, ShowsTheHelpTextAndReturnsOne)
{
    auto help = Entry<HelpFunction>("Help");
    ASSERT_NE(help, nullptr);
    // In a locked or disconnected session, or under a service, no window is
    // in front, and the box's owner cannot be checked.
    if (GetForegroundWindow() == nullptr)
        SKIP_SAYING("no window is in front (a locked or disconnected session, or a service "
                    "without a desktop): the help box's owner cannot be checked");
    for (const char16_t* name : {u"@CELLATTR", u"@cellattr", u"@CellAttr"}) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(name)));
        // The box belongs to whatever window is in front when Help is called:
        // ours under Wine, but on a user's desktop the system may keep the
        // console window in front instead, and a person clicking elsewhere,
        // or a window that a runner opens, may change it during the call.
        // Then the box's owner is another window than the one in front
        // before: it is tried again, and after three such tries skipped.
        HWND front = nullptr;
        SeenBox seen;
        for (int attempt = 0; attempt < 3; ++attempt) {
            SetForegroundWindow(owner);
            front = GetForegroundWindow();
            ASSERT_NE(front, nullptr) << "no window is in front";
            seen = SeenBox{};
            EXPECT_EQ(HelpWatched(help, name, 20, &seen), 1);
            ASSERT_TRUE(seen.found) << "no help box appeared";
            // The box shows the text as given; a static control keeps line ends.
            EXPECT_EQ(seen.text, kExpectedHelpText);
            ASSERT_NE(seen.owner, nullptr) << "the box has no owner, though a window was in front";
            if (seen.owner == front)
                break;
        }
        if (seen.owner != front)
            SKIP_SAYING("the window in front changed while the help box was shown, in each of "
                        "three tries: the box's owner was " +
                        help_box::Describe(seen.owner) + ", where " +
                        help_box::Describe(front) + " had been in front");
    }
}

TEST_F(HelpBox, OtherNamesShowNothing)
{
    auto help = Entry<HelpFunction>("Help");
    ASSERT_NE(help, nullptr);
    for (const char16_t* name : {u"cellattr", u"@CELLATTRX", static_cast<const char16_t*>(nullptr)}) {
        // Should a box appear after all, the watcher dismisses it and the
        // test fails rather than hangs.
        SeenBox seen;
        EXPECT_EQ(HelpWatched(help, name, 1, &seen), 0);
        EXPECT_FALSE(seen.found);
    }
}

// The last suite in this file, and gtest runs suites in the order they
// first appear: it unloads the plugin.
TEST(Unload, FreeLibraryAfterShutdown)
{
    auto shutdown = Entry<int(__stdcall*)()>("ShutdownPlugin");
    ASSERT_NE(shutdown, nullptr);
    EXPECT_EQ(shutdown(), 0);
    EXPECT_TRUE(FreeLibrary(PluginModule()));
    EXPECT_EQ(GetModuleHandleW(L"CellAttr.dll"), nullptr);
}

}  // namespace
