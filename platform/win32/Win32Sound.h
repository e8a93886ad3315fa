#pragma once

// The alert sound on Windows, in plain C++ like Win32System so that it is cross-built and tested with
// MinGW-w64. Only compiled for Windows.

#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace brisfold::win32 {

// A WAV file held in memory and played by PlaySoundW, which plays it on a thread of the system's.
// winmm.dll is loaded only by the first play, so an idle program never loads the audio stack.
class MemorySound final
{
public:
    explicit MemorySound(std::string wav);
    // Stops the sound first: the system reads the bytes while it plays.
    ~MemorySound();
    MemorySound(const MemorySound &) = delete;
    MemorySound &operator=(const MemorySound &) = delete;

    // Starts the sound and returns at once. A request while a sound is playing is dropped. False
    // when it did not start; nothing is shown, and the system's default sound is not played instead.
    bool play();

private:
    using PlaySoundFunction = BOOL(WINAPI *)(LPCWSTR, HMODULE, DWORD);

    std::string wav_;
    PlaySoundFunction playSound_ = nullptr;
};

} // namespace brisfold::win32
