#include "platform/win32/Win32Sound.h"

#include <mmsystem.h>
#include <utility>

namespace brisfold::win32 {

MemorySound::MemorySound(std::string wav)
    : wav_(std::move(wav))
{}

MemorySound::~MemorySound()
{
    if (playSound_)
        playSound_(nullptr, nullptr, 0);
}

bool MemorySound::play()
{
    if (wav_.empty())
        return false;
    if (!playSound_) {
        // From the system folder only, never from beside the program. The module stays loaded: the
        // system's playing thread may still be in it after the last sound.
        const HMODULE winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!winmm)
            return false;
        // Through void (*)(), the one function pointer type that converts to any other unwarned.
        playSound_ = reinterpret_cast<PlaySoundFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(winmm, "PlaySoundW")));
        if (!playSound_)
            return false;
    }
    return playSound_(reinterpret_cast<LPCWSTR>(wav_.data()), nullptr,
                      SND_MEMORY | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP) != FALSE;
}

} // namespace brisfold::win32
