#include "platform/win32/Win32System.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <objbase.h>
#include <shellapi.h>
#include <thread>

namespace fs = std::filesystem;
using namespace brisfold::win32;

namespace {

// The test program claims a mutex in a child copy of itself: "--claim NAME" exits with
// childExitBase + the MutexClaim it saw.
constexpr int childExitBase = 40;

bool underWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

int claimInChild(const std::wstring &name)
{
    const std::wstring exe = executablePath();
    std::wstring commandLine = L"\"" + exe + L"\" --claim \"" + name + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int childCode(MutexClaim claim)
{
    return childExitBase + static_cast<int>(claim);
}

std::wstring uniqueName(const wchar_t *stem)
{
    return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount64());
}

class TempFolder
{
public:
    TempFolder()
        : path_(fs::temp_directory_path() / uniqueName(L"brisfold_test_"))
    {
        fs::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path &path() const { return path_; }

private:
    fs::path path_;
};

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring registryString(HKEY root, const std::wstring &subKey, const wchar_t *name)
{
    wchar_t buffer[1024];
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(root, subKey.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return L"<absent>";
    return buffer;
}

} // namespace

TEST(Win32System, ExecutablePathAndItsFolder)
{
    const std::wstring exe = executablePath();
    ASSERT_GE(exe.size(), 15u);
    EXPECT_EQ(exe.substr(exe.size() - 15), L"win32_tests.exe");
    const std::wstring folder = folderOf(exe);
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(folder + L"win32_tests.exe", exe);
}

TEST(Win32System, SecondClaimOfAMutexNameSeesTheHolderAndOtherNamesDoNot)
{
    const std::wstring name = uniqueName(L"Brisfold.exe") + L"Mutex";
    ASSERT_EQ(claimNamedMutex(name), MutexClaim::Acquired);

    // Another process of the same logon: the second start.
    EXPECT_EQ(claimInChild(name), childCode(MutexClaim::AlreadyExists));
    // A copy under another executable name is a first start of its own.
    const std::wstring other = uniqueName(L"Copia.exe") + L"Mutex";
    EXPECT_EQ(claimInChild(other), childCode(MutexClaim::Acquired));
    // The child that held `other` has ended, so the name is free again: no stale lock.
    EXPECT_EQ(claimNamedMutex(other), MutexClaim::Acquired);
    // Within the process too, the handle stays held after the claim.
    EXPECT_EQ(claimNamedMutex(name), MutexClaim::AlreadyExists);
}

TEST(Win32System, IniWriteKeepsOtherSectionsAndKeysAndReplacesTheValue)
{
    TempFolder folder;
    const fs::path file = folder.path() / "open.ini";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Outro]\r\nchave=x\r\n\r\n[Gestor]\r\nAntes=a\r\nAbrir=0\r\nDepois=d\r\n";
    }
    EXPECT_EQ(writeIniValue(file.wstring(), L"Gestor", L"Abrir", L"1"), L"");
    EXPECT_EQ(writeIniValue(file.wstring(), L"Gestor", L"Abrir", L"1"), L"");
    const std::string content = readFile(file);
    EXPECT_NE(content.find("[Outro]\r\nchave=x\r\n"), std::string::npos) << content;
    EXPECT_NE(content.find("Antes=a\r\nAbrir=1\r\nDepois=d"), std::string::npos) << content;
    EXPECT_EQ(content.find("Abrir=0"), std::string::npos) << content;
    EXPECT_EQ(content.find("Abrir=1"), content.rfind("Abrir=1")) << content;

    // A missing file is created with the section.
    const fs::path fresh = folder.path() / "novo.ini";
    EXPECT_EQ(writeIniValue(fresh.wstring(), L"Gestor", L"Abrir", L"1"), L"");
    wchar_t value[16] = {};
    GetPrivateProfileStringW(L"Gestor", L"Abrir", L"", value, 16, fresh.wstring().c_str());
    EXPECT_STREQ(value, L"1");

    // A missing folder is an error with the system's text, to be shown to the user.
    const fs::path nowhere = folder.path() / "sem-pasta" / "open.ini";
    EXPECT_NE(writeIniValue(nowhere.wstring(), L"Gestor", L"Abrir", L"1"), L"");
    EXPECT_FALSE(fs::exists(nowhere));
}

