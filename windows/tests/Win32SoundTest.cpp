#include "platform/win32/Win32Sound.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>

using brisfold::win32::MemorySound;

namespace {

std::string readFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string alertWav()
{
    return readFile(BRISFOLD_ALERT_WAV);
}

} // namespace

TEST(Win32Sound, PlaysTheAlertFromMemoryAndIsLetGoWhilePlaying)
{
    const std::string wav = alertWav();
    ASSERT_EQ(wav.substr(0, 4), "RIFF");
    {
        MemorySound sound(wav);
        // Whether a sound device exists here or not, play() returns at once and reports nothing.
        sound.play();
        sound.play();
    } // destroyed with the sound perhaps still playing from its bytes

    EXPECT_FALSE(MemorySound(std::string()).play());
}

TEST(Win32Sound, TheSoundDeviceReceivesTheAlertsSamples)
{
    // Under Wine the system's sound reaches the host's ALSA, whose default device the build points
    // at this file.
    const char *output = std::getenv("BRISFOLD_SOUND_OUTPUT");
    if (!output)
        GTEST_SKIP() << "no sound device routed to a file";
    const std::string wav = alertWav();
    const std::size_t data = wav.find("data");
    ASSERT_NE(data, std::string::npos);
    const std::string samples = wav.substr(data + 8);
    std::remove(output);

    MemorySound sound(wav);
    ASSERT_TRUE(sound.play());
    std::string played;
    for (int wait = 0; wait < 200 && played.size() < samples.size(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        played = readFile(output);
    }
    ASSERT_GE(played.size(), samples.size());
    EXPECT_TRUE(played.compare(0, samples.size(), samples) == 0) << "the device received other samples";
}
