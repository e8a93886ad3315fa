#include "platform/win32/Win32System.h"

#include <cstdio>
#include <cwchar>
#include <shellapi.h>

#if defined(_MSC_VER) && defined(_DEBUG)
#include <crtdbg.h>
#define BRISFOLD_DEBUG_CRT 1
#endif

namespace brisfold::win32 {

std::wstring errorText(DWORD error)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        text = L"Erro " + std::to_wstring(error);
    return text;
}

std::wstring executablePath()
{
    // MAX_PATH is not a limit for long-path aware processes: grow until the name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring folderOf(const std::wstring &path)
{
    const auto separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return {};
    return path.substr(0, separator + 1);
}

MutexClaim claimNamedMutex(const std::wstring &name)
{
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    if (!mutex)
        return MutexClaim::Failed;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return MutexClaim::AlreadyExists;
    }
    // Deliberately never closed: the system releases it when the process ends.
    return MutexClaim::Acquired;
}

std::wstring writeIniValue(const std::wstring &file, const std::wstring &section, const std::wstring &key,
                           const std::wstring &value)
{
    if (WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()))
        return {};
    return errorText(GetLastError());
}

std::wstring autostartCommand(const std::wstring &programFolder)
{
    std::wstring folder = programFolder;
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return L"\"" + folder + L"Brisfold.exe\" --autostart";
}

std::vector<RegistryTarget> runKeys()
{
    return {{HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"}};
}

std::vector<bool> registerAutostart(const std::wstring &programFolder,
                                    const std::vector<RegistryTarget> &targets)
{
    const std::wstring data = autostartCommand(programFolder);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    std::vector<bool> written;
    for (const RegistryTarget &target : targets) {
        HKEY key = nullptr;
        // Without the right (the machine key for an ordinary user) this fails: skip the row.
        if (RegCreateKeyExW(target.root, target.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            written.push_back(false);
            continue;
        }
        const LSTATUS status = RegSetValueExW(key, autostartValueName, 0, REG_SZ,
                                              reinterpret_cast<const BYTE *>(data.c_str()), bytes);
        RegCloseKey(key);
        written.push_back(status == ERROR_SUCCESS);
    }
    return written;
}

namespace {

bool shellOpen(const std::wstring &target, const wchar_t *directory, int show)
{
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, directory, show);
    // Values up to 32 are error codes.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace

bool openWebPage(const std::wstring &url)
{
    return shellOpen(url, nullptr, SW_SHOWNORMAL);
}

bool startScriptHidden(const std::wstring &path)
{
    const std::wstring folder = folderOf(path);
    return shellOpen(path, folder.empty() ? nullptr : folder.c_str(), SW_HIDE);
}

void bringToFront(HWND window)
{
    if (!window || !IsWindow(window))
        return;
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    else if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

void allowOtherProcessToTakeForeground()
{
    AllowSetForegroundWindow(ASFW_ANY);
}

void enableEndOfProcessLeakDump()
{
#ifdef BRISFOLD_DEBUG_CRT
    _CrtSetDbgFlag(_CrtSetDbgFlag(_CRTDBG_REPORT_FLAG) | _CRTDBG_ALLOC_MEM_DF | _CRTDBG_LEAK_CHECK_DF);
#endif
}

namespace {

#ifdef BRISFOLD_DEBUG_CRT
// The dump is collected into fixed storage: allocating while the CRT walks its block list would
// change the list being walked.
wchar_t crtDump[8192];
size_t crtDumpLength = 0;

int __cdecl collectCrtReport(int, wchar_t *message, int *returnValue)
{
    if (message) {
        const size_t length = std::wcslen(message);
        const size_t room = sizeof crtDump / sizeof crtDump[0] - 1 - crtDumpLength;
        const size_t take = length < room ? length : room;
        std::wmemcpy(crtDump + crtDumpLength, message, take);
        crtDumpLength += take;
        crtDump[crtDumpLength] = L'\0';
    }
    if (returnValue)
        *returnValue = 0;
    return TRUE; // handled: nothing goes to the debugger or a dialog
}

std::wstring crtDebugHeapReport()
{
    _CrtMemState state;
    _CrtMemCheckpoint(&state);
    std::wstring report = L"Heap de depuração do C runtime:\n";
    report += std::to_wstring(state.lCounts[_NORMAL_BLOCK]) + L" blocos normais, " +
              std::to_wstring(state.lSizes[_NORMAL_BLOCK]) + L" bytes\n";
    report += std::to_wstring(state.lCounts[_CLIENT_BLOCK]) + L" blocos de cliente, " +
              std::to_wstring(state.lSizes[_CLIENT_BLOCK]) + L" bytes\n";
    report += std::to_wstring(state.lCounts[_CRT_BLOCK]) + L" blocos do runtime, " +
              std::to_wstring(state.lSizes[_CRT_BLOCK]) + L" bytes\n";
    report += L"Pico de uso: " + std::to_wstring(state.lHighWaterCount) + L" bytes\n";

    crtDumpLength = 0;
    crtDump[0] = L'\0';
    if (_CrtSetReportHookW2(_CRT_RPTHOOK_INSTALL, collectCrtReport) != -1) {
        _CrtMemDumpAllObjectsSince(nullptr);
        _CrtSetReportHookW2(_CRT_RPTHOOK_REMOVE, collectCrtReport);
        report += crtDump;
        if (!report.empty() && report.back() != L'\n')
            report += L'\n';
    }
    return report;
}
#endif

} // namespace

std::wstring heapReport()
{
    std::wstring report = L"Memória ainda alocada ao encerrar:\n";
#ifdef BRISFOLD_DEBUG_CRT
    report += crtDebugHeapReport();
#endif
    // Counted in a fixed array so that the walk itself allocates nothing on the heaps it walks.
    HANDLE heaps[64];
    const DWORD heapCount = GetProcessHeaps(64, heaps);
    const DWORD walked = heapCount < 64 ? heapCount : 64;
    unsigned long long busyBlocks = 0;
    unsigned long long busyBytes = 0;
    for (DWORD i = 0; i < walked; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                ++busyBlocks;
                busyBytes += entry.cbData;
            }
        }
        HeapUnlock(heaps[i]);
    }
    report += std::to_wstring(busyBytes) + L" bytes em " + std::to_wstring(busyBlocks) +
              L" blocos em uso, em " + std::to_wstring(walked) + L" heaps do processo";
    return report;
}

} // namespace brisfold::win32
