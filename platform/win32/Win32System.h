#pragma once

// The Win32 calls behind the Windows platform, in plain C++ so that they build and are tested with
// the MinGW-w64 cross compiler, where no Qt for Windows exists. Only compiled for Windows.

#include <string>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace brisfold::win32 {

// The running executable's full path (GetModuleFileNameW), empty on failure.
std::wstring executablePath();

// The folder of `path`, ending in a backslash; empty when `path` names no folder.
std::wstring folderOf(const std::wstring &path);

enum class MutexClaim
{
    Acquired,      // the mutex is new; its handle stays open until the process ends
    AlreadyExists, // another holder exists (ERROR_ALREADY_EXISTS); our handle is closed again
    Failed,        // no handle at all
};

// Creates the named mutex with this process as initial owner. The name is used as given: without
// a namespace prefix it lives in the namespace of the user's logon session.
MutexClaim claimNamedMutex(const std::wstring &name);

// Writes key=value into a section of an INI file through WritePrivateProfileStringW, which keeps
// the file's other sections and keys. Returns the system's error text, or empty on success.
std::wstring writeIniValue(const std::wstring &file, const std::wstring &section, const std::wstring &key,
                           const std::wstring &value);

// The data of the autostart value: the program folder's Brisfold.exe in double quotes, then
// " --autostart". The file name is fixed whatever the running executable is called.
std::wstring autostartCommand(const std::wstring &programFolder);

struct RegistryTarget
{
    HKEY root;
    std::wstring subKey;
};

// The Run keys of the current user and of the machine, in that order.
std::vector<RegistryTarget> runKeys();

inline constexpr wchar_t autostartValueName[] = L"Brisfold";

// Writes the string value "Brisfold" = autostartCommand(programFolder) under each target, creating
// the key if missing. A target that cannot be opened for writing is skipped without a word; the
// result says, per target, whether it was written.
std::vector<bool> registerAutostart(const std::wstring &programFolder,
                                    const std::vector<RegistryTarget> &targets = runKeys());

// The shell's "open" action: a web page shown normally, a script hidden with its own folder as the
// working directory. True when the shell accepted the request.
bool openWebPage(const std::wstring &url);
bool startScriptHidden(const std::wstring &path);

// Restores the window if it is minimised and brings it to the foreground.
void bringToFront(HWND window);

// Lets the running copy take the foreground when this (second) start signals it: Windows refuses
// SetForegroundWindow to a background process unless the foreground process allows it.
void allowOtherProcessToTakeForeground();

// Switches on the C runtime's debug-heap leak dump at process end (debug CRT only; no-op else).
void enableEndOfProcessLeakDump();

// A description of the heap memory the process still holds: the debug CRT's statistics where it
// exists, and in every build the busy blocks of the process's heaps.
std::wstring heapReport();

// The system's message for an error code, without the trailing line break.
std::wstring errorText(DWORD error);

} // namespace brisfold::win32