TEST(Win32System, AutostartWritesEveryWritableKeyAndSkipsTheOthers)
{
    EXPECT_EQ(autostartCommand(L"C:\\Prog\\"), L"\"C:\\Prog\\Brisfold.exe\" --autostart");
    EXPECT_EQ(autostartCommand(L"C:\\Program Files\\Loja"),
              L"\"C:\\Program Files\\Loja\\Brisfold.exe\" --autostart");

    const std::wstring base = L"Software\\BrisfoldTests\\" + uniqueName(L"run");
    const std::wstring first = base + L"\\Primeiro";
    const std::wstring last = base + L"\\Ultimo";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, first.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Brisfold", 0, REG_SZ, reinterpret_cast<const BYTE *>(L"velho"), 12);
    RegCloseKey(key);

    // A root handle that is no longer valid stands for a key this user may not open for writing.
    HKEY closed = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &closed, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(closed);

    const std::vector<bool> written = registerAutostart(
        L"C:\\Prog\\", {{HKEY_CURRENT_USER, first}, {closed, L"Run"}, {HKEY_CURRENT_USER, last}});
    EXPECT_EQ(written, (std::vector<bool>{true, false, true}));
    const std::wstring expected = L"\"C:\\Prog\\Brisfold.exe\" --autostart";
    EXPECT_EQ(registryString(HKEY_CURRENT_USER, first, L"Brisfold"), expected);
    EXPECT_EQ(registryString(HKEY_CURRENT_USER, last, L"Brisfold"), expected);

    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\BrisfoldTests");
}

TEST(Win32System, AutostartWritesTheRealRunKeys)
{
    // Only in Wine's throw-away prefix: on a real PC this would register a test path at logon.
    if (!underWine())
        GTEST_SKIP() << "writes the real Run keys; runs only under Wine";
    const std::wstring expected = L"\"C:\\Loja\\Brisfold.exe\" --autostart";
    const std::vector<bool> written = registerAutostart(L"C:\\Loja\\");
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(written[0]);
    EXPECT_EQ(
        registryString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Brisfold"),
        expected);
    // Wine's user is an administrator, so the machine key is writable there.
    const std::wstring machine =
        registryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Brisfold");
    EXPECT_EQ(machine, written[1] ? expected : L"<absent>");
}

TEST(Win32System, ScriptStartsHiddenInItsOwnFolder)
{
    TempFolder folder;
    const fs::path script = folder.path() / "fechar.bat";
    {
        std::ofstream out(script, std::ios::binary);
        out << "@echo off\r\necho %CD%> ran.txt\r\n";
    }
    ASSERT_TRUE(startScriptHidden(script.wstring()));
    const fs::path ran = folder.path() / "ran.txt";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline && (!fs::exists(ran) || fs::file_size(ran) == 0))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(fs::exists(ran));
    std::string content = readFile(ran);
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r' || content.back() == ' '))
        content.pop_back();
    EXPECT_TRUE(fs::equivalent(fs::path(content), folder.path())) << content;

    EXPECT_FALSE(startScriptHidden((folder.path() / "nao-existe.bat").wstring()));
}

TEST(Win32System, BringToFrontRestoresAMinimisedWindow)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BrisfoldTestWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Brisfold", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        GTEST_SKIP() << "no window station to create a window in";
    ShowWindow(window, SW_SHOWMINIMIZED);
    ASSERT_TRUE(IsIconic(window));
    bringToFront(window);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
    DestroyWindow(window);
}

TEST(Win32System, HeapReportCountsTheBlocksStillHeld)
{
    auto busyBytes = [] {
        const std::wstring report = heapReport();
        const auto end = report.find(L" bytes em ");
        const auto start = report.find_last_not_of(L"0123456789", end - 1) + 1;
        return std::stoull(report.substr(start, end - start));
    };
    const unsigned long long before = busyBytes();
    void *held = HeapAlloc(GetProcessHeap(), 0, 4 << 20);
    ASSERT_NE(held, nullptr);
    const unsigned long long during = busyBytes();
    HeapFree(GetProcessHeap(), 0, held);
    EXPECT_GE(during, before + (4 << 20) - (64 << 10));
}

int main(int argc, char **argv)
{
    int wideCount = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    if (wide && wideCount == 3 && std::wstring(wide[1]) == L"--claim") {
        const MutexClaim claim = claimNamedMutex(wide[2]);
        return childCode(claim);
    }
    LocalFree(wide);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
